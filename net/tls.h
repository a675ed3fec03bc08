#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "net/cancel_signal.h"

// TLS for the tool's connections (OpenSSL): the client handshake, the checks of the device's
// certificate, and the session that a Transport reads and writes through.

// What the device's certificate is checked against.
struct TlsTrust {
    // "sha256//<Base64>" of the key the device must show ("" for none). With a pin, only that
    // key is accepted, whoever signed the certificate; without one, the system's certificate
    // authorities must vouch for the certificate and its name must match the host.
    std::string pin;
    // Accept any certificate (tessaly-cli --insecure). Never set silently.
    bool insecure = false;
};

// How a handshake ended.
enum class TlsStatus {
    Ok,
    HandshakeFailed,     // no TLS, or no common protocol or cipher
    UnknownCertificate,  // no authority vouches for it, and no pin names its key
    NameMismatch,        // vouched for, but for another name than the host
    PinChanged,          // the key differs from the pinned one
    TimedOut,
    Cancelled,
};

// One non-blocking step of a session's I/O.
enum class TlsIo { Done, WantRead, WantWrite, Closed, Failed };

// A TLS client session on a connected socket, after its handshake. Used by one thread at a
// time (the Transport's reader); the socket stays the caller's.
class TlsSession {
  public:
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    // Reads up to size bytes without blocking; `got` the count on Done.
    TlsIo Read(char* buffer, std::size_t size, std::size_t& got);
    // Writes up to size bytes without blocking; `put` the count on Done. A write that wanted
    // more must be repeated with the same bytes (the buffer may have moved).
    TlsIo Write(const char* data, std::size_t size, std::size_t& put);
    // True when decrypted bytes wait inside the session (poll would not see them).
    bool HasBuffered() const;
    // Sends the TLS close notice (best effort, without waiting for the device's).
    void Shutdown();
    // OpenSSL's reason for the last Failed, for the user.
    std::string LastError() const;

  private:
    friend struct TlsHandshaker;
    explicit TlsSession(void* ssl) : ssl_(ssl) {}
    void* ssl_;  // SSL*
    std::string error_;
};

// The outcome of TlsHandshake.
struct TlsOutcome {
    TlsStatus status = TlsStatus::HandshakeFailed;
    std::unique_ptr<TlsSession> session;  // Ok: the session to read and write through
    std::string fingerprint;              // the device's key as a pin ("sha256//..."), when a
                                          // certificate was seen
    std::string error;                    // what failed, for the user; "" when Ok
};

// Runs the client handshake on `socket` (connected; left non-blocking) for `host` (the name or
// address the user typed: the certificate must be for it, unless a pin decides), checks the
// certificate as `trust` says, and gives up at `deadline` or on `cancel` (may be null). Any
// thread; blocks the caller.
TlsOutcome TlsHandshake(int socket, const std::string& host, const TlsTrust& trust,
                        std::chrono::steady_clock::time_point deadline, const CancelSignal* cancel);

// A pin written as curl's --pinnedpubkey takes it: "sha256//" and the Base64 of the SHA-256
// of the DER form of a public key (SubjectPublicKeyInfo).
std::string PublicKeyPin(const unsigned char* der, std::size_t size);

// True for a text of that form ("sha256//" and 44 Base64 characters).
bool IsPublicKeyPin(const std::string& text);

// The message for a refused certificate, naming its key (and the pinned one that differs).
std::string TlsRefusal(TlsStatus status, const std::string& host, const std::string& fingerprint,
                       const std::string& pinned);
