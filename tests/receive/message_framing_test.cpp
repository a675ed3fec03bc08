#include "receive/message_framing.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace {

TEST(ReceiveFraming, ContentLengthAndServerAddressTexts) {
    const struct {
        std::string text;
        std::uint64_t value;
        bool found;
    } rows[] = {
        {"POST / HTTP/1.1\r\nContent-Type: x\r\nContent-Length:\t77\r\n\r\n", 77, true},
        {"POST / HTTP/1.1\r\nContent-Type: x\r\n\r\n", 0, false},
        {"Content-Length: 12Content-Type: x\r\n", 12, true},
        {"Content-Length: 123456789012345678901234567890\r\n", UINT64_MAX, true},
        {"Content-Length:\r\n42\r\n", 0, true},  // digits on the next line belong to no header
    };
    for (const auto& row : rows) {
        bool found = !row.found;
        EXPECT_EQ(ContentLengthValue(row.text.data(), row.text.size(), found), row.value)
            << row.text;
        EXPECT_EQ(found, row.found) << row.text;
    }
    std::string address = "unchanged";
    const std::string text = "HTTP 200\r\n\r\n<serverAddress><![CDATA[http://127.0.0.1:9/S]]></x>";
    EXPECT_TRUE(FindServerAddress(text.data(), text.size(), address));
    EXPECT_EQ(address, "http://127.0.0.1:9/S");
    for (const std::string missing :
         {"serverAddress<![CDATA[a]]>", "HTTP <serverAddress><![CDATA[a",
          "HTTP <![CDATA[a]]> serverAddress"}) {
        EXPECT_FALSE(FindServerAddress(missing.data(), missing.size(), address)) << missing;
    }
    EXPECT_EQ(address, "http://127.0.0.1:9/S");
    for (const auto& [start, status] :
         {std::pair<std::string, int>{"HTTP/1.1 401 Unauthorized", 401},
          {"HTTP/1.0 200", 200},
          {"HTTP/1.1 20", 0},
          {"HTTP/1.1 2x0 OK", 0},
          {"POST / HTTP/1.1", 0}}) {
        EXPECT_EQ(ResponseStatus(start.data(), start.size()), status) << start;
    }
}

// The cases the stream table cannot reach: the length limit, a cut response head, a NUL in a head.
TEST(ReceiveFraming, Frames) {
    using S = MessageFrame::State;
    const MessageKind E = MessageKind::Event, R = MessageKind::Response;
    const std::string body = "<?xml version=\"1.0\"?><config/>";
    auto event = [&](std::uint64_t length) {
        return "POST /x HTTP/1.1\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n" + body;
    };
    const std::string atMax = event(kMaxContentLength), aboveMax = event(kMaxContentLength + 1);
    const std::string unframed = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nabc";
    const std::string nul =
        "POST /x HTTP/1.1\r\nContent-Length: 5\r\n" + std::string(1, '\0') + "\r\n\r\n<?xml";
    const struct {
        std::string bytes;
        S state;
        MessageKind kind;
        std::size_t total;
        bool decodable;
    } rows[] = {
        {atMax, S::Framed, E, atMax.size() - body.size() + kMaxContentLength, true},
        {aboveMax, S::Framed, E, aboveMax.size(), false},
        {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n", S::NeedMore, R, 0, false},
        {unframed, S::Framed, R, unframed.size(), false},
        {nul, S::Framed, E, nul.size(), false},  // searches stop at the first NUL
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bytes);
        const MessageFrame frame = FrameMessage(row.bytes.data(), row.bytes.size());
        EXPECT_EQ(frame.state, row.state);
        EXPECT_EQ(frame.kind, row.kind);
        EXPECT_EQ(frame.decodable, row.decodable);
        EXPECT_EQ(frame.tooLarge, row.bytes == aboveMax);
        EXPECT_EQ(frame.total, row.total);
    }
}

}  // namespace
