// The real receive loop, driven on the fuzzer's thread, reads a byte stream that a socket pair
// delivers in pieces cut where the input says. The stream is written only when the loop has
// taken everything before, so every read ends at a cut or where the loop asked it to. Checks:
// every byte is read, the log holds exactly the reads whose first byte is not NUL, every byte
// belongs to one reported message, and every picture lands inside pic. For a stream of cleanly
// framed messages, every message is reported whole and in order, whatever the cuts.
#include <fcntl.h>
#include <ftw.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "net/unique_fd.h"
#include "receive/message_framing.h"
#include "receive/receive_thread.h"
#include "support/test_support.h"

namespace {

const std::string& Folder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/tessaly-fuzz-receive-XXXXXX";
        FUZZ_CHECK(mkdtemp(pattern) != nullptr);
        return std::string(pattern);
    }();
    return folder;
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path);
}

// Plays the device: hands the loop the next piece once it has taken everything written so
// far, and closes the sending side after the last one.
class Feeder : public ReceiveObserver {
  public:
    Feeder(int mine, int peer, const std::string& stream, std::vector<std::size_t> cuts)
        : mine_(mine), peer_(peer), stream_(stream), cuts_(std::move(cuts)) {}

    void Feed() {
        int queued = 0;
        FUZZ_CHECK(ioctl(mine_, FIONREAD, &queued) == 0);
        if (queued > 0) {
            return;
        }
        while (next_ < cuts_.size() && written_ >= cuts_[next_]) {
            ++next_;
        }
        if (next_ == cuts_.size()) {
            if (!closed_) {
                shutdown(peer_, SHUT_WR);
                closed_ = true;
            }
            return;
        }
        const ssize_t n = send(peer_, stream_.data() + written_, cuts_[next_] - written_,
                               MSG_NOSIGNAL | MSG_DONTWAIT);
        FUZZ_CHECK(n > 0);
        written_ += static_cast<std::size_t>(n);
    }

    void OnResponseText(std::string_view text) override {
        FUZZ_CHECK(text.size() <= stream_.size());
        texts.emplace_back(text);
    }
    void OnMessage(const MessageReport& report) override { reports.push_back(report); }
    void OnRead(std::size_t asked, long result) override {
        FUZZ_CHECK(asked > 0);
        if (result > 0) {
            FUZZ_CHECK(static_cast<std::size_t>(result) <= asked);
            FUZZ_CHECK(consumed + result <= written_);
            if (stream_[consumed] != '\0') {
                expectedLog.append(stream_, consumed, static_cast<std::size_t>(result));
            } else {
                nulReads = true;
            }
            consumed += static_cast<std::size_t>(result);
        }
        Feed();
    }

    std::vector<MessageReport> reports;
    std::vector<std::string> texts;
    std::string expectedLog;
    std::size_t consumed = 0;
    bool nulReads = false;

  private:
    int mine_;
    int peer_;
    const std::string& stream_;
    std::vector<std::size_t> cuts_;
    std::size_t next_ = 0;
    std::size_t written_ = 0;
    bool closed_ = false;
};

// The framing alone on a buffer of exactly the bytes held, so that any read past them is seen
// (in the loop the buffer is larger). A decodable event starts its body at "<?xml".
void CheckFraming(const std::string& stream) {
    for (std::size_t held : {stream.size(), stream.size() / 2, stream.size() / 3}) {
        std::unique_ptr<char[]> exact(new char[held == 0 ? 1 : held]);
        std::memcpy(exact.get(), stream.data(), held);
        const MessageFrame frame = FrameMessage(exact.get(), held);
        if (frame.state == MessageFrame::State::NeedMore) {
            FUZZ_CHECK(frame.kind != MessageKind::Other);
            FUZZ_CHECK(frame.want <= kMaxContentLength + kMaxHeadLength);
            continue;
        }
        FUZZ_CHECK(frame.total > 0 || held == 0);
        if (frame.kind == MessageKind::Other) {
            FUZZ_CHECK(frame.total == held);
        }
        if (frame.decodable) {
            FUZZ_CHECK(frame.kind == MessageKind::Event && !frame.tooLarge);
            FUZZ_CHECK(frame.bodyLength <= kMaxContentLength);
            FUZZ_CHECK(frame.bodyStart + frame.bodyLength == frame.total);
            FUZZ_CHECK(frame.bodyStart + 5 <= held);
            FUZZ_CHECK(std::memcmp(exact.get() + frame.bodyStart, "<?xml", 5) == 0);
        }
    }
}

