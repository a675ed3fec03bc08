// Work that waits on a device is given up at once: a short post through its cancel, a long
// send's connect through Disconnect.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "net/tcp_connect.h"
#include "request/http_post.h"
#include "request/long_connection.h"
#include "support/test_support.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const HttpLibrary kHttp;

TEST(GiveUp, ACancelledPostToADeviceThatAnswersAByteASecondEndsAtOnce) {
    TricklePeer device(50ms);
    HttpCancel cancel;
    Clock::time_point cancelledAt;
    std::thread canceller([&] {
        std::this_thread::sleep_for(300ms);
        cancelledAt = Clock::now();
        cancel.Cancel();
    });
    const HttpOutcome got = HttpPost("127.0.0.1", std::to_string(device.Port()), "admin", "pw",
                                     "GetDeviceInfo", "", &cancel);
    const auto ended = Clock::now();
    canceller.join();
    EXPECT_TRUE(got.cancelled && !got.completed) << got.error;
    EXPECT_EQ(got.error, "Cancelled");
    EXPECT_LT(ended - cancelledAt, 200ms);
    EXPECT_GT(got.Bytes(), 0u);  // what arrived before is kept
}

TEST(GiveUp, DisconnectEndsALongSendThatIsStillConnecting) {
    TempFolder folder;
    TrafficLog log(folder.Path());
    LongConnection connection(ReceiveContext{folder.Path(), &log, nullptr, nullptr});
    FullListener full;
    ASSERT_NE(full.Port(), 0);
    std::atomic<int> calls{0};
    std::atomic<int> result{-1};
    const LongSendRequest request{"127.0.0.1", "admin", "pw", std::to_string(full.Port()), "x"};
    ASSERT_TRUE(connection.StartLongSend(request, [&](LongSendOutcome outcome) {
        result = static_cast<int>(outcome.connect);
        ++calls;
    }));
    EXPECT_FALSE(connection.StartLongSend(request, {})) << "a second long send ran at once";
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(connection.LongSendRunning());
    const auto start = Clock::now();
    connection.Disconnect();
    EXPECT_LT(Clock::now() - start, 200ms);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(result, static_cast<int>(ConnectResult::Cancelled));
    EXPECT_FALSE(connection.LongSendRunning() || connection.IsOpen());
    EXPECT_STREQ(ConnectResultMessage(ConnectResult::Cancelled), "");  // no box for it
}

}  // namespace
