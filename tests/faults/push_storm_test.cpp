// Disconnecting while the device pushes as fast as it can: the disconnect returns within
// 200 ms, the receive thread is gone and no descriptor is left behind.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "fault_support.h"
#include "request/long_connection.h"

namespace {

using Clock = std::chrono::steady_clock;

// Counts the messages the receive thread reports; waits with a time limit.
class CountingObserver : public ReceiveObserver {
  public:
    void OnResponseText(std::string_view) override {}
    void OnMessage(const MessageReport& report) override {
        std::lock_guard<std::mutex> hold(lock_);
        ++messages_;
        pictures_ += report.pictures.size();
        changed_.notify_all();
    }
    bool WaitForMessages(int count) {
        std::unique_lock<std::mutex> hold(lock_);
        return changed_.wait_for(hold, std::chrono::seconds(10),
                                 [&] { return messages_ >= count; });
    }
    std::size_t Pictures() {
        std::lock_guard<std::mutex> hold(lock_);
        return pictures_;
    }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    int messages_ = 0;
    std::size_t pictures_ = 0;
};

// A device on 127.0.0.1 that, once connected, writes `stream` over and over (pausing `pause`
// after each) until the connection breaks or it is told to stop.
class StormingDevice {
  public:
    explicit StormingDevice(std::string stream,
                            std::chrono::milliseconds pause = std::chrono::milliseconds(0))
        : stream_(std::move(stream)), pause_(pause) {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof(address);
        if (listener_ >= 0 && bind(listener_, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            listen(listener_, 1) == 0 &&
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
            port_ = ntohs(address.sin_port);
        }
        thread_ = std::thread([this] { Run(); });
    }
    ~StormingDevice() {
        stop_ = true;
        thread_.join();
        close(listener_);
    }
    int Port() const { return port_; }
    bool Broken() const { return broken_; }

  private:
    void Run() {
        pollfd waiting{listener_, POLLIN, 0};
        if (poll(&waiting, 1, 5000) != 1) {
            return;
        }
        const int peer = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        while (!stop_ && peer >= 0) {
            pollfd writable{peer, POLLOUT, 0};
            if (poll(&writable, 1, 50) != 1) {
                continue;
            }
            if (!SendAll(peer, stream_)) {
                broken_ = true;
                break;
            }
            std::this_thread::sleep_for(pause_);
        }
        if (peer >= 0) {
            close(peer);
        }
    }

    std::string stream_;
    std::chrono::milliseconds pause_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> broken_{false};
    std::thread thread_;
};

std::string StormStream() {
    const std::string picture = PlainBase64(std::string(30000, '\x5a'));
    return PushedEvent(FaceMatchEvent(picture)) +
           PushedEvent(TargetEvent(picture, {picture, picture}, "2"));
}

TEST(FaultPushStorm, DisconnectReturnsWithin200Milliseconds) {
    const int descriptors = OpenDescriptorCount();
    const long threads = ProcStatusValue("Threads");
    FaultFolder folder;
    TrafficLog log(folder.Path());
    CountingObserver observer;
    {
        StormingDevice device(StormStream());
        ASSERT_GT(device.Port(), 0);
        LongConnection connection(ReceiveContext{folder.Path(), &log, nullptr, &observer});
        ASSERT_EQ(connection.Connect("127.0.0.1", "admin", "pw", std::to_string(device.Port())),
                  ConnectResult::Ok);
        ASSERT_TRUE(observer.WaitForMessages(40));
        const Clock::time_point begin = Clock::now();
        connection.Disconnect();
        const auto took = Clock::now() - begin;
        EXPECT_LT(took, std::chrono::milliseconds(200))
            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
        EXPECT_FALSE(connection.IsOpen());
        EXPECT_EQ(connection.ReceiveCpuTimeNanoseconds(), -1);  // no receive thread
        // The device sees the connection go away.
        for (int i = 0; i < 300 && !device.Broken(); ++i) {
            usleep(10000);
        }
        EXPECT_TRUE(device.Broken());
    }
    log.Close();
    EXPECT_GE(observer.Pictures(), 40u);
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
    EXPECT_EQ(ProcStatusValue("Threads"), threads);
}

// The device has announced a body far larger than what it sends in the same time (about
// 4 MB of 60 MB): the thread sits in the completion of that body when the disconnect comes.
TEST(FaultPushStorm, DisconnectInsideALargeBodyReturnsWithin200Milliseconds) {
    FaultFolder folder;
    TrafficLog log(folder.Path());
    CountingObserver observer;
    const std::string head =
        "POST /SendAlarmStatus HTTP/1.1\r\nContent-Length: 60000000\r\nContent-Type: a\r\n\r\n"
        "<?xml version=\"1.0\"?><config><smartType>VFD_MATCH</smartType>";
    StormingDevice device(head + std::string(1 << 18, 'A'), std::chrono::milliseconds(20));
    LongConnection connection(ReceiveContext{folder.Path(), &log, nullptr, &observer});
    ASSERT_EQ(connection.Connect("127.0.0.1", "admin", "pw", std::to_string(device.Port())),
              ConnectResult::Ok);
    usleep(300000);
    const Clock::time_point begin = Clock::now();
    connection.Disconnect();
    EXPECT_LT(Clock::now() - begin, std::chrono::milliseconds(200));
    EXPECT_FALSE(connection.IsOpen());
}

}  // namespace
