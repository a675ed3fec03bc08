#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "receive/message_framing.h"
#include "receive/receive_thread.h"
#include "receive_test_support.h"

namespace {

// One message the loop should report: its kind, its bytes as sent, whether its body went to
// the decoder and the bytes of the pictures it filed. Events and responses are shown up to
// their first NUL; other data is not shown.
struct Want {
    MessageKind kind;
    std::string bytes;
    bool decoded;
    std::vector<std::string> pictures;
};

struct LoopCase {
    const char* name;
    std::vector<std::string> pieces;  // each written once the loop has read all before it
    std::vector<Want> reports;
    std::string address = "";             // server address recorded at the end
    std::vector<std::size_t> asks = {};   // bytes asked by the first reads
    std::optional<std::string> log = {};  // default: every piece, in order
};

void ExpectRun(const LoopCase& c) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const DrivenRun run = DriveReceiveLoop(folder.Path(), c.pieces);
    ASSERT_EQ(run.reports.size(), c.reports.size());
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < c.reports.size(); ++i) {
        const MessageReport& got = run.reports[i];
        const Want& want = c.reports[i];
        EXPECT_EQ(got.kind, want.kind) << i;
        EXPECT_EQ(got.length, want.bytes.size()) << i;
        EXPECT_TRUE(got.complete) << i;
        EXPECT_EQ(got.decoded, want.decoded) << i;
        ASSERT_EQ(got.pictures.size(), want.pictures.size()) << i;
        for (std::size_t k = 0; k < got.pictures.size(); ++k) {
            EXPECT_EQ(ReadFile(got.pictures[k]), want.pictures[k]) << i << " " << k;
            EXPECT_NE(got.pictures[k].find("/pic/" + got.smartType + "/"), std::string::npos);
        }
        if (want.kind != MessageKind::Other) {
            texts.push_back(want.bytes.substr(0, want.bytes.find('\0')));
        }
    }
    EXPECT_EQ(run.texts, texts);
    std::string all;
    for (const std::string& piece : c.pieces) {
        all += piece;
    }
    EXPECT_EQ(run.log, c.log.value_or(all));
    EXPECT_EQ(run.serverAddress, c.address);
    ASSERT_GE(run.reads.size(), c.asks.size());
    for (std::size_t k = 0; k < c.asks.size(); ++k) {
        EXPECT_EQ(run.reads[k].first, c.asks[k]) << "read " << k;
    }
}

// A response whose body of `length` bytes holds a NUL at `at`.
std::string ResponseWithNul(std::size_t length, std::size_t at) {
    std::string body(length, 'x');
    body[at] = '\0';
    return ResponseMessage(body);
}

}  // namespace

