#include "request/long_connection.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "receive_test_support.h"

namespace {

class LongConnectionPeer : public ::testing::Test {
  protected:
    ConnectResult ConnectTo(int port) {
        return connection_.Connect("127.0.0.1", "admin", "123456", std::to_string(port));
    }

    TempFolder folder_;
    TrafficLog log_{folder_.Path()};
    ServerAddress address_;
    RecordingObserver observer_;
    LongConnection connection_{ReceiveContext{folder_.Path(), &log_, &address_, &observer_}};
    LoopbackListener device_;
};

TEST(LongConnectionTexts, MessagesAndFocus) {
    EXPECT_STREQ(ConnectResultMessage(ConnectResult::NoUser), "Please input username");
    EXPECT_STREQ(ConnectResultMessage(ConnectResult::NoPassword), "Please input password");
    EXPECT_STREQ(ConnectResultMessage(ConnectResult::NoIp), "Please input device's IP");
    EXPECT_STREQ(ConnectResultMessage(ConnectResult::ConnectFailed),
                 "Connect fail, Please Check the IP/Username/Password/LongPort !");
    EXPECT_STREQ(ConnectResultMessage(ConnectResult::Ok), "");
    EXPECT_STREQ(ConnectResultMessage(ConnectResult::NoSocket), "");
    EXPECT_EQ(ConnectResultFocus(ConnectResult::NoUser), FocusField::User);
    EXPECT_EQ(ConnectResultFocus(ConnectResult::NoPassword), FocusField::Password);
    EXPECT_EQ(ConnectResultFocus(ConnectResult::NoIp), FocusField::Ip);
    EXPECT_EQ(ConnectResultFocus(ConnectResult::ConnectFailed), FocusField::None);
    EXPECT_STREQ(SendResultMessage(SendResult::Failed), "Send fail");
    EXPECT_STREQ(SendResultMessage(SendResult::Ok), "");
}

TEST(LongConnectionTexts, PortNumberAsAtoiReadsIt) {
    EXPECT_EQ(LongPortNumber("8080"), 8080);
    EXPECT_EQ(LongPortNumber(" 80x"), 80);
    EXPECT_EQ(LongPortNumber("0"), 0);
    EXPECT_EQ(LongPortNumber("http"), 0);
    EXPECT_EQ(LongPortNumber(""), 0);
    EXPECT_EQ(LongPortNumber("65537"), 1);
    EXPECT_EQ(LongPortNumber("-1"), 65535);
}

TEST_F(LongConnectionPeer, FieldChecksComeFirstInOrder) {
    EXPECT_EQ(connection_.Connect("0.0.0.0", "", "", "8080"), ConnectResult::NoUser);
    EXPECT_EQ(connection_.Connect("0.0.0.0", "admin", "", "8080"), ConnectResult::NoPassword);
    EXPECT_EQ(connection_.Connect("0.0.0.0", "admin", "pw", "8080"), ConnectResult::NoIp);
    EXPECT_TRUE(connection_.NeedConnect());
    EXPECT_FALSE(connection_.IsOpen());
}

TEST_F(LongConnectionPeer, RefusedPortZeroPortAndBadAddressFail) {
    // A bound socket that does not listen refuses connections.
    const int bound = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    ASSERT_EQ(bind(bound, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(getsockname(bound, reinterpret_cast<sockaddr*>(&address), &size), 0);
    EXPECT_EQ(ConnectTo(ntohs(address.sin_port)), ConnectResult::ConnectFailed);
    close(bound);

    EXPECT_EQ(ConnectTo(0), ConnectResult::ConnectFailed);
    EXPECT_EQ(connection_.Connect("127.0.0.1", "admin", "pw", "abc"), ConnectResult::ConnectFailed);
    EXPECT_EQ(connection_.Connect("", "admin", "pw", "8080"), ConnectResult::ConnectFailed);
    EXPECT_EQ(connection_.Connect("not an ip", "admin", "pw", "8080"),
              ConnectResult::ConnectFailed);
    EXPECT_TRUE(connection_.NeedConnect());
    EXPECT_EQ(connection_.Send("x"), SendResult::Failed);
    EXPECT_EQ(connection_.ReceiveCpuTimeNanoseconds(), -1);
}

TEST_F(LongConnectionPeer, LongSendConnectsOnceAndSendsExactBytes) {
    const std::string request = "POST /SetSubscribe HTTP/1.1\r\nContent-Length: 0\r\n\r\n";
    LongSendOutcome outcome =
        connection_.LongSend("127.0.0.1", "admin", "pw", std::to_string(device_.Port()), request);
    EXPECT_TRUE(outcome.connectTried);
    EXPECT_EQ(outcome.connect, ConnectResult::Ok);
    EXPECT_EQ(outcome.send, SendResult::Ok);
    const int peer = device_.Accept();
    ASSERT_GE(peer, 0);
    EXPECT_EQ(ReadBytes(peer, request.size()), request);

    outcome = connection_.LongSend("127.0.0.1", "admin", "pw", "1", "second");
    EXPECT_FALSE(outcome.connectTried) << "reconnected on an open connection";
    EXPECT_EQ(outcome.send, SendResult::Ok);
    EXPECT_EQ(ReadBytes(peer, 6), "second");
    EXPECT_EQ(connection_.Send(""), SendResult::Ok);

    // The answer reaches the observer and the server address is recorded.
    const std::string answer = ResponseMessage(
        "<config><serverAddress><![CDATA[http://127.0.0.1:1/Subscribers/3]]></serverAddress>"
        "</config>");
    ASSERT_TRUE(WriteAll(peer, answer));
    ASSERT_TRUE(observer_.WaitForReports(1));
    EXPECT_EQ(observer_.Texts(), std::vector<std::string>{answer});
    EXPECT_EQ(address_.Get(), "http://127.0.0.1:1/Subscribers/3");
    close(peer);
}

TEST_F(LongConnectionPeer, LargeSendIsCompleted) {
    ASSERT_EQ(ConnectTo(device_.Port()), ConnectResult::Ok);
    const int peer = device_.Accept();
    ASSERT_GE(peer, 0);
    std::string big(3 * 1024 * 1024, 'r');
    big[12345] = 'x';
    std::string received;
    std::thread reader([&] { received = ReadBytes(peer, big.size()); });
    EXPECT_EQ(connection_.Send(big), SendResult::Ok);
    reader.join();
    EXPECT_EQ(received, big);
    close(peer);
}

TEST_F(LongConnectionPeer, FailedFieldCheckInLongSendEndsInSendFail) {
    const LongSendOutcome outcome =
        connection_.LongSend("127.0.0.1", "admin", "", std::to_string(device_.Port()), "x");
    EXPECT_TRUE(outcome.connectTried);
    EXPECT_EQ(outcome.connect, ConnectResult::NoPassword);
    EXPECT_EQ(outcome.send, SendResult::Failed);
    EXPECT_EQ(device_.Accept(300), -1) << "a connection was attempted";
}

TEST_F(LongConnectionPeer, PeerCloseStopsReadingAndTheNextSendReconnects) {
    ASSERT_EQ(ConnectTo(device_.Port()), ConnectResult::Ok);
    int peer = device_.Accept();
    ASSERT_GE(peer, 0);
    EXPECT_FALSE(connection_.NeedConnect());
    close(peer);
    ASSERT_TRUE(observer_.WaitForReads(1));
    for (int i = 0; i < 100 && !connection_.NeedConnect(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(connection_.NeedConnect());

    const long long before = connection_.ReceiveCpuTimeNanoseconds();
    ASSERT_GE(before, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LT(connection_.ReceiveCpuTimeNanoseconds() - before, 20'000'000);
    EXPECT_EQ(observer_.Reads().size(), 1u);

    const LongSendOutcome outcome =
        connection_.LongSend("127.0.0.1", "admin", "pw", std::to_string(device_.Port()), "again");
    EXPECT_TRUE(outcome.connectTried);
    EXPECT_EQ(outcome.connect, ConnectResult::Ok);
    EXPECT_EQ(outcome.send, SendResult::Ok);
    peer = device_.Accept();
    ASSERT_GE(peer, 0);
    EXPECT_EQ(ReadBytes(peer, 5), "again");
    close(peer);
}

TEST_F(LongConnectionPeer, DisconnectWhileTheThreadIsBlocked) {
    ASSERT_EQ(ConnectTo(device_.Port()), ConnectResult::Ok);
    const int peer = device_.Accept();
    ASSERT_GE(peer, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_GE(connection_.ReceiveCpuTimeNanoseconds(), 0);
    const auto start = std::chrono::steady_clock::now();
    connection_.Disconnect();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(connection_.IsOpen());
    EXPECT_TRUE(connection_.NeedConnect());
    EXPECT_EQ(connection_.ReceiveCpuTimeNanoseconds(), -1);
    // The device sees the connection end.
    EXPECT_EQ(ReadBytes(peer, 1), "");
    connection_.Disconnect();
    close(peer);
}

TEST_F(LongConnectionPeer, ConnectOnAnOpenConnectionReplacesIt) {
    ASSERT_EQ(ConnectTo(device_.Port()), ConnectResult::Ok);
    const int first = device_.Accept();
    ASSERT_GE(first, 0);
    ASSERT_EQ(ConnectTo(device_.Port()), ConnectResult::Ok);
    const int second = device_.Accept();
    ASSERT_GE(second, 0);
    EXPECT_EQ(ReadBytes(first, 1), "") << "the first connection was left open";
    EXPECT_EQ(connection_.Send("on second"), SendResult::Ok);
    EXPECT_EQ(ReadBytes(second, 9), "on second");
    close(first);
    close(second);
}

}  // namespace
