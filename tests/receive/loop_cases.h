// The stream cases of the receive loop: pieces as a device writes them and the messages the
// loop must report. The log indexer reads the same streams back from the log.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "receive/message_framing.h"
#include "support/test_support.h"

// One message the loop should report: kind, bytes as sent, body decoded, bytes of its pictures.
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

// A response whose body of `length` bytes holds a NUL at `at`.
inline std::string ResponseWithNul(std::size_t length, std::size_t at) {
    std::string body(length, 'x');
    body[at] = '\0';
    return ResponseMessage(body);
}

// An event whose Content-Length is off by `delta`.
inline std::string LyingEvent(const std::string& body, long delta) {
    return "POST /SendAlarmStatus HTTP/1.1\r\nContent-Length: " +
           std::to_string(static_cast<long>(body.size()) + delta) + "\r\n\r\n" + body;
}

inline std::vector<LoopCase> StreamCases() {
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
        "POST /SendAlarmStatus HTTP/1.1\r\nContent-Type: a\r\n"
        "Content-Length: " +
        std::to_string(lastBody.size()) + "\r\n\r\n" + lastBody;
    const std::string plain = ResponseMessage("<config status=\"success\"/>");
    const std::string subscribed = SubscribeAnswer("http://127.0.0.1:8080/S/7");
    const std::string late = ResponseMessage(std::string(100, ' ') + "<serverAddress>" +
                                             "<![CDATA[http://127.0.0.1:1/S/2]]></serverAddress>");
    const std::size_t at = late.find("<serverAddress");
    const std::string noXml =
        "POST /x HTTP/1.1\r\nContent-Length: 30\r\n\r\n" + std::string(30, 'b');
    const std::string noLength = "POST /x HTTP/1.1\r\nHost: a\r\n\r\n<?xml?><config/>";
    const std::string nul1 = ResponseWithNul(3000, 2500), nul2 = ResponseWithNul(400, 100);
    const std::string nulEvent =
        EventMessage(FaceMatchBody(ToBase64("snap")) + std::string("\0 trailing", 10));
    const std::size_t nulHead = nulEvent.find("<?xml") + 10;
    const std::string lower = "post" + one.substr(4);
    const std::string shorter = LyingEvent(FaceMatchBody(ToBase64("lost")), -20);
    const std::string longer = LyingEvent(FaceMatchBody(ToBase64("first")), 30);
    const std::string cut = shorter.substr(0, shorter.size() - 20),
                      rest = shorter.substr(cut.size());
    const std::string into = longer + face.substr(0, 30);

    // MIME lines: CR LF after every 76 characters and after the last ("...=" CR LF).
    const std::string odd = picture.substr(1, 3001), flat = ToBase64(odd);
    std::string mime;
    for (std::size_t k = 0; k < flat.size(); k += 76) {
        mime += flat.substr(k, 76) + "\r\n";
    }
    const std::string mimeEvent = EventMessage(TargetsBody("PEA", mime));

    const std::string no = "";  // no address recorded
    const std::size_t all = kReceiveBufferSize;
    // clang-format off
    return {
        {"an event in one read", {three}, {{E, three, true, {"snap-bytes", "album!", "s"}}}, no,
         {all}},
        {"an event in three reads asks for exactly the missing bytes",
         {one.substr(0, c1), one.substr(c1, c2 - c1), one.substr(c2)}, {{E, one, true, {"one"}}},
         no, {all, one.size() - c1, one.size() - c2}},
        {"an event larger than the buffer, then a small one", {big + face},
         {{E, big, true, {picture}}, {E, face, true, {"face"}}}},
        {"two events in one read", {one + two}, {{E, one, true, {"one"}}, {E, two, true, {"two"}}}},
        {"a MIME picture ending in a pad and CR LF is filed byte for byte", {mimeEvent},
         {{E, mimeEvent, true, {odd}}}},
        {"Content-Length as the last header", {lengthLast}, {{E, lengthLast, true, {"last"}}}},
        {"a lowercase post is other data", {lower}, {{O, lower, false, {}}}},
        {"a read beginning with NUL is dropped", {std::string("\0POST junk", 10), plain},
         {{R, plain, false, {}}}, no, {}, plain},
        {"a response without a server address keeps the one recorded", {subscribed, plain},
         {{R, subscribed, false, {}}, {R, plain, false, {}}}, "http://127.0.0.1:8080/S/7"},
        {"the server address in a continuation read", {late.substr(0, at), late.substr(at)},
         {{R, late, false, {}}}, "http://127.0.0.1:1/S/2", {all, late.size() - at}},
        {"a response and an event in one read", {plain + face},
         {{R, plain, false, {}}, {E, face, true, {"face"}}}},
        {"an event without XML ends before the next one's XML", {noXml + face},
         {{E, noXml, false, {}}, {E, face, true, {"face"}}}},
        {"events without XML or without a length are shown only",
         {noXml.substr(0, 45), noXml.substr(45) + noLength},
         {{E, noXml, false, {}}, {E, noLength, false, {}}}, no, {all, noXml.size() - 45}},
        {"a NUL in a later read of the same message", {nul1.substr(0, 1000), nul1.substr(1000)},
         {{R, nul1, false, {}}}},
        {"NULs in two messages of one read, the first past the one before", {plain + nul2 + nul2},
         {{R, plain, false, {}}, {R, nul2, false, {}}, {R, nul2, false, {}}}},
        {"an event body with a NUL after the document goes to the decoder whole",
         {nulEvent.substr(0, nulHead), nulEvent.substr(nulHead, 99), nulEvent.substr(nulHead + 99)},
         {{E, nulEvent, true, {"snap"}}}},
        {"a length too short cuts the body; the rest is other data", {shorter, face},
         {{E, cut, true, {}}, {O, rest, false, {}}, {E, face, true, {"face"}}}},
        {"a length too long ends inside the next event", {longer, face, face},
         {{E, into, true, {"first"}}, {O, face.substr(30), false, {}}, {E, face, true, {"face"}}}},
    };
    // clang-format on
}
