#pragma once

#include <QByteArray>
#include <QHash>

// Largest request head (request line and headers) the long port takes.
inline constexpr int kSimMaxRequestHeadBytes = 64 * 1024;

// Largest request body the long port takes.
inline constexpr int kSimMaxRequestBodyBytes = 16 * 1024 * 1024;

// One request received on the long port.
struct LongRequest {
    QByteArray method;                      // e.g. "POST"
    QByteArray target;                      // e.g. "/SetSubscribe"
    QHash<QByteArray, QByteArray> headers;  // names lower-cased, values trimmed
    QByteArray body;                        // Content-Length bytes (none without the header)
};

// Cuts the byte stream of one connection into requests, by their heads and Content-Length.
// Lines may end in CR LF or LF alone; empty lines between requests are skipped.
class LongRequestParser {
  public:
    enum class State {
        NeedMore,   // no complete request yet
        Ready,      // *request holds the next request
        Malformed,  // the stream cannot be read further (bad head, length or size)
    };

    // Appends received bytes.
    void feed(const QByteArray& bytes) { buffer_ += bytes; }

    // Takes the next complete request out of what was fed. After Malformed it stays Malformed.
    State next(LongRequest* request);

    // Bytes fed but not yet taken.
    qsizetype buffered() const { return buffer_.size(); }

  private:
    QByteArray buffer_;
    bool broken_ = false;
};
