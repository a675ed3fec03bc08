#include "receive/message_framing.h"

#include <gtest/gtest.h>

#include <string>

#include "receive_test_support.h"

namespace {

MessageFrame Frame(const std::string& bytes) {
    return FrameMessage(bytes.data(), bytes.size());
}

const std::string kBody = "<?xml version=\"1.0\"?><config/>";

TEST(ReceiveContentLength, ValueBeforeNextHeader) {
    const std::string head = "POST / HTTP/1.1\r\nContent-Length: 1234\r\nContent-Type: x\r\n";
    bool found = false;
    EXPECT_EQ(ContentLengthValue(head.data(), head.size(), found), 1234u);
    EXPECT_TRUE(found);
}

TEST(ReceiveContentLength, LastHeaderStillGivesItsValue) {
    const std::string head = "POST / HTTP/1.1\r\nContent-Type: x\r\nContent-Length:\t77\r\n\r\n";
    bool found = false;
    EXPECT_EQ(ContentLengthValue(head.data(), head.size(), found), 77u);
    EXPECT_TRUE(found);
}

TEST(ReceiveContentLength, MissingEmptyAndHuge) {
    bool found = true;
    const std::string none = "POST / HTTP/1.1\r\nContent-Type: x\r\n\r\n";
    EXPECT_EQ(ContentLengthValue(none.data(), none.size(), found), 0u);
    EXPECT_FALSE(found);

    const std::string empty = "Content-Length:Content-Type: x\r\n";
    EXPECT_EQ(ContentLengthValue(empty.data(), empty.size(), found), 0u);
    EXPECT_TRUE(found);

    const std::string huge = "Content-Length: 123456789012345678901234567890\r\n";
    EXPECT_EQ(ContentLengthValue(huge.data(), huge.size(), found), UINT64_MAX);

    // Digits on the next line belong to no header.
    const std::string split = "Content-Length:\r\n42\r\n";
    EXPECT_EQ(ContentLengthValue(split.data(), split.size(), found), 0u);
}

TEST(ReceiveFraming, EventIsFramedFromXmlByContentLength) {
    const std::string event = EventMessage(kBody);
    const MessageFrame frame = Frame(event + "POST next");
    ASSERT_EQ(frame.state, MessageFrame::State::Framed);
    EXPECT_EQ(frame.kind, MessageKind::Event);
    EXPECT_TRUE(frame.decodable);
    EXPECT_EQ(frame.bodyStart, event.size() - kBody.size());
    EXPECT_EQ(frame.bodyLength, kBody.size());
    EXPECT_EQ(frame.total, event.size());
}

TEST(ReceiveFraming, PartialEventAsksForTheRestOfTheBody) {
    const std::string event = EventMessage(kBody);
    const MessageFrame frame = Frame(event.substr(0, event.size() - 5));
    EXPECT_EQ(frame.state, MessageFrame::State::Framed);
    EXPECT_TRUE(frame.decodable);
    EXPECT_EQ(frame.total, event.size());
}

TEST(ReceiveFraming, IncompleteHeadNeedsMore) {
    for (const std::string start : {"P", "POS", "HTT", "POST / HTTP/1.1\r\nContent-Len",
                                    "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n"}) {
        const MessageFrame frame = Frame(start);
        EXPECT_EQ(frame.state, MessageFrame::State::NeedMore) << start;
        EXPECT_EQ(frame.want, 0u) << start;
        EXPECT_NE(frame.kind, MessageKind::Other) << start;
    }
}

TEST(ReceiveFraming, HeadWithoutXmlWaitsForTheLengthItPromises) {
    const std::string head = "POST /x HTTP/1.1\r\nContent-Length: 30\r\n\r\n";
    MessageFrame frame = Frame(head + "12345");
    ASSERT_EQ(frame.state, MessageFrame::State::NeedMore);
    EXPECT_EQ(frame.want, 25u);
    // All promised bytes and still no "<?xml": shown, not decoded, framed at its length.
    frame = Frame(head + std::string(30, 'a') + "HTTP");
    ASSERT_EQ(frame.state, MessageFrame::State::Framed);
    EXPECT_FALSE(frame.decodable);
    EXPECT_EQ(frame.total, head.size() + 30);
}

TEST(ReceiveFraming, EventWithoutLengthOrTooLargeIsNotDecoded) {
    const std::string noLength = "POST /x HTTP/1.1\r\nHost: a\r\n\r\n" + kBody;
    MessageFrame frame = Frame(noLength);
    EXPECT_EQ(frame.kind, MessageKind::Event);
    EXPECT_FALSE(frame.decodable);
    EXPECT_EQ(frame.total, noLength.size());

    const std::string huge = "POST /x HTTP/1.1\r\nContent-Length: 1099511627776\r\n\r\n" + kBody;
    frame = Frame(huge);
    EXPECT_FALSE(frame.decodable);
    EXPECT_TRUE(frame.tooLarge);
    EXPECT_EQ(frame.total, huge.size());

    const std::string bound =
        "POST /x HTTP/1.1\r\nContent-Length: " + std::to_string(kMaxContentLength) + "\r\n\r\n" +
        kBody;
    frame = Frame(bound);
    EXPECT_TRUE(frame.decodable);
    EXPECT_EQ(frame.total, bound.size() - kBody.size() + kMaxContentLength);
}

TEST(ReceiveFraming, ResponseIsFramedAfterItsBlankLine) {
    const std::string response = ResponseMessage("<config/>");
    MessageFrame frame = Frame(response + "POST");
    EXPECT_EQ(frame.kind, MessageKind::Response);
    EXPECT_FALSE(frame.decodable);
    EXPECT_EQ(frame.total, response.size());

    const std::string unframed = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nabc";
    frame = Frame(unframed);
    EXPECT_EQ(frame.total, unframed.size());
}

TEST(ReceiveFraming, OtherDataAndCase) {
    for (const std::string other : {"post /x HTTP/1.1\r\n\r\n", "http/1.1 200", "XYZ", "GET /"}) {
        const MessageFrame frame = Frame(other);
        EXPECT_EQ(frame.state, MessageFrame::State::Framed) << other;
        EXPECT_EQ(frame.kind, MessageKind::Other) << other;
        EXPECT_EQ(frame.total, other.size()) << other;
    }
}

TEST(ReceiveFraming, SearchesStopAtTheFirstNul) {
    std::string bytes = "POST /x HTTP/1.1\r\nContent-Length: 5\r\n";
    bytes += '\0';
    bytes += "\r\n\r\n<?xml";
    const MessageFrame frame = Frame(bytes);
    EXPECT_EQ(frame.state, MessageFrame::State::Framed);
    EXPECT_FALSE(frame.decodable);
    EXPECT_EQ(frame.total, bytes.size());
}

TEST(ReceiveServerAddressText, TakenFromCdataAfterTheName) {
    std::string address = "unchanged";
    const std::string text =
        "HTTP/1.1 200 OK\r\n\r\n<serverAddress><![CDATA[http://127.0.0.1:9/S/1]]></x>";
    EXPECT_TRUE(FindServerAddress(text.data(), text.size(), address));
    EXPECT_EQ(address, "http://127.0.0.1:9/S/1");

    address = "unchanged";
    const std::string atStart = "serverAddress<![CDATA[a]]>";
    EXPECT_FALSE(FindServerAddress(atStart.data(), atStart.size(), address));
    const std::string noEnd = "HTTP <serverAddress><![CDATA[abc";
    EXPECT_FALSE(FindServerAddress(noEnd.data(), noEnd.size(), address));
    const std::string cdataBefore = "HTTP <![CDATA[a]]> serverAddress";
    EXPECT_FALSE(FindServerAddress(cdataBefore.data(), cdataBefore.size(), address));
    EXPECT_EQ(address, "unchanged");
}

}  // namespace
