#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What a message on the long connection turned out to be.
enum class MessageKind {
    Other,     // begins with neither "POST" nor "HTTP": logged only, never shown
    Response,  // begins with "HTTP": an answer to a request sent on the long connection
    Event,     // begins with "POST": an event pushed by the device
};

// What the receive thread did with one message, or with a folder note of the picture archive
// that it wrote into the log (kind Other, `note` set).
struct MessageReport {
    MessageKind kind = MessageKind::Other;
    int status = 0;                     // a response's status code ("HTTP/1.1 401 ..." gives
                                        // 401); 0 for other kinds or a start line without one
    std::size_t length = 0;             // bytes of the message (headers and body)
    bool complete = false;              // false when the connection ended before its last byte
    bool decoded = false;               // an event body was handed to the decoder
    bool sentAgain = false;             // an answer that made the request go out again (a
                                        // Digest challenge): the real answer follows
    std::string smartType;              // the event's smart type; empty when none or not decoded
    std::vector<std::string> pictures;  // paths of the picture files written for the event
    // Where the message lies in ApiLog.txt: its bytes are [logOffset, logOffset + logLength).
    // logLength is below length when some of them never reached the log (the log could not
    // be opened or written, or a later read began with NUL); 0 when none did.
    std::uint64_t logOffset = 0;
    std::size_t logLength = 0;
    std::uint32_t fingerprint = 0;  // LogFingerprint of its logged bytes; 0 when none logged
    std::int64_t timeMs = 0;        // when its last byte was read (note: written), in
                                    // milliseconds since 1970 (system clock)
    bool note = false;              // a folder note written by this program, not received
    bool wellFormed = true;         // false: a body that should be XML does not parse cleanly
                                    // (decoded events, and responses framed by their length)
    int firstNumber = 0;            // decoded event: the first picture number it drew
    int numbersDrawn = 0;           // decoded event: how many numbers it drew
};

// A hash of the first bytes of a message as they lie in the log (at most kFingerprintBytes) and
// of its length: what is read back from the log is checked against it, so a log replaced or
// rewritten since is noticed. Never 0.
constexpr std::size_t kFingerprintBytes = 64;
inline std::uint32_t LogFingerprint(const char* bytes, std::size_t size, std::uint64_t length) {
    std::uint32_t hash = 2166136261u;  // FNV-1a
    const std::size_t count = size < kFingerprintBytes ? size : kFingerprintBytes;
    for (std::size_t i = 0; i < count; ++i) {
        hash = (hash ^ static_cast<unsigned char>(bytes[i])) * 16777619u;
    }
    for (int shift = 0; shift < 64; shift += 8) {
        hash = (hash ^ static_cast<std::uint32_t>((length >> shift) & 0xff)) * 16777619u;
    }
    return hash == 0 ? 1 : hash;
}
// Sees each whole answer on the receive thread before it is shown, and may write a request
// back at once (the long connection's Digest resend). Must not wait for another thread.
class AnswerHook {
  public:
    virtual ~AnswerHook() = default;
    // `message`: the whole answer (headers and body), valid during the call; `status` its
    // status code. Returns the bytes to send back now, "" for none.
    virtual std::string OnAnswer(std::string_view message, int status) = 0;
};

// Receives what the receive loop hands out: texts and reads on the receive thread, reports on
// the thread that files the pictures. Neither may wait for the window's thread:
// implementations return at once (queue, do not block) and guard what both calls touch.
class ReceiveObserver {
  public:
    virtual ~ReceiveObserver() = default;
    // The text for the response box: a message's bytes up to its first NUL, viewed in the
    // receive buffer and valid during the call only (copy what is kept). Called for responses
    // and events (complete or given up), never for other data.
    virtual void OnResponseText(std::string_view text) = 0;
    // One report per message, in message order, once the message's pictures are filed (after
    // its OnResponseText); also for other data. Default: nothing.
    virtual void OnMessage(const MessageReport& report) { (void)report; }
    // One socket read: bytes asked for and recv's result (0 peer closed, < 0 error).
    // Default: nothing.
    virtual void OnRead(std::size_t asked, long result) {
        (void)asked;
        (void)result;
    }
};
