#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "net/tls.h"
#include "net/unique_fd.h"

// Rewrites each request just before it goes out (the long connection's Digest answers);
// called on the reader's thread only.
class RequestFilter {
  public:
    virtual ~RequestFilter() = default;
    // The bytes to write for `request` (return it unchanged to send it as it is).
    virtual std::string Outgoing(std::string request) = 0;
};

// The byte stream of one connection: plain TCP, or TLS over it. One thread, the reader (the
// receive thread), does every read and every write, so that a TLS connection object is never
// used by two threads at once: other threads hand their requests over with Write, which wakes
// the reader and waits until the bytes are out or have failed. The reader writes them between
// its reads, without ever blocking on a write while the device has bytes for it.
class Transport {
  public:
    // Takes a connected stream socket (made non-blocking here), with a TLS session on it when
    // `tls` is set (the handshake done).
    explicit Transport(UniqueFd socket, std::unique_ptr<TlsSession> tls = nullptr);
    // A transport over a socket that stays the caller's (drivers of the receive loop on one
    // thread: tests, benchmarks, fuzzing). The caller keeps the socket open while this lives.
    static std::unique_ptr<Transport> Borrowing(int socket);
    ~Transport();
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    // ---- The reader's thread only ----
    // Reads up to `size` (> 0) bytes into buffer, doing the writes handed over meanwhile.
    // Blocks until bytes arrive: > 0 their count, 0 the device closed the connection, < 0 an
    // error or Close. After 0 or < 0 every write waiting or to come fails.
    long Read(char* buffer, std::size_t size);
    // Queues bytes to go out next, without waiting (a resend made on the reader's thread).
    // They go out as given: the filter does not see them.
    void WriteSoon(std::string bytes);
    // Rewrites every request from now on (null: none). Set before the reader starts.
    void SetFilter(RequestFilter* filter) { filter_ = filter; }

    // ---- Any thread ----
    // Hands the bytes to the reader and waits until they are all written (true) or the
    // connection failed or closed (false, *reason says why when given). An empty request
    // writes nothing and succeeds while the connection is up.
    bool Write(std::string bytes, std::string* reason = nullptr);
    // Wakes the reader and every writer: reads and writes from now on fail. Shuts the socket
    // down (the device sees the connection end). Harmless when called again.
    void Close();
    // True once the connection closed, failed or Close was called.
    bool Dead() const;
    // The socket (for a driver that wants to look at it); -1 after the transport is gone.
    int Socket() const { return socket_.Get(); }

  private:
    struct Pending;
    enum class Io { Done, WantRead, WantWrite, Closed, Failed };

    Transport(int borrowed);
    Io TryRead(char* buffer, std::size_t size, std::size_t& got);
    Io TryWrite(const char* data, std::size_t size, std::size_t& put);
    // Writes queued bytes until done or blocked; returns what the write waits for (Done when
    // nothing is left to write).
    Io ServeWrites();
    // Fails every write waiting, and every later one, with `reason`.
    void FailAll(const std::string& reason);
    void Wake();
    void DrainWake();

    UniqueFd socket_;
    int fd_;  // socket_ or the borrowed one
    std::unique_ptr<TlsSession> tls_;
    UniqueFd wake_;
    RequestFilter* filter_ = nullptr;

    mutable std::mutex lock_;
    std::condition_variable finished_;
    std::deque<std::shared_ptr<Pending>> queue_;  // guarded by lock_
    bool dead_ = false;                           // guarded by lock_
    std::string deadReason_;                      // guarded by lock_
    std::shared_ptr<Pending> current_;            // the write under way; reader only
};
