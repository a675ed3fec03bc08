// The receive loop lends its buffer to the picture writer: while the writer is held up, the
// loop must read into other buffers (or wait), never over pictures not yet decoded.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "receive/receive_thread.h"
#include "receive_test_support.h"

namespace {

// Holds the writer in its first report until opened.
class HeldWriterObserver : public RecordingObserver {
  public:
    void OnMessage(const MessageReport& report) override {
        {
            std::unique_lock<std::mutex> hold(lock_);
            opened_.wait(hold, [&] { return open_; });
        }
        RecordingObserver::OnMessage(report);
    }
    void Open() {
        {
            std::lock_guard<std::mutex> hold(lock_);
            open_ = true;
        }
        opened_.notify_all();
    }

  private:
    std::mutex lock_;
    std::condition_variable opened_;
    bool open_ = false;
};

TEST(ReceiveBufferLoan, HeldWriterGetsEveryPictureUnharmed) {
    TempFolder folder;
    TrafficLog log(folder.Path());
    HeldWriterObserver observer;
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    ReceiveThread thread(ReceiveContext{folder.Path(), &log, nullptr, &observer});
    ASSERT_TRUE(thread.Start(ends[0]));
    constexpr int kEvents = 12;
    std::mt19937 rng(7);
    std::vector<std::string> snaps;
    std::string stream;
    for (int n = 0; n < kEvents; ++n) {
        std::string snap(250000, '\0');
        for (char& c : snap) {
            c = static_cast<char>(rng() & 0xFF);
        }
        snaps.push_back(snap);
        stream += EventMessage(FaceMatchBody(ToBase64(snap)));
    }
    std::thread device([&] { WriteAll(ends[1], stream); });
    // Let the loop read as far as it will while the writer is held (it stops when it has no
    // buffer left to read into, or when the writer's queue is full).
    std::size_t seen = 0;
    for (int quiet = 0, round = 0; quiet < 10 && round < 500; ++round) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const std::size_t now = observer.BytesRead();
        quiet = now == seen ? quiet + 1 : 0;
        seen = now;
    }
    EXPECT_GT(seen, 614400u);  // more than one buffer's worth was read meanwhile
    observer.Open();
    EXPECT_TRUE(observer.WaitForReports(kEvents));
    device.join();
    thread.Stop();
    close(ends[0]);
    close(ends[1]);
    const std::vector<MessageReport> reports = observer.Reports();
    ASSERT_EQ(reports.size(), static_cast<std::size_t>(kEvents));
    for (int n = 0; n < kEvents; ++n) {
        SCOPED_TRACE(n);
        ASSERT_EQ(reports[n].pictures.size(), 1u);
        EXPECT_TRUE(ReadFile(reports[n].pictures[0]) == snaps[n]);
    }
}

}  // namespace
