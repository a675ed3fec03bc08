// Connecting and disconnecting the long connection many times, with an event received on each
// connection: threads and descriptors come back to where they were.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "fault_support.h"
#include "request/long_connection.h"

namespace {

// A device on 127.0.0.1 that greets every connection with one event and closes its side when
// the tool has closed its own.
class GreetingDevice {
  public:
    explicit GreetingDevice(std::string greeting) : greeting_(std::move(greeting)) {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof(address);
        if (listener_ >= 0 && bind(listener_, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            listen(listener_, 4) == 0 &&
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
            port_ = ntohs(address.sin_port);
        }
        thread_ = std::thread([this] { Run(); });
    }
    ~GreetingDevice() {
        stop_ = true;
        thread_.join();
        close(listener_);
    }
    int Port() const { return port_; }
    // Waits until the device has closed every connection it accepted (false after 5 s).
    bool AllClosed() const {
        for (int i = 0; i < 500 && open_ > 0; ++i) {
            usleep(10000);
        }
        return open_ == 0;
    }

  private:
    void Run() {
        while (!stop_) {
            pollfd waiting{listener_, POLLIN, 0};
            if (poll(&waiting, 1, 20) != 1) {
                continue;
            }
            const int peer = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (peer < 0) {
                continue;
            }
            ++open_;
            SendAll(peer, greeting_);
            char sink[4096];
            while (!stop_) {
                pollfd readable{peer, POLLIN, 0};
                if (poll(&readable, 1, 20) == 1 && recv(peer, sink, sizeof(sink), 0) <= 0) {
                    break;
                }
            }
            close(peer);
            --open_;
        }
    }

    std::string greeting_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> open_{0};
    std::thread thread_;
};

class MessageCounter : public ReceiveObserver {
  public:
    void OnResponseText(std::string_view) override {}
    void OnMessage(const MessageReport& report) override {
        std::lock_guard<std::mutex> hold(lock_);
        pictures_ += report.pictures.size();
        ++count_;
        changed_.notify_all();
    }
    bool WaitFor(int count) {
        std::unique_lock<std::mutex> hold(lock_);
        return changed_.wait_for(hold, std::chrono::seconds(10), [&] { return count_ >= count; });
    }
    int Pictures() {
        std::lock_guard<std::mutex> hold(lock_);
        return pictures_;
    }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    int count_ = 0;
    int pictures_ = 0;
};

TEST(FaultReconnect, HundredConnectionsLeaveNoThreadOrDescriptorBehind) {
    FaultFolder folder;
    TrafficLog log(folder.Path());
    ASSERT_TRUE(log.Open());  // opened up front so that it does not count as a leak
    MessageCounter counter;
    const std::string event = PushedEvent(FaceMatchEvent(PlainBase64("hello")));
    GreetingDevice device(event);
    ASSERT_GT(device.Port(), 0);
    LongConnection connection(ReceiveContext{folder.Path(), &log, nullptr, &counter});
    const int descriptors = OpenDescriptorCount();
    const long threads = ProcStatusValue("Threads");
    for (int i = 1; i <= 100; ++i) {
        const LongSendOutcome outcome = connection.LongSend(
            "127.0.0.1", "admin", "pw", std::to_string(device.Port()), "POST /SetSubscribe");
        ASSERT_TRUE(outcome.connectTried) << i;
        ASSERT_EQ(outcome.connect, ConnectResult::Ok) << i;
        ASSERT_EQ(outcome.send, SendResult::Ok) << i;
        ASSERT_TRUE(counter.WaitFor(i)) << i;
        connection.Disconnect();
        // The device's end lives in this process too: count once it is closed.
        ASSERT_TRUE(device.AllClosed()) << i;
        EXPECT_EQ(OpenDescriptorCount(), descriptors) << i;
        EXPECT_EQ(ProcStatusValue("Threads"), threads) << i;
    }
    EXPECT_EQ(counter.Pictures(), 100);
    log.Close();
    std::string expected;
    for (int i = 0; i < 100; ++i) {
        expected += event;
    }
    EXPECT_EQ(FileBytes(log.Path()), expected);
}

}  // namespace
