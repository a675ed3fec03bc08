#pragma once

// A TLS device played by a test on 127.0.0.1 (OpenSSL server side), one connection at a time.

#include <string>

#include "net/tls_identity.h"
#include "net/unique_fd.h"

class TlsPeer {
  public:
    // Listens on 127.0.0.1 with `identity`; with `plain` the accepted connections get no TLS at
    // all (for a handshake that fails).
    explicit TlsPeer(const TlsIdentity& identity, bool plain = false);
    ~TlsPeer();
    TlsPeer(const TlsPeer&) = delete;
    TlsPeer& operator=(const TlsPeer&) = delete;

    int Port() const { return port_; }
    // Accepts the next connection and runs the server handshake; false when none came within
    // `ms` or the handshake failed (the client refused the certificate, say).
    bool Accept(int ms = 5000);
    // Reads until `size` bytes arrived, the client closed or 5 s passed.
    std::string Read(std::size_t size);
    // Writes all bytes; false when the connection broke.
    bool Write(const std::string& bytes);
    // Ends the connection (close notice, then the socket).
    void Close();

  private:
    UniqueFd listener_;
    UniqueFd connection_;
    void* context_ = nullptr;  // SSL_CTX*
    void* ssl_ = nullptr;      // SSL*
    bool plain_;
    int port_ = 0;
};
