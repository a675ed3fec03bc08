#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "receive/receive_observer.h"

// Size of the receive buffer when the thread starts; the first read of a message asks for it.
constexpr std::size_t kReceiveBufferSize = 614400;
// Largest Content-Length that is read and decoded; a larger one is shown and logged only.
constexpr std::uint64_t kMaxContentLength = 64ull * 1024 * 1024;
// A message head (start line and headers) longer than this without its end is not waited for.
constexpr std::size_t kMaxHeadLength = 16384;

// How the bytes at the start of the receive buffer are framed into one message.
struct MessageFrame {
    enum class State {
        NeedMore,  // the head is not complete yet: read more and frame again
        Framed,    // the message is `total` bytes long (more may need to be read first)
    };
    State state = State::Framed;
    MessageKind kind = MessageKind::Other;
    std::size_t total = 0;       // end of the message; may exceed the bytes held (read the rest)
    std::size_t want = 0;        // NeedMore: exactly the bytes the head promises; 0: any number
    bool decodable = false;      // an event with "<?xml" and a usable Content-Length
    std::size_t bodyStart = 0;   // decodable: offset of "<?xml"; a response framed by its
                                 // length: offset after the blank line
    std::size_t bodyLength = 0;  // decodable or a response framed by its length: Content-Length
    bool tooLarge = false;       // Content-Length above kMaxContentLength
    bool open = false;           // no usable length: the message ends with the bytes held, so
                                 // where it ends depends on what the reads delivered
};

// Frames the message that starts at data[0], of which `size` bytes are held. Searches only the
// text (the bytes before the first NUL). "POST" starts an event whose body is the
// Content-Length bytes from the first "<?xml"; "HTTP" starts a response whose body is the
// Content-Length bytes after the blank line; an event without "<?xml" is not decodable and ends
// there too. A message without a usable length (no Content-Length, or one above
// kMaxContentLength) ends with the bytes held. Anything else is other data, all bytes held.
// Never reads past data[size - 1].
MessageFrame FrameMessage(const char* data, std::size_t size);
// The same with the text's length known: textLength is the offset of the first NUL in
// data[0, size), or size when there is none (the caller keeps it as bytes arrive, so that the
// bytes are not searched again on every framing).
MessageFrame FrameMessage(const char* data, std::size_t size, std::size_t textLength);

// Value of the first "Content-Length:" in text[0, size): the digits after it (white space
// skipped) up to the next "Content" or line end. Sets `found`; 0 when there are no digits.
// Saturates at UINT64_MAX instead of overflowing.
std::uint64_t ContentLengthValue(const char* text, std::size_t size, bool& found);

// The status code of a response's start line "HTTP/x.y NNN ...": the three digits after the
// first blank; 0 when they are missing or not digits.
int ResponseStatus(const char* text, std::size_t size);

// The server address in a response text: the content of the first "CDATA[" ... "]]>" after the
// first "serverAddress" (which must not stand at offset 0). False when a marker is missing.
bool FindServerAddress(const char* text, std::size_t size, std::string& address);