TEST(ReceiveLoopStream, MessagesWhereverTheReadsFall) {
    const MessageKind E = MessageKind::Event, R = MessageKind::Response, O = MessageKind::Other;
    const std::string one = EventMessage(TargetsBody("PEA", ToBase64("one")));
    const std::string two = EventMessage(TargetsBody("VEHICLE", ToBase64("two")));
    const std::size_t c1 = one.find("<?xml") + 10, c2 = one.size() - 7;
    std::string picture(700000, '\0');
    for (std::size_t i = 0; i < picture.size(); ++i) {
        picture[i] = static_cast<char>(i * 7 + i / 251);
    }
    const std::string big = EventMessage(FaceMatchBody(ToBase64(picture)));
    const std::string face = EventMessage(FaceMatchBody("", "", ToBase64("face")));
    const std::string three =
        EventMessage(FaceMatchBody(ToBase64("snap-bytes"), ToBase64("album!"), ToBase64("s")));
    const std::string lastBody = TargetsBody("PEA", ToBase64("last"));
    const std::string lengthLast =
        "POST /SendAlarmStatus HTTP/1.1\r\nContent-Type: application/xml\r\nContent-Length: " +
        std::to_string(lastBody.size()) + "\r\n\r\n" + lastBody;
    const std::string plain = ResponseMessage("<config status=\"success\"/>");
    const std::string subscribed = SubscribeAnswer("http://127.0.0.1:8080/Subscribers/7");
    const std::string late = ResponseMessage(std::string(100, ' ') + "<serverAddress>" +
                                             "<![CDATA[http://127.0.0.1:1/S/2]]></serverAddress>");
    const std::size_t lateCut = late.find("<serverAddress");
    const std::string huge =
        "POST /SendAlarmStatus HTTP/1.1\r\nContent-Length: 1099511627776\r\n"
        "Content-Type: application/xml\r\n\r\n<?xml version=\"1.0\"?><con";
    const std::string noXml =
        "POST /x HTTP/1.1\r\nContent-Length: 30\r\n\r\n" + std::string(30, 'b');
    const std::string noLength = "POST /x HTTP/1.1\r\nHost: a\r\n\r\n<?xml?><config/>";
    const std::string nul1 = ResponseWithNul(3000, 2500), nul2 = ResponseWithNul(400, 100);
    std::string nulEventBody = FaceMatchBody(ToBase64("snap")) + std::string("\0 trailing", 10);
    const std::string nulEvent = EventMessage(nulEventBody);
    const std::size_t nulHead = nulEvent.find("<?xml") + 10;
    const std::string lower = "post" + one.substr(4);

    const LoopCase cases[] = {
        {"an event in one read",
         {three},
         {{E, three, true, {"snap-bytes", "album!", "s"}}},
         "",
         {kReceiveBufferSize}},
        {"an event in three reads asks for exactly the missing bytes",
         {one.substr(0, c1), one.substr(c1, c2 - c1), one.substr(c2)},
         {{E, one, true, {"one"}}},
         "",
         {kReceiveBufferSize, one.size() - c1, one.size() - c2}},
        {"an event larger than the buffer, then a small one",
         {big + face},
         {{E, big, true, {picture}}, {E, face, true, {"face"}}}},
        {"two events in one read", {one + two}, {{E, one, true, {"one"}}, {E, two, true, {"two"}}}},
        {"the head cut in three reads",
         {face.substr(0, 2), face.substr(2, 30), face.substr(32)},
         {{E, face, true, {"face"}}}},
        {"Content-Length as the last header", {lengthLast}, {{E, lengthLast, true, {"last"}}}},
        {"a lowercase post is other data", {lower}, {{O, lower, false, {}}}},
        {"a read beginning with NUL is dropped",
         {std::string("\0POST junk", 10), plain},
         {{R, plain, false, {}}},
         "",
         {},
         plain},
        {"a response without a server address keeps the one recorded",
         {subscribed, plain},
         {{R, subscribed, false, {}}, {R, plain, false, {}}},
         "http://127.0.0.1:8080/Subscribers/7"},
        {"the server address in a continuation read",
         {late.substr(0, lateCut), late.substr(lateCut)},
         {{R, late, false, {}}},
         "http://127.0.0.1:1/S/2",
         {kReceiveBufferSize, late.size() - lateCut}},
        {"a response and an event in one read",
         {plain + face},
         {{R, plain, false, {}}, {E, face, true, {"face"}}}},
        {"Content-Length 2^40 is shown, not grown into",
         {huge, face},
         {{E, huge, false, {}}, {E, face, true, {"face"}}}},
        {"events without XML or without a length are shown only",
         {noXml.substr(0, 45), noXml.substr(45) + noLength},
         {{E, noXml, false, {}}, {E, noLength, false, {}}},
         "",
         {kReceiveBufferSize, noXml.size() - 45}},
        {"a NUL in a later read of the same message",
         {nul1.substr(0, 1000), nul1.substr(1000)},
         {{R, nul1, false, {}}}},
        {"a NUL of the following message in the same read",
         {plain + nul2.substr(0, 300), nul2.substr(300)},
         {{R, plain, false, {}}, {R, nul2, false, {}}}},
        {"a NUL does not cut the message after it",
         {nul2 + plain},
         {{R, nul2, false, {}}, {R, plain, false, {}}}},
        {"an event body with a NUL after the document goes to the decoder whole",
         {nulEvent.substr(0, nulHead), nulEvent.substr(nulHead, 200),
          nulEvent.substr(nulHead + 200)},
         {{E, nulEvent, true, {"snap"}}}},
    };
    for (const LoopCase& c : cases) {
        ExpectRun(c);
    }
}