// Well-framed messages built from the input: responses and events, each with a true
// Content-Length and no NUL. `kinds` gets the kind of each, `sizes` its length.
std::string FramedMessages(FuzzedDataProvider& provider, std::vector<MessageKind>& kinds,
                           std::vector<std::size_t>& sizes) {
    std::string stream;
    while (provider.remaining_bytes() > 0 && kinds.size() < 64) {
        const bool event = provider.ConsumeBool();
        std::string body = provider.ConsumeRandomLengthString(4096);
        for (char& c : body) {
            c = c == '\0' ? ' ' : c;
        }
        std::string message;
        if (event) {
            body = "<?xml" + body;
            message =
                "POST /SendAlarmStatus HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) +
                "\r\nContent-Type: application/xml\r\n\r\n";
        } else {
            message =
                "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
        }
        message += body;
        kinds.push_back(event ? MessageKind::Event : MessageKind::Response);
        sizes.push_back(message.size());
        stream += message;
    }
    return stream;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const std::uint32_t cutSeed = provider.ConsumeIntegral<std::uint32_t>();
    // Either any bytes, or messages that frame cleanly whatever the cuts.
    const bool framed = (cutSeed & 4) != 0;
    std::vector<MessageKind> kinds;
    std::vector<std::size_t> sizes;
    std::string stream =
        framed ? FramedMessages(provider, kinds, sizes) : provider.ConsumeRemainingBytesAsString();
    if (stream.size() > 100000) {
        return 0;
    }

    CheckFraming(stream);

    // Piece sizes: tiny, small, medium or the whole stream, as the seed's low bits say.
    std::minstd_rand random(cutSeed | 1);
    const std::size_t limits[] = {4, 64, 2048, stream.size() + 1};
    const std::size_t limit = limits[cutSeed & 3];
    std::vector<std::size_t> cuts;
    for (std::size_t at = 0; at < stream.size();) {
        at += 1 + random() % limit;
        if (at > stream.size()) {
            at = stream.size();
        }
        // A read that begins with NUL makes the loop pause 50 ms; keep that out of most runs.
        if (at < stream.size() && stream[at] == '\0') {
            stream[at] = '\1';
        }
        cuts.push_back(at);
    }
    if (!stream.empty() && stream[0] == '\0') {
        stream[0] = '\1';
    }

    int pair[2];
    FUZZ_CHECK(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) == 0);
    const UniqueFd ends[2] = {UniqueFd(pair[0]), UniqueFd(pair[1])};
    const std::string& folder = Folder();
    // A run that receives nothing never opens the log: leave no log of an earlier run behind.
    unlink((folder + "/ApiLog.txt").c_str());
    {
        TrafficLog log(folder);
        ServerAddress address;
        Feeder feeder(ends[0].Get(), ends[1].Get(), stream, cuts);
        ReceiveSession session;
        session.context = ReceiveContext{folder, &log, &address, &feeder};
        session.socket = ends[0].Get();
        session.endAtPeerClose = true;
        session.stop.Arm();
        feeder.Feed();
        RecvThreadProc(session);
        log.Close();

        FUZZ_CHECK(feeder.consumed == stream.size());
        FUZZ_CHECK(ReadFile(folder + "/ApiLog.txt") == feeder.expectedLog);
        std::size_t reported = 0;
        for (const MessageReport& report : feeder.reports) {
            FUZZ_CHECK(report.length > 0);
            reported += report.length;
            for (const std::string& path : report.pictures) {
                FUZZ_CHECK(path.compare(0, folder.size() + 5, folder + "/pic/") == 0);
                FUZZ_CHECK(path.find("/../") == std::string::npos);
                FUZZ_CHECK(access(path.c_str(), F_OK) == 0);
            }
        }
        FUZZ_CHECK(feeder.nulReads || reported == stream.size());
        if (framed) {
            // Each message is found whole, however the reads fall; events are decoded.
            FUZZ_CHECK(feeder.reports.size() == kinds.size());
            FUZZ_CHECK(feeder.texts.size() == kinds.size());
            std::size_t at = 0;
            for (std::size_t i = 0; i < kinds.size(); ++i) {
                const MessageReport& report = feeder.reports[i];
                FUZZ_CHECK(report.kind == kinds[i] && report.complete);
                FUZZ_CHECK(report.length == sizes[i]);
                FUZZ_CHECK(report.decoded == (kinds[i] == MessageKind::Event));
                FUZZ_CHECK(feeder.texts[i] == stream.substr(at, sizes[i]));
                at += sizes[i];
            }
        }
    }
    nftw((folder + "/pic").c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    return 0;
}
