// The receive path over loopback against a plain reading loop, and the memory it keeps while
// many events arrive.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "bench/bench_inputs.h"
#include "bench/goal_report.h"
#include "bench/loopback_peer.h"
#include "receive/message_framing.h"
#include "receive/receive_thread.h"

namespace {

constexpr std::size_t kPictureBytes = 300 * 1024;  // three of them: a 1.2 MB body
constexpr int kEventsPerRound = 24;
constexpr int kWarmUpEvents = 100;
constexpr int kMeasuredEvents = 2000;
constexpr std::size_t kShownBytes = 128 * 1024;  // the most the window's box keeps of a text

const std::string& Message() {
    static const std::string message = EventMessage(FaceMatchBody(kPictureBytes));
    return message;
}

// A folder for the log and the pictures (under $TESSALY_BENCH_DIR, else /dev/shm), removed
// at exit.
class ScratchFolder {
  public:
    ScratchFolder() {
        const char* parent = std::getenv("TESSALY_BENCH_DIR");
        std::string pattern =
            std::string(parent != nullptr ? parent : "/dev/shm") + "/tessaly-bench-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~ScratchFolder() {
        RemoveFilesBelow(path_);
        rmdir((path_ + "/pic/VFD_MATCH").c_str());
        rmdir((path_ + "/pic").c_str());
        rmdir(path_.c_str());
    }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

ScratchFolder& Scratch() {
    static ScratchFolder folder;
    return folder;
}

// Takes the response box's text as the window's hand-over does: the newest one is kept, no
// more of it than the box shows.
class LatestText : public ReceiveObserver {
  public:
    void OnResponseText(std::string_view text) override {
        std::lock_guard<std::mutex> hold(lock_);
        latest_.assign(text.substr(0, kShownBytes));
    }
    void OnMessage(const MessageReport& report) override {
        ++messages_;
        pictures_ += report.pictures.size();
        if (onMessage) {
            onMessage(messages_);
        }
    }
    int Messages() const { return messages_; }
    std::size_t Pictures() const { return pictures_; }
    // Called after each message with the count so far.
    std::function<void(int)> onMessage;

  private:
    std::mutex lock_;
    std::string latest_;
    int messages_ = 0;
    std::size_t pictures_ = 0;
};

// One round: a peer pushes `count` events back to back; the receive loop takes them in with
// framing, log, decoding and pictures on. Returns the pictures filed.
std::size_t ReceiveRound(int count, LatestText& observer) {
    LoopbackPair pair;
    if (!OpenLoopbackPair(pair)) {
        return 0;
    }
    TrafficLog log(Scratch().Path());
    ReceiveSession session;
    session.socket = pair.receiver;
    session.context.programFolder = Scratch().Path();
    session.context.log = &log;
    session.context.observer = &observer;
    session.endAtPeerClose = true;
    session.stop.Arm();
    std::thread peer([&] { PushMessages(pair.peer, Message(), count, 0); });
    RecvThreadProc(session);
    peer.join();
    log.Close();
    CloseLoopbackPair(pair);
    return observer.Pictures();
}

// The same stream read by a minimal receiver with the same buffer size into a log file.
std::size_t BaselineRound(int count) {
    LoopbackPair pair;
    if (!OpenLoopbackPair(pair)) {
        return 0;
    }
    std::thread peer([&] { PushMessages(pair.peer, Message(), count, 0); });
    std::unique_ptr<char[]> buffer(new char[kReceiveBufferSize]);
    std::FILE* file = std::fopen((Scratch().Path() + "/ApiLog.txt").c_str(), "w+");
    std::size_t total = 0;
    for (;;) {
        const ssize_t n = recv(pair.receiver, buffer.get(), kReceiveBufferSize, 0);
        if (n <= 0) {
            break;
        }
        total += static_cast<std::size_t>(n);
        if (file != nullptr) {
            std::fwrite(buffer.get(), 1, static_cast<std::size_t>(n), file);
        }
    }
    if (file != nullptr) {
        std::fclose(file);
    }
    peer.join();
    CloseLoopbackPair(pair);
    return total;
}

// Processor time of the whole process (every thread), in seconds.
double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// Reports the processor time of all threads per event: unlike the wall time it hardly depends
// on what else the machine runs.
class ProcessCpuPerEvent {
  public:
    explicit ProcessCpuPerEvent(benchmark::State& state) : state_(state) {}
    ~ProcessCpuPerEvent() {
        const double events = static_cast<double>(state_.iterations()) * kEventsPerRound;
        state_.counters["cpu_ms_per_event"] =
            events > 0 ? (ProcessCpuSeconds() - start_) * 1000 / events : 0;
    }

