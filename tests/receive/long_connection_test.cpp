#include "request/long_connection.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <tuple>

#include "support/test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

class LongConnectionPeer : public ::testing::Test {
  protected:
    ConnectResult ConnectTo(int port) {
        return connection_.Connect("127.0.0.1", "admin", "123456", std::to_string(port));
    }
    // Connects to the device and returns the device's end of the connection.
    int Connected() {
        EXPECT_EQ(ConnectTo(device_.Port()), ConnectResult::Ok);
        return device_.Accept();
    }

    TempFolder folder_;
    TrafficLog log_{folder_.Path()};
    RecordingObserver observer_;
    LongConnection connection_{ReceiveContext{folder_.Path(), &log_, nullptr, &observer_}};
    LoopbackListener device_;
};

TEST(LongConnectionTexts, MessagesFocusAndPort) {
    const std::tuple<ConnectResult, const char*, FocusField> rows[] = {
        {ConnectResult::NoUser, "Please input username", FocusField::User},
        {ConnectResult::NoPassword, "Please input password", FocusField::Password},
        {ConnectResult::NoIp, "Please input device's IP", FocusField::Ip},
        {ConnectResult::ConnectFailed,
         "Connect fail, Please Check the IP/Username/Password/LongPort !", FocusField::None},
        {ConnectResult::Ok, "", FocusField::None},
        {ConnectResult::NoSocket, "", FocusField::None},
    };
    for (const auto& [result, message, focus] : rows) {
        EXPECT_STREQ(ConnectResultMessage(result), message);
        EXPECT_EQ(ConnectResultFocus(result), focus) << message;
    }
    EXPECT_STREQ(SendResultMessage(SendResult::Failed), "Send fail");
    EXPECT_STREQ(SendResultMessage(SendResult::Ok), "");
    const std::pair<const char*, int> ports[] = {{"8080", 8080}, {" 80x", 80}, {"http", 0},
                                                 {"", 0},        {"65537", 1}, {"-1", 65535}};
    for (const auto& [text, port] : ports) {
        EXPECT_EQ(LongPortNumber(text), port) << text;
    }
}

TEST_F(LongConnectionPeer, FailedConnects) {
    int closedPort = 0;
    {
        LoopbackListener gone;
        closedPort = gone.Port();
    }
    // The fields are checked first, in order: user, password, then "0.0.0.0".
    EXPECT_EQ(connection_.Connect("0.0.0.0", "", "", "8080"), ConnectResult::NoUser);
    EXPECT_EQ(connection_.Connect("0.0.0.0", "admin", "", "8080"), ConnectResult::NoPassword);
    EXPECT_EQ(connection_.Connect("0.0.0.0", "admin", "pw", "8080"), ConnectResult::NoIp);
    EXPECT_EQ(ConnectTo(closedPort), ConnectResult::ConnectFailed);
    EXPECT_TRUE(connection_.NeedConnect());
    EXPECT_EQ(connection_.Send("x"), SendResult::Failed);
    EXPECT_EQ(connection_.ReceiveCpuTimeNanoseconds(), -1);
    // A long send whose field check fails ends in a failed send, without a connection.
    const LongSendOutcome outcome =
        connection_.LongSend({"127.0.0.1", "admin", "", std::to_string(device_.Port()), "x"});
    EXPECT_TRUE(outcome.connectTried);
    EXPECT_EQ(outcome.connect, ConnectResult::NoPassword);
    EXPECT_EQ(outcome.send, SendResult::Failed);
    EXPECT_EQ(device_.Accept(300), -1) << "a connection was attempted";
}

TEST_F(LongConnectionPeer, LongSendConnectsOnceAndSendsExactBytes) {
    LongSendOutcome outcome =
        connection_.LongSend({"127.0.0.1", "admin", "pw", std::to_string(device_.Port()), "first"});
    EXPECT_TRUE(outcome.connectTried && outcome.connect == ConnectResult::Ok);
    EXPECT_EQ(outcome.send, SendResult::Ok);
    const int peer = device_.Accept();
    ASSERT_GE(peer, 0);
    EXPECT_EQ(ReadBytes(peer, 5), "first");
    outcome = connection_.LongSend({"127.0.0.1", "admin", "pw", "1", "second"});
    EXPECT_FALSE(outcome.connectTried) << "reconnected on an open connection";
    EXPECT_EQ(ReadBytes(peer, 6), "second");
    // A connect on an open connection replaces it.
    const int second = Connected();
    EXPECT_EQ(ReadBytes(peer, 1), "") << "the first connection was left open";
    EXPECT_EQ(connection_.Send("on second"), SendResult::Ok);
    EXPECT_EQ(ReadBytes(second, 9), "on second");
    close(peer);
    close(second);
}

// The device closes between messages and inside a body: the thread reads no more and sleeps
// without using the processor; the next long send reconnects; the log keeps both connections.
TEST_F(LongConnectionPeer, PeerCloseStopsReadingAndTheNextSendReconnects) {
    const std::string event = EventMessage(FaceMatchBody(ToBase64("whole")));
    const std::string cut = event.substr(0, event.size() - 20);
    for (const std::string& part : {event, cut}) {
        SCOPED_TRACE(part.size());
        const std::size_t reads = observer_.Reads().size();
        int peer = Connected();
        ASSERT_GE(peer, 0);
        EXPECT_FALSE(connection_.NeedConnect());
        ASSERT_TRUE(WriteAll(peer, part) && observer_.WaitForReads(reads + 1));
        close(peer);
        ASSERT_TRUE(observer_.WaitForReads(reads + 2));
        for (int i = 0; i < 100 && !connection_.NeedConnect(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(connection_.NeedConnect());
        const long long before = connection_.ReceiveCpuTimeNanoseconds();
        ASSERT_GE(before, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_LT(connection_.ReceiveCpuTimeNanoseconds() - before, 20'000'000) << "it spins";
        EXPECT_EQ(observer_.Reads().size(), reads + 2);
        const LongSendOutcome outcome = connection_.LongSend(
            {"127.0.0.1", "admin", "pw", std::to_string(device_.Port()), "again"});
        EXPECT_TRUE(outcome.connectTried && outcome.connect == ConnectResult::Ok);
        EXPECT_EQ(outcome.send, SendResult::Ok);
        peer = device_.Accept();
        EXPECT_EQ(ReadBytes(peer, 5), "again");
        close(peer);
        connection_.Disconnect();
    }
    log_.Close();
    EXPECT_EQ(ReadFile(log_.Path()), event + cut);
}

TEST_F(LongConnectionPeer, DisconnectWhileTheThreadIsBlocked) {
    const int peer = Connected();
    ASSERT_GE(peer, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_GE(connection_.ReceiveCpuTimeNanoseconds(), 0);
    const auto start = Clock::now();
    connection_.Disconnect();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(connection_.IsOpen());
    EXPECT_TRUE(connection_.NeedConnect());
    EXPECT_EQ(connection_.ReceiveCpuTimeNanoseconds(), -1);
    EXPECT_EQ(ReadBytes(peer, 1), "");  // the device sees the connection end
    EXPECT_FALSE(log_.IsOpen()) << "the log was opened without data";
    connection_.Disconnect();
    close(peer);
}

}  // namespace
