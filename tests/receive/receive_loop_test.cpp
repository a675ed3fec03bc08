#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "receive/event_decoder.h"
#include "receive/message_framing.h"
#include "receive/receive_thread.h"
#include "receive_test_support.h"

namespace {

// The real receive loop on one end of a socket pair; the test writes the device's bytes.
class ReceiveLoop : public ::testing::Test {
  protected:
    void SetUp() override {
        int ends[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        mine_ = ends[0];
        peer_ = ends[1];
        thread_ = std::make_unique<ReceiveThread>(
            ReceiveContext{folder_.Path(), &log_, &address_, &observer_});
        ASSERT_TRUE(thread_->Start(mine_));
    }

    void TearDown() override {
        thread_->Stop();
        CloseQuietly(peer_);
        CloseQuietly(mine_);
    }

    static void CloseQuietly(int& fd) {
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
    }

    // Writes the bytes and waits until the loop has read `reads` times in all.
    void Send(const std::string& bytes, std::size_t reads) {
        ASSERT_TRUE(WriteAll(peer_, bytes));
        ASSERT_TRUE(observer_.WaitForReads(reads));
    }

    // Stops the loop and returns the log's bytes.
    std::string StopAndReadLog() {
        thread_->Stop();
        log_.Close();
        return ReadFile(folder_.Path() + "/ApiLog.txt");
    }

    // Processor time of the loop does not grow while it has nothing to do.
    void ExpectIdleWithoutProcessor() {
        const long long before = thread_->CpuTimeNanoseconds();
        ASSERT_GE(before, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const long long after = thread_->CpuTimeNanoseconds();
        EXPECT_LT(after - before, 20'000'000) << "the loop spins after the peer closed";
    }

    std::string PicturesOf(const std::string& smartType) {
        return folder_.Path() + "/pic/" + smartType;
    }

    TempFolder folder_;
    TrafficLog log_{folder_.Path()};
    ServerAddress address_;
    RecordingObserver observer_;
    std::unique_ptr<ReceiveThread> thread_;
    int mine_ = -1;
    int peer_ = -1;
};

TEST_F(ReceiveLoop, EventInOneReadIsShownLoggedAndDecoded) {
    const int first = g_nPictureId;
    const std::string event =
        EventMessage(FaceMatchBody(ToBase64("snap-bytes"), ToBase64("album!"), ToBase64("s")));
    Send(event, 1);
    ASSERT_TRUE(observer_.WaitForReports(1));

    EXPECT_EQ(observer_.Texts(), std::vector<std::string>{event});
    const MessageReport report = observer_.Reports()[0];
    EXPECT_EQ(report.kind, MessageKind::Event);
    EXPECT_EQ(report.length, event.size());
    EXPECT_TRUE(report.complete);
    EXPECT_TRUE(report.decoded);
    EXPECT_EQ(report.smartType, "VFD_MATCH");
    ASSERT_EQ(report.pictures.size(), 3u);
    EXPECT_EQ(ReadFile(report.pictures[0]), "snap-bytes");
    EXPECT_EQ(ReadFile(report.pictures[1]), "album!");
    EXPECT_EQ(ReadFile(report.pictures[2]), "s");
    EXPECT_EQ(g_nPictureId, first + 1);
    EXPECT_EQ(observer_.Reads()[0].first, kReceiveBufferSize);
    EXPECT_EQ(StopAndReadLog(), event);
}

TEST_F(ReceiveLoop, EventInThreeReadsAsksForExactlyTheMissingBytes) {
    const std::string event = EventMessage(TargetsBody("PEA", ToBase64("frame"), {}, "0"));
    const std::size_t cut1 = event.find("<?xml") + 10;
    const std::size_t cut2 = event.size() - 7;
    Send(event.substr(0, cut1), 1);
    Send(event.substr(cut1, cut2 - cut1), 2);
    EXPECT_TRUE(observer_.Texts().empty()) << "shown before the message was complete";
    Send(event.substr(cut2), 3);
    ASSERT_TRUE(observer_.WaitForReports(1));

    const auto reads = observer_.Reads();
    EXPECT_EQ(reads[0], std::make_pair(kReceiveBufferSize, static_cast<long>(cut1)));
    EXPECT_EQ(reads[1], std::make_pair(event.size() - cut1, static_cast<long>(cut2 - cut1)));
    EXPECT_EQ(reads[2], std::make_pair(event.size() - cut2, static_cast<long>(7)));
    EXPECT_EQ(observer_.Texts(), std::vector<std::string>{event});
    const auto reports = observer_.Reports();
    ASSERT_EQ(reports.size(), 1u);
    ASSERT_EQ(reports[0].pictures.size(), 1u);
    EXPECT_EQ(ReadFile(reports[0].pictures[0]), "frame");
    EXPECT_EQ(StopAndReadLog(), event);
}

TEST_F(ReceiveLoop, EventLargerThanTheBufferArrivesWhole) {
    std::string picture(700000, '\0');
    for (std::size_t i = 0; i < picture.size(); ++i) {
        picture[i] = static_cast<char>(i * 7 + i / 251);
    }
    const std::string big = EventMessage(FaceMatchBody(ToBase64(picture), "", ""));
    ASSERT_GT(big.size(), kReceiveBufferSize);
    const std::string small = EventMessage(FaceMatchBody("", "", ToBase64("after")));
    std::thread writer([&] { WriteAll(peer_, big + small); });
    ASSERT_TRUE(observer_.WaitForReports(2));
    writer.join();

    const auto reports = observer_.Reports();
    ASSERT_EQ(reports[0].pictures.size(), 1u);
    EXPECT_EQ(ReadFile(reports[0].pictures[0]), picture);
    EXPECT_EQ(reports[0].length, big.size());
    ASSERT_EQ(reports[1].pictures.size(), 1u);
    EXPECT_EQ(ReadFile(reports[1].pictures[0]), "after");
    EXPECT_EQ(observer_.Texts(), (std::vector<std::string>{big, small}));
    EXPECT_EQ(StopAndReadLog(), big + small);
}

TEST_F(ReceiveLoop, FolderNotesFollowTheEventInTheLog) {
    std::FILE* blocker = std::fopen((folder_.Path() + "/pic").c_str(), "w");
    ASSERT_NE(blocker, nullptr);
    std::fclose(blocker);
    const std::string event = EventMessage(TargetsBody("PEA", ToBase64("lost"), {}, "0"));
    Send(event, 1);
    ASSERT_TRUE(observer_.WaitForReports(1));
    EXPECT_TRUE(observer_.Reports()[0].pictures.empty());
    EXPECT_EQ(StopAndReadLog(), event +
                                    "\n\nCreateDirectory pic fail!\n\n"
                                    "\n\nCreateDirectory PEA fail!\n\n");
}

TEST_F(ReceiveLoop, TwoEventsInOneReadAreBothDecoded) {
    const std::string one = EventMessage(TargetsBody("PEA", ToBase64("one"), {}, "0"));
    const std::string two = EventMessage(TargetsBody("VEHICLE", ToBase64("two"), {}, "0"));
    Send(one + two, 1);
    ASSERT_TRUE(observer_.WaitForReports(2));

    const auto reports = observer_.Reports();
    ASSERT_EQ(reports[0].pictures.size(), 1u);
    ASSERT_EQ(reports[1].pictures.size(), 1u);
    EXPECT_EQ(ReadFile(reports[0].pictures[0]), "one");
    EXPECT_EQ(ReadFile(reports[1].pictures[0]), "two");
    EXPECT_EQ(reports[1].smartType, "VEHICLE");
    EXPECT_EQ(observer_.Texts(), (std::vector<std::string>{one, two}));
    EXPECT_EQ(observer_.Reads().size(), 1u);
    EXPECT_EQ(StopAndReadLog(), one + two);
}

TEST_F(ReceiveLoop, ContentLengthAsTheLastHeaderIsDecoded) {
    const std::string body = TargetsBody("PEA", ToBase64("last"), {}, "0");
    const std::string event =
        "POST /SendAlarmStatus HTTP/1.1\r\nContent-Type: application/xml"
        "\r\nContent-Length: " +
        std::to_string(body.size()) + "\r\n\r\n" + body;
    Send(event, 1);
    ASSERT_TRUE(observer_.WaitForReports(1));
    const auto reports = observer_.Reports();
    EXPECT_TRUE(reports[0].decoded);
    ASSERT_EQ(reports[0].pictures.size(), 1u);
    EXPECT_EQ(ReadFile(reports[0].pictures[0]), "last");
}

TEST_F(ReceiveLoop, LowercasePostIsOnlyLogged) {
    const std::string event = EventMessage(TargetsBody("PEA", ToBase64("x"), {}, "0"));
    const std::string lower = "post" + event.substr(4);
    Send(lower, 1);
    ASSERT_TRUE(observer_.WaitForReports(1));
    EXPECT_TRUE(observer_.Texts().empty());
    EXPECT_EQ(observer_.Reports()[0].kind, MessageKind::Other);
    EXPECT_FALSE(observer_.Reports()[0].decoded);
    EXPECT_FALSE(Exists(folder_.Path() + "/pic"));
    EXPECT_EQ(StopAndReadLog(), lower);
}

TEST_F(ReceiveLoop, ReadStartingWithNulIsNeitherLoggedNorShown) {
    Send(std::string("\0POST junk", 10), 1);
    const std::string response = ResponseMessage("<config/>");
    Send(response, 2);
    ASSERT_TRUE(observer_.WaitForReports(1));
    EXPECT_EQ(observer_.Texts(), std::vector<std::string>{response});
    EXPECT_EQ(observer_.Reports().size(), 1u);
    EXPECT_EQ(StopAndReadLog(), response);
}

TEST_F(ReceiveLoop, ShownTextEndsAtTheFirstNul) {
    std::string response = ResponseMessage("<config>ab");
    response += '\0';
    response += "cd";
    response.replace(response.find("Length: ") + 8, 2, "13");
    Send(response, 1);
    ASSERT_TRUE(observer_.WaitForReports(1));
    EXPECT_EQ(observer_.Texts()[0], response.substr(0, response.find('\0')));
    EXPECT_EQ(observer_.Reports()[0].length, response.size());
    EXPECT_EQ(StopAndReadLog(), response);
}

TEST_F(ReceiveLoop, ResponseRecordsTheServerAddress) {
    address_.Set("before");
    const std::string plain = ResponseMessage("<config status=\"success\"/>");
    Send(plain, 1);
    ASSERT_TRUE(observer_.WaitForReports(1));
    EXPECT_EQ(address_.Get(), "before");

    const std::string subscribed = ResponseMessage(
        "<config><serverAddress type=\"string\"><![CDATA[http://127.0.0.1:8080/Subscribers/7]]>"
        "</serverAddress><renewTime>300</renewTime></config>");
    Send(subscribed, 2);
    ASSERT_TRUE(observer_.WaitForReports(2));
    EXPECT_EQ(address_.Get(), "http://127.0.0.1:8080/Subscribers/7");
    EXPECT_EQ(observer_.Texts(), (std::vector<std::string>{plain, subscribed}));
}

TEST_F(ReceiveLoop, ServerAddressInAContinuationReadIsRecorded) {
    const std::string response = ResponseMessage(
        "<config status=\"success\">" + std::string(100, ' ') +
        "<serverAddress type=\"string\"><![CDATA[http://127.0.0.1:1/S/2]]></serverAddress>"
        "</config>");
    const std::size_t cut = response.find("<serverAddress");
    Send(response.substr(0, cut), 1);
    Send(response.substr(cut), 2);
    ASSERT_TRUE(observer_.WaitForReports(1));
    EXPECT_EQ(address_.Get(), "http://127.0.0.1:1/S/2");
    const auto reports = observer_.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].kind, MessageKind::Response);
    EXPECT_EQ(observer_.Reads()[1].first, response.size() - cut);
    EXPECT_EQ(observer_.Texts(), std::vector<std::string>{response});
}

TEST_F(ReceiveLoop, ResponseAndEventInOneRead) {
    const std::string response = ResponseMessage("<config/>");
    const std::string event = EventMessage(FaceMatchBody(ToBase64("abc"), "", ""));
    Send(response + event, 1);
    ASSERT_TRUE(observer_.WaitForReports(2));
    const auto reports = observer_.Reports();
    EXPECT_EQ(reports[0].kind, MessageKind::Response);
    EXPECT_EQ(reports[1].kind, MessageKind::Event);
    ASSERT_EQ(reports[1].pictures.size(), 1u);
    EXPECT_EQ(ReadFile(reports[1].pictures[0]), "abc");
}

TEST_F(ReceiveLoop, HeadSplitAcrossReadsIsCompleted) {
    const std::string event = EventMessage(FaceMatchBody(ToBase64("split"), "", ""));
    Send(event.substr(0, 2), 1);
    Send(event.substr(2, 30), 2);
    Send(event.substr(32), 3);
    ASSERT_TRUE(observer_.WaitForReports(1));
    const auto reports = observer_.Reports();
    ASSERT_EQ(reports[0].pictures.size(), 1u);
    EXPECT_EQ(ReadFile(reports[0].pictures[0]), "split");
    EXPECT_EQ(StopAndReadLog(), event);
}

TEST_F(ReceiveLoop, HugeContentLengthIsShownNotGrownInto) {
    const std::string huge =
        "POST /SendAlarmStatus HTTP/1.1\r\nContent-Length: 1099511627776\r\n"
        "Content-Type: application/xml\r\n\r\n<?xml version=\"1.0\"?><con";
    Send(huge, 1);
    ASSERT_TRUE(observer_.WaitForReports(1));
    EXPECT_EQ(observer_.Texts(), std::vector<std::string>{huge});
    EXPECT_FALSE(observer_.Reports()[0].decoded);

    // The loop goes on: the next event is decoded.
    const std::string event = EventMessage(FaceMatchBody(ToBase64("next"), "", ""));
    Send(event, 2);
    ASSERT_TRUE(observer_.WaitForReports(2));
    ASSERT_EQ(observer_.Reports()[1].pictures.size(), 1u);
    EXPECT_EQ(StopAndReadLog(), huge + event);
}

TEST_F(ReceiveLoop, PostWithoutXmlOrLengthIsShownNotDecoded) {
    const std::string noXml = "POST /x HTTP/1.1\r\nContent-Length: 4\r\n\r\nabcd";
    Send(noXml, 1);
    ASSERT_TRUE(observer_.WaitForReports(1));
    const std::string noLength = "POST /x HTTP/1.1\r\nHost: a\r\n\r\n<?xml?><config/>";
    Send(noLength, 2);
    ASSERT_TRUE(observer_.WaitForReports(2));
    EXPECT_EQ(observer_.Texts(), (std::vector<std::string>{noXml, noLength}));
    for (const MessageReport& report : observer_.Reports()) {
        EXPECT_EQ(report.kind, MessageKind::Event);
        EXPECT_FALSE(report.decoded);
    }
}

TEST_F(ReceiveLoop, BodyWithoutXmlIsFramedByItsLength) {
    const std::string head = "POST /x HTTP/1.1\r\nContent-Length: 30\r\n\r\n";
    const std::string body(30, 'b');
    Send(head + body.substr(0, 5), 1);
    const std::string event = EventMessage(FaceMatchBody(ToBase64("framed"), "", ""));
    Send(body.substr(5) + event, 2);
    ASSERT_TRUE(observer_.WaitForReports(2));
    EXPECT_EQ(observer_.Reads()[1].first, 25u);
    const auto reports = observer_.Reports();
    EXPECT_FALSE(reports[0].decoded);
    EXPECT_EQ(reports[0].length, head.size() + body.size());
    ASSERT_EQ(reports[1].pictures.size(), 1u);
    EXPECT_EQ(ReadFile(reports[1].pictures[0]), "framed");
    EXPECT_EQ(observer_.Texts(), (std::vector<std::string>{head + body, event}));
}

TEST_F(ReceiveLoop, PeerClosingMidBodyGivesTheMessageUpAndSleeps) {
    const std::string event = EventMessage(FaceMatchBody(ToBase64("never"), "", ""));
    const std::string part = event.substr(0, event.size() - 20);
    Send(part, 1);
    CloseQuietly(peer_);
    ASSERT_TRUE(observer_.WaitForReports(1));
    const MessageReport report = observer_.Reports()[0];
    EXPECT_FALSE(report.complete);
    EXPECT_FALSE(report.decoded);
    EXPECT_EQ(report.length, part.size());
    EXPECT_EQ(observer_.Texts(), std::vector<std::string>{part});
    EXPECT_TRUE(thread_->PeerClosed());
    ExpectIdleWithoutProcessor();
    EXPECT_EQ(observer_.Reads().size(), 2u) << "reads went on after the peer closed";
    EXPECT_FALSE(Exists(folder_.Path() + "/pic"));
    EXPECT_EQ(StopAndReadLog(), part);
}

TEST_F(ReceiveLoop, PeerClosingWhenIdleSleepsUntilStopped) {
    CloseQuietly(peer_);
    ASSERT_TRUE(observer_.WaitForReads(1));
    EXPECT_EQ(observer_.Reads()[0].second, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(thread_->PeerClosed());
    ExpectIdleWithoutProcessor();
    EXPECT_EQ(observer_.Reads().size(), 1u);
    const auto start = std::chrono::steady_clock::now();
    thread_->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(thread_->Running());
}

TEST_F(ReceiveLoop, StopWakesABlockedRead) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = std::chrono::steady_clock::now();
    thread_->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(thread_->Running());
    EXPECT_EQ(thread_->CpuTimeNanoseconds(), -1);
    // Nothing arrived: the log was never opened.
    EXPECT_FALSE(log_.IsOpen());
    EXPECT_FALSE(Exists(folder_.Path() + "/ApiLog.txt"));
}

TEST_F(ReceiveLoop, MessagesDoNotDependOnHowReadsFall) {
    std::vector<std::string> messages;
    std::vector<std::string> pictures;
    for (int i = 0; i < 24; ++i) {
        const std::string picture = "picture " + std::to_string(i) + std::string(i * 37, 'p');
        pictures.push_back(picture);
        switch (i % 3) {
            case 0:
                messages.push_back(EventMessage(FaceMatchBody(ToBase64(picture), "", "")));
                break;
            case 1:
                messages.push_back(ResponseMessage("<config><serverAddress><![CDATA[S" +
                                                   std::to_string(i) + "]]></serverAddress>"));
                break;
            default:
                messages.push_back(EventMessage(TargetsBody("PEA", "", {ToBase64(picture)}, "1")));
        }
    }
    std::string stream;
    for (const std::string& message : messages) {
        stream += message;
    }
    std::mt19937 random(20261206);
    std::size_t at = 0;
    while (at < stream.size()) {
        const std::size_t chunk = std::min<std::size_t>(1 + random() % 700, stream.size() - at);
        ASSERT_TRUE(WriteAll(peer_, stream.substr(at, chunk)));
        at += chunk;
        if (random() % 4 == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ASSERT_TRUE(observer_.WaitForReports(messages.size()));
    EXPECT_EQ(observer_.Texts(), messages);
    const auto reports = observer_.Reports();
    for (std::size_t i = 0; i < messages.size(); ++i) {
        EXPECT_EQ(reports[i].length, messages[i].size()) << i;
        if (i % 3 != 1) {
            ASSERT_EQ(reports[i].pictures.size(), 1u) << i;
            EXPECT_EQ(ReadFile(reports[i].pictures[0]), pictures[i]) << i;
        }
    }
    EXPECT_EQ(address_.Get(), "S22");
    EXPECT_EQ(StopAndReadLog(), stream);
}

TEST(ReceiveLoopDriver, RunsOnTheCallersThreadUntilThePeerCloses) {
    TempFolder folder;
    TrafficLog log(folder.Path());
    ServerAddress address;
    RecordingObserver observer;
    ReceiveSession session;
    session.context = ReceiveContext{folder.Path(), &log, &address, &observer};
    session.endAtPeerClose = true;
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    session.socket = ends[0];
    const std::string stream = ResponseMessage("<serverAddress><![CDATA[http://127.0.0.1:2/S]]>") +
                               EventMessage(FaceMatchBody(ToBase64("driven"), "", "")) +
                               "POST /cut HTTP/1.1\r\n";
    ASSERT_TRUE(WriteAll(ends[1], stream));
    shutdown(ends[1], SHUT_WR);
    session.stop.Arm();
    EXPECT_EQ(RecvThreadProc(session), 0);
    close(ends[0]);
    close(ends[1]);
    log.Close();

    EXPECT_TRUE(session.peerClosed.load());
    EXPECT_EQ(address.Get(), "http://127.0.0.1:2/S");
    const auto reports = observer.Reports();
    ASSERT_EQ(reports.size(), 3u);
    ASSERT_EQ(reports[1].pictures.size(), 1u);
    EXPECT_EQ(ReadFile(reports[1].pictures[0]), "driven");
    EXPECT_FALSE(reports[2].complete);
    EXPECT_EQ(observer.Texts().back(), "POST /cut HTTP/1.1\r\n");
    EXPECT_EQ(ReadFile(folder.Path() + "/ApiLog.txt"), stream);
}

TEST(ReceiveLoopLog, UnopenableLogStillShowsAndDecodes) {
    TempFolder folder;
    TrafficLog log(folder.Path() + "/missing");
    RecordingObserver observer;
    ReceiveThread thread(ReceiveContext{folder.Path(), &log, nullptr, &observer});
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    ASSERT_TRUE(thread.Start(ends[0]));
    const std::string event = EventMessage(FaceMatchBody(ToBase64("kept"), "", ""));
    ASSERT_TRUE(WriteAll(ends[1], event));
    ASSERT_TRUE(observer.WaitForReports(1));
    thread.Stop();
    close(ends[0]);
    close(ends[1]);
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(observer.Texts(), std::vector<std::string>{event});
    ASSERT_EQ(observer.Reports()[0].pictures.size(), 1u);
    EXPECT_EQ(ReadFile(observer.Reports()[0].pictures[0]), "kept");
}

}  // namespace