  private:
    benchmark::State& state_;
    const double start_ = ProcessCpuSeconds();
};

// The plain reader that also writes, for every event it has read whole, the three pictures'
// bytes (decoded beforehand) to new files as the receive path files them: the file system's
// share of the work alone, with no framing, parsing or decoding.
std::size_t FilesOnlyRound(int count) {
    static const std::string pictures[3] = {RandomBytes(kPictureBytes, 1),
                                            RandomBytes(kPictureBytes, 2),
                                            RandomBytes(kPictureBytes, 3)};
    const std::string folder = Scratch().Path() + "/pic/VFD_MATCH";
    mkdir((Scratch().Path() + "/pic").c_str(), 0755);
    mkdir(folder.c_str(), 0755);
    LoopbackPair pair;
    if (!OpenLoopbackPair(pair)) {
        return 0;
    }
    std::thread peer([&] { PushMessages(pair.peer, Message(), count, 0); });
    std::unique_ptr<char[]> buffer(new char[kReceiveBufferSize]);
    std::FILE* log = std::fopen((Scratch().Path() + "/ApiLog.txt").c_str(), "w+");
    std::size_t total = 0;
    std::size_t events = 0;
    for (;;) {
        const ssize_t n = recv(pair.receiver, buffer.get(), kReceiveBufferSize, 0);
        if (n <= 0) {
            break;
        }
        total += static_cast<std::size_t>(n);
        if (log != nullptr) {
            std::fwrite(buffer.get(), 1, static_cast<std::size_t>(n), log);
        }
        for (; events < total / Message().size(); ++events) {
            for (int k = 0; k < 3; ++k) {
                const std::string path =
                    folder + "/" + std::to_string(events) + "_" + std::to_string(k) + ".jpg";
                if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
                    std::fwrite(pictures[k].data(), 1, pictures[k].size(), file);
                    std::fclose(file);
                }
            }
        }
    }
    if (log != nullptr) {
        std::fclose(log);
    }
    peer.join();
    CloseLoopbackPair(pair);
    return total;
}

// Runs one round per iteration; `round` returns false when the round went wrong (`error`).
// The files of a round are removed outside the timing.
void RunRounds(benchmark::State& state, const std::function<bool()>& round, const char* error) {
    ProcessCpuPerEvent cpu(state);
    for (auto _ : state) {
        const bool whole = round();
        state.PauseTiming();
        if (!whole) {
            state.SkipWithError(error);
        }
        RemoveFilesBelow(Scratch().Path());
        state.ResumeTiming();
    }
    state.SetBytesProcessed(
        static_cast<int64_t>(state.iterations() * kEventsPerRound * Message().size()));
}

void BM_ReceivePath(benchmark::State& state) {
    RunRounds(
        state,
        [] {
            LatestText observer;
            return ReceiveRound(kEventsPerRound, observer) == 3u * kEventsPerRound;
        },
        "not every picture was filed");
}

void BM_ReceivePathBaseline(benchmark::State& state) {
    RunRounds(
        state, [] { return BaselineRound(kEventsPerRound) == kEventsPerRound * Message().size(); },
        "the stream was cut short");
}

void BM_ReceivePathFilesOnly(benchmark::State& state) {
    RunRounds(
        state, [] { return FilesOnlyRound(kEventsPerRound) == kEventsPerRound * Message().size(); },
        "the stream was cut short");
}

BENCHMARK(BM_ReceivePath)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReceivePathFilesOnly)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReceivePathBaseline)->UseRealTime()->Unit(benchmark::kMillisecond);

// Resident size after warm-up and at the end of kMeasuredEvents more events on one
// connection. Picture files are removed as they pile up (the disk is not what is measured);
// the log is written to /dev/null for the same reason. Returns the growth in MB, or -1.
double MemoryGrowthMb() {
    const std::string folder = Scratch().Path();
    RemoveFilesBelow(folder);
    if (symlink("/dev/null", (folder + "/ApiLog.txt").c_str()) != 0) {
        return -1;
    }
    std::size_t warm = 0;
    std::size_t peak = 0;
    LatestText observer;
    observer.onMessage = [&](int messages) {
        if (messages == kWarmUpEvents) {
            warm = ResidentBytes();
        } else if (messages > kWarmUpEvents) {
            peak = std::max(peak, ResidentBytes());
        }
        if (messages % 50 == 0) {
            RemoveFilesBelow(folder + "/pic");
        }
    };
    const std::size_t pictures = ReceiveRound(kWarmUpEvents + kMeasuredEvents, observer);
    const std::size_t end = ResidentBytes();
    unlink((folder + "/ApiLog.txt").c_str());
    if (pictures != 3u * (kWarmUpEvents + kMeasuredEvents) || warm == 0) {
        std::fprintf(stderr, "memory run: %zu pictures filed\n", pictures);
        return -1;
    }
    std::printf("resident after warm-up %.1f MB, peak %.1f MB, at the end %.1f MB\n",
                warm / 1048576.0, peak / 1048576.0, end / 1048576.0);
    return (static_cast<double>(std::max(peak, end)) - static_cast<double>(warm)) / 1048576.0;
}

// Not run yet: below zero. Set by BM_ResidentGrowth (a failed run gives a huge value).
double g_residentGrowthMb = -1;

void BM_ResidentGrowth(benchmark::State& state) {
    for (auto _ : state) {
        const double growth = MemoryGrowthMb();
        g_residentGrowthMb = growth < 0 ? 1e9 : growth;
    }
    state.counters["growth_MB"] = g_residentGrowthMb;
}

BENCHMARK(BM_ResidentGrowth)->Iterations(1)->Repetitions(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    if (Scratch().Path().empty()) {
        std::fprintf(stderr, "no scratch folder could be made\n");
        return 2;
    }
    std::printf("event message %zu bytes, %d events per round\n", Message().size(),
                kEventsPerRound);
    GoalReport report;
    report.ThroughputAtLeast("receive path / reader that writes the same files", "BM_ReceivePath",
                             "BM_ReceivePathFilesOnly", 0.9, true);
    report.Reference("receive path / plain reader (throughput)", "BM_ReceivePath",
                     "BM_ReceivePathBaseline", true);
    report.Reference("reader that writes the same files / plain reader", "BM_ReceivePathFilesOnly",
                     "BM_ReceivePathBaseline", true);
    report.RunBenchmarks(argc, argv);
    if (g_residentGrowthMb >= 0) {
        report.ValueAtMost("resident growth over 2000 events after warm-up", g_residentGrowthMb,
                           10.0, "MB");
    }
    return report.Print() == 0 ? 0 : 1;
}
