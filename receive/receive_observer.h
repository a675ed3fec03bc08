#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// What a message on the long connection turned out to be.
enum class MessageKind {
    Other,     // begins with neither "POST" nor "HTTP": logged only, never shown
    Response,  // begins with "HTTP": an answer to a request sent on the long connection
    Event,     // begins with "POST": an event pushed by the device
};

// What the receive thread did with one message.
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
};

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