TEST(ReceiveLoopStream, FolderNotesFollowTheEventInTheLog) {
    TempFolder folder;
    ASSERT_TRUE(PutFile(folder.Path() + "/pic", "a file"));
    const std::string event = EventMessage(TargetsBody("PEA", ToBase64("lost")));
    const DrivenRun run = DriveReceiveLoop(folder.Path(), {event});
    ASSERT_EQ(run.reports.size(), 1u);
    EXPECT_TRUE(run.reports[0].pictures.empty());
    EXPECT_EQ(run.log,
              event + "\n\nCreateDirectory pic fail!\n\n\n\nCreateDirectory PEA fail!\n\n");
}

// The real receive thread on one end of a socket pair; the test writes the device's bytes.
class ReceiveLoop : public ::testing::Test {
  protected:
    void SetUp() override {
        int ends[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        mine_ = ends[0];
        peer_ = ends[1];
        ASSERT_TRUE(thread_.Start(mine_));
    }

    void TearDown() override {
        thread_.Stop();
        close(mine_);
        if (peer_ >= 0) {
            close(peer_);
        }
    }

    void ClosePeer() {
        close(peer_);
        peer_ = -1;
    }

    std::string StopAndReadLog() {
        thread_.Stop();
        log_.Close();
        return ReadFile(folder_.Path() + "/ApiLog.txt");
    }

    // The loop sleeps without using the processor, and is stopped at once.
    void ExpectIdleAndPromptStop() {
        const long long before = thread_.CpuTimeNanoseconds();
        ASSERT_GE(before, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_LT(thread_.CpuTimeNanoseconds() - before, 20'000'000) << "the loop spins";
        const auto start = std::chrono::steady_clock::now();
        thread_.Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_FALSE(thread_.Running());
        EXPECT_EQ(thread_.CpuTimeNanoseconds(), -1);
    }

    TempFolder folder_;
    TrafficLog log_{folder_.Path()};
    ServerAddress address_;
    RecordingObserver observer_;
    ReceiveThread thread_{ReceiveContext{folder_.Path(), &log_, &address_, &observer_}};
    int mine_ = -1;
    int peer_ = -1;
};

TEST_F(ReceiveLoop, PeerClosingMidBodyGivesTheMessageUpAndSleeps) {
    const std::string event = EventMessage(FaceMatchBody(ToBase64("never")));
    const std::string part = event.substr(0, event.size() - 20);
    ASSERT_TRUE(WriteAll(peer_, part));
    ASSERT_TRUE(observer_.WaitForReads(1));
    ClosePeer();
    ASSERT_TRUE(observer_.WaitForReports(1));
    const MessageReport report = observer_.Reports()[0];
    EXPECT_FALSE(report.complete || report.decoded);
    EXPECT_EQ(report.length, part.size());
    EXPECT_EQ(observer_.Texts(), std::vector<std::string>{part});
    EXPECT_TRUE(thread_.PeerClosed());
    ExpectIdleAndPromptStop();
    EXPECT_EQ(observer_.Reads().size(), 2u) << "reads went on after the peer closed";
    EXPECT_FALSE(std::filesystem::exists(folder_.Path() + "/pic"));
    EXPECT_EQ(StopAndReadLog(), part);
}

TEST_F(ReceiveLoop, PeerClosingWhenIdleSleepsUntilStopped) {
    ClosePeer();
    ASSERT_TRUE(observer_.WaitForReads(1));
    EXPECT_EQ(observer_.Reads()[0].second, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(thread_.PeerClosed());
    ExpectIdleAndPromptStop();
    EXPECT_EQ(observer_.Reads().size(), 1u);
}

TEST_F(ReceiveLoop, StopWakesABlockedRead) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = std::chrono::steady_clock::now();
    thread_.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(thread_.Running());
    // Nothing arrived: the log was never opened.
    EXPECT_FALSE(log_.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(folder_.Path() + "/ApiLog.txt"));
}
