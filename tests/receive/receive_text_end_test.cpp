// The text of a message ends at its first NUL, wherever the reads that brought it were cut:
// the loop keeps that place as bytes arrive instead of searching everything again.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <thread>

#include "receive/receive_thread.h"
#include "receive_test_support.h"

namespace {

class ReceiveTextEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        int ends[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        mine_ = ends[0];
        peer_ = ends[1];
        thread_ = std::make_unique<ReceiveThread>(
            ReceiveContext{folder_.Path(), &log_, nullptr, &observer_});
        ASSERT_TRUE(thread_->Start(mine_));
    }
    void TearDown() override {
        thread_->Stop();
        close(peer_);
        close(mine_);
    }

    // Writes the pieces one after another, each once the loop has read what came before.
    void SendInPieces(const std::vector<std::string>& pieces) {
        std::size_t reads = 0;
        for (const std::string& piece : pieces) {
            ASSERT_TRUE(WriteAll(peer_, piece));
            ASSERT_TRUE(observer_.WaitForReads(++reads));
        }
    }

    TempFolder folder_;
    TrafficLog log_{folder_.Path()};
    RecordingObserver observer_;
    std::unique_ptr<ReceiveThread> thread_;
    int mine_ = -1;
    int peer_ = -1;
};

// A response whose body holds a NUL at `at` (counted from the body's start).
std::string ResponseWithNul(std::size_t bodyLength, std::size_t at) {
    std::string body(bodyLength, 'x');
    body[at] = '\0';
    return ResponseMessage(body);
}

}  // namespace

TEST_F(ReceiveTextEnd, NulInALaterReadOfTheSameMessage) {
    const std::string response = ResponseWithNul(3000, 2500);
    // The head and the first part of the body, then the rest with the NUL in it.
    SendInPieces({response.substr(0, 1000), response.substr(1000)});
    ASSERT_TRUE(observer_.WaitForReports(1));
    ASSERT_EQ(observer_.Texts().size(), 1u);
    EXPECT_EQ(observer_.Texts()[0], response.substr(0, response.find('\0')));
    EXPECT_EQ(observer_.Reports()[0].length, response.size());
}

TEST_F(ReceiveTextEnd, NulOfTheFollowingMessageInTheSameRead) {
    // One read brings a whole response without NUL and the start of a second one that has a
    // NUL in its body: the first text is whole, the second ends at its own NUL.
    const std::string first = ResponseMessage("<config>first</config>");
    const std::string second = ResponseWithNul(400, 100);
    SendInPieces({first + second.substr(0, 300), second.substr(300)});
    ASSERT_TRUE(observer_.WaitForReports(2));
    const std::vector<std::string> texts = observer_.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], first);
    EXPECT_EQ(texts[1], second.substr(0, second.find('\0')));
}

TEST_F(ReceiveTextEnd, NulInsideAMessageDoesNotCutTheOneAfterIt) {
    // The first response has a NUL; the second, in the same read, has none and is whole.
    const std::string first = ResponseWithNul(50, 10);
    const std::string second = ResponseMessage("<config>second</config>");
    SendInPieces({first + second});
    ASSERT_TRUE(observer_.WaitForReports(2));
    const std::vector<std::string> texts = observer_.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], first.substr(0, first.find('\0')));
    EXPECT_EQ(texts[1], second);
}

TEST_F(ReceiveTextEnd, EventWithANulAfterItsHeadInAnotherRead) {
    // The body's NUL (after the document, within the length) comes in the third read; the
    // body still goes to the decoder whole, while the text shown ends at the NUL.
    std::string body = FaceMatchBody(ToBase64("snap"), "", "");
    body += std::string("\0 trailing", 10);
    const std::string event = EventMessage(body);
    const std::size_t head = event.find("<?xml");
    SendInPieces({event.substr(0, head + 10), event.substr(head + 10, body.size() - 20),
                  event.substr(head + body.size() - 10)});
    ASSERT_TRUE(observer_.WaitForReports(1));
    EXPECT_EQ(observer_.Texts()[0], event.substr(0, event.find('\0')));
    EXPECT_TRUE(observer_.Reports()[0].decoded);
    EXPECT_EQ(observer_.Reports()[0].pictures.size(), 1u);
}
