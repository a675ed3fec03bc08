// The device closes the long connection after any byte: in a start line, in the headers, in a
// body, between messages. Whatever arrived is logged exactly, reported once, and decoded only
// when it is complete; nothing is filed twice and nothing hangs.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "fault_support.h"

namespace {

struct Message {
    std::string bytes;
    std::vector<std::string> pictures;  // decoded bytes of the pictures it files
};

std::vector<Message> Conversation() {
    return {
        {SubscribeAnswer("http://127.0.0.1:9/S1"), {}},
        {PushedEvent(FaceMatchEvent(PlainBase64("face-snap"))), {"face-snap"}},
        {PushedEvent(TargetEvent(PlainBase64("src"), {PlainBase64("t1"), PlainBase64("t22")}, "2")),
         {"src", "t1", "t22"}},
    };
}

void ExpectCutAt(const std::vector<Message>& messages, const std::string& stream, std::size_t cut,
                 std::size_t piece) {
    SCOPED_TRACE("cut after " + std::to_string(cut) + " bytes, pieces of " + std::to_string(piece));
    FaultFolder folder;
    const DrivenRun run = DriveReceiveLoop(folder.Path(), stream.substr(0, cut), piece);
    ASSERT_EQ(run.bytesRead, cut);
    EXPECT_EQ(run.log, stream.substr(0, cut));

    std::size_t start = 0;
    std::size_t index = 0;
    for (const Message& message : messages) {
        if (start >= cut) {
            break;
        }
        ASSERT_LT(index, run.reports.size());
        const MessageReport& report = run.reports[index];
        const bool whole = start + message.bytes.size() <= cut;
        EXPECT_EQ(report.complete, whole);
        EXPECT_EQ(report.length, whole ? message.bytes.size() : cut - start);
        if (whole) {
            ASSERT_EQ(report.pictures.size(), message.pictures.size());
            for (std::size_t i = 0; i < message.pictures.size(); ++i) {
                EXPECT_EQ(FileBytes(report.pictures[i]), message.pictures[i]);
            }
        } else {
            EXPECT_FALSE(report.decoded);
            EXPECT_TRUE(report.pictures.empty());
        }
        start += message.bytes.size();
        ++index;
    }
    EXPECT_EQ(run.reports.size(), index);
    const bool answered = cut >= messages[0].bytes.size();
    EXPECT_EQ(run.serverAddress, answered ? "http://127.0.0.1:9/S1" : "");
}

TEST(FaultPeerClose, EveryCutOfAConversationDeliveredAtOnce) {
    const std::vector<Message> messages = Conversation();
    std::string stream;
    for (const Message& message : messages) {
        stream += message.bytes;
    }
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        ExpectCutAt(messages, stream, cut, 0);
        if (HasFailure()) {
            return;
        }
    }
}

TEST(FaultPeerClose, EveryCutOfAConversationDeliveredInPieces) {
    const std::vector<Message> messages = Conversation();
    std::string stream;
    for (const Message& message : messages) {
        stream += message.bytes;
    }
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        ExpectCutAt(messages, stream, cut, 1 + cut % 17);
        if (HasFailure()) {
            return;
        }
    }
}

// The device writes a message and closes while the receive thread runs: the thread reads no
// more, sleeps without using the processor and stops at once when asked.
TEST(FaultPeerClose, ThreadStopsPromptlyAfterACloseInTheHeaders) {
    FaultFolder folder;
    TrafficLog log(folder.Path());
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    ReceiveThread thread(ReceiveContext{folder.Path(), &log, nullptr, nullptr});
    ASSERT_TRUE(thread.Start(ends[0]));
    const std::string head = "POST /SendAlarmStatus HTTP/1.1\r\nContent-Le";
    ASSERT_TRUE(SendAll(ends[1], head));
    shutdown(ends[1], SHUT_WR);
    for (int i = 0; i < 500 && !thread.PeerClosed(); ++i) {
        usleep(10000);
    }
    ASSERT_TRUE(thread.PeerClosed());
    const long long cpuBefore = thread.CpuTimeNanoseconds();
    usleep(200000);
    EXPECT_LT(thread.CpuTimeNanoseconds() - cpuBefore, 20'000'000);
    const auto begin = std::chrono::steady_clock::now();
    thread.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(200));
    close(ends[0]);
    close(ends[1]);
    log.Close();
    EXPECT_EQ(FileBytes(log.Path()), head);
}

}  // namespace
