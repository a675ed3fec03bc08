// The receive path over TLS against the same path without it: a device pushes face-match
// events over loopback, the receive loop frames, logs, decodes and files them, reading through
// a Transport with or without a TLS session. Both sides run in this one program.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "bench/bench_inputs.h"
#include "bench/goal_report.h"
#include "bench/loopback_peer.h"
#include "net/tcp_connect.h"
#include "net/transport.h"
#include "receive/receive_thread.h"
#include "support/tls_peer.h"

namespace {

constexpr std::size_t kPictureBytes = 300 * 1024;  // three of them: a 1.2 MB body
constexpr int kEventsPerRound = 24;

const std::string& Message() {
    static const std::string message = EventMessage(FaceMatchBody(kPictureBytes));
    return message;
}

const TlsIdentity& Identity() {
    static const TlsIdentity identity = MakeTlsIdentity();
    return identity;
}

// The log and the pictures (under $TESSALY_BENCH_DIR, else /dev/shm), removed at exit.
const std::string& Scratch() {
    static const std::string path = [] {
        const char* parent = std::getenv("TESSALY_BENCH_DIR");
        std::string pattern =
            std::string(parent != nullptr ? parent : "/dev/shm") + "/tessaly-tls-bench-XXXXXX";
        return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }();
    return path;
}

class CountingObserver : public ReceiveObserver {
  public:
    void OnResponseText(std::string_view) override {}
    void OnMessage(const MessageReport& report) override { pictures += report.pictures.size(); }
    std::size_t pictures = 0;  // the writer's thread only, read after the loop ended
};

// One round: the device pushes kEventsPerRound events and closes; returns the pictures filed.
std::size_t Round(bool tls) {
    TlsPeer device(Identity(), !tls);
    std::thread pushing([&] {
        if (device.Accept()) {
            for (int i = 0; i < kEventsPerRound && device.Write(Message()); ++i) {
            }
        }
        device.Close();
    });
    TcpConnectOutcome connected =
        ConnectTcp("127.0.0.1", static_cast<unsigned short>(device.Port()), std::chrono::seconds(5),
                   nullptr);
    std::unique_ptr<TlsSession> session;
    if (tls && connected.socket) {
        TlsOutcome handshake =
            TlsHandshake(connected.socket.Get(), "127.0.0.1", TlsTrust{Identity().pin, false},
                         std::chrono::steady_clock::now() + std::chrono::seconds(5), nullptr);
        session = std::move(handshake.session);
    }
    Transport transport(std::move(connected.socket), std::move(session));
    TrafficLog log(Scratch());
    CountingObserver observer;
    ReceiveSession receive;
    receive.transport = &transport;
    receive.context = ReceiveContext{Scratch(), &log, nullptr, &observer};
    receive.endAtPeerClose = true;
    receive.stop.Arm();
    RecvThreadProc(receive);
    pushing.join();
    log.Close();
    return observer.pictures;
}

void Rounds(benchmark::State& state, bool tls) {
    for (auto _ : state) {
        if (Round(tls) != 3u * kEventsPerRound) {
            state.SkipWithError("not every picture was filed");
        }
        state.PauseTiming();
        RemoveFilesBelow(Scratch());
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kEventsPerRound *
                                                 Message().size()));
}

void BM_ReceivePathTls(benchmark::State& state) {
    Rounds(state, true);
}
void BM_ReceivePathPlain(benchmark::State& state) {
    Rounds(state, false);
}
BENCHMARK(BM_ReceivePathTls)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReceivePathPlain)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (Scratch().empty() || !Identity().Ok()) {
        std::fprintf(stderr, "no scratch folder or no TLS identity\n");
        return 2;
    }
    GoalReport report;
    report.ThroughputAtLeast("receive path over TLS / without TLS (throughput)",
                             "BM_ReceivePathTls", "BM_ReceivePathPlain", 0.7, true);
    report.RunBenchmarks(argc, argv);
    const int missed = report.Print();
    RemoveFilesBelow(Scratch());
    rmdir((Scratch() + "/pic/VFD_MATCH").c_str());
    rmdir((Scratch() + "/pic").c_str());
    rmdir(Scratch().c_str());
    return missed == 0 ? 0 : 1;
}
