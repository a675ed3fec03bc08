#pragma once

#include <atomic>
#include <string>

#include "receive/receive_observer.h"
#include "request/long_connection.h"

// How the reading of a long connection ended.
enum class ReadEnd {
    None,            // still reading, or nothing read yet
    ClosedByDevice,  // a read gave 0: the device closed its side
    ReadFailed,      // a read reported an error
};

// Counts of what a long connection received, for its status line. The owner's observer feeds
// it: Read from the receive thread, Message from the thread that files the pictures; any
// thread reads it. Every count is atomic, so no call waits.
class ReceiveTally {
  public:
    // Forgets everything; call before a new connection starts reading.
    void Reset();
    // One read's result: > 0 bytes received, 0 the device closed, < 0 an error.
    void Read(long result);
    // One message's report; a response's status becomes the last status (0 when it had none).
    void Message(const MessageReport& report);

    long long Bytes() const { return bytes_.load(); }
    long long Messages() const { return messages_.load(); }
    // Status of the newest response; 0 before the first.
    int LastStatus() const { return lastStatus_.load(); }
    ReadEnd End() const { return end_.load(); }

  private:
    std::atomic<long long> bytes_{0};
    std::atomic<long long> messages_{0};
    std::atomic<int> lastStatus_{0};
    std::atomic<ReadEnd> end_{ReadEnd::None};
};

// The reason of a failed connect in a few words ("refused, unreachable or timed out"), for
// when the connect named none; "" for Ok.
const char* ConnectFailureText(ConnectResult result);

// "12,345 bytes" below a mebibyte ("1 byte" for one), "3.4 MB" from there.
std::string ByteCountText(long long bytes);
