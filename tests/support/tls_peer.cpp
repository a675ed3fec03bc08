#include "support/tls_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>

#include <chrono>

namespace {

SSL_CTX* Context(void* ctx) {
    return static_cast<SSL_CTX*>(ctx);
}
SSL* Ssl(void* ssl) {
    return static_cast<SSL*>(ssl);
}

}  // namespace

TlsPeer::TlsPeer(const TlsIdentity& identity, bool plain)
    : listener_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), plain_(plain) {
    // OpenSSL's server side writes through write(): a client that went must not end the test.
    signal(SIGPIPE, SIG_IGN);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    auto* any = reinterpret_cast<sockaddr*>(&address);
    if (bind(listener_.Get(), any, size) == 0 && listen(listener_.Get(), 4) == 0 &&
        getsockname(listener_.Get(), any, &size) == 0) {
        port_ = ntohs(address.sin_port);
    }
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    BIO* cert = BIO_new_mem_buf(identity.certificatePem.data(),
                                static_cast<int>(identity.certificatePem.size()));
    BIO* key = BIO_new_mem_buf(identity.keyPem.data(), static_cast<int>(identity.keyPem.size()));
    X509* x509 = PEM_read_bio_X509(cert, nullptr, nullptr, nullptr);
    EVP_PKEY* pkey = PEM_read_bio_PrivateKey(key, nullptr, nullptr, nullptr);
    SSL_CTX_use_certificate(ctx, x509);
    SSL_CTX_use_PrivateKey(ctx, pkey);
    X509_free(x509);
    EVP_PKEY_free(pkey);
    BIO_free(cert);
    BIO_free(key);
    context_ = ctx;
}

TlsPeer::~TlsPeer() {
    Close();
    SSL_CTX_free(Context(context_));
}

bool TlsPeer::Accept(int ms) {
    Close();
    pollfd waiting{listener_.Get(), POLLIN, 0};
    if (poll(&waiting, 1, ms) != 1) {
        return false;
    }
    connection_.Reset(accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!connection_ || plain_) {
        return static_cast<bool>(connection_);
    }
    SSL* ssl = SSL_new(Context(context_));
    SSL_set_fd(ssl, connection_.Get());
    ssl_ = ssl;
    const bool ok = SSL_accept(ssl) == 1;
    ERR_clear_error();
    return ok;
}

std::string TlsPeer::Read(std::size_t size) {
    std::string out;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    char buffer[16384];
    while (out.size() < size && std::chrono::steady_clock::now() < until) {
        pollfd waiting{connection_.Get(), POLLIN, 0};
        if (ssl_ == nullptr || (SSL_pending(Ssl(ssl_)) == 0 && poll(&waiting, 1, 100) != 1)) {
            continue;
        }
        const int n = SSL_read(Ssl(ssl_), buffer,
                               static_cast<int>(std::min(sizeof buffer, size - out.size())));
        if (n <= 0) {
            break;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ERR_clear_error();
    return out;
}

bool TlsPeer::Write(const std::string& bytes) {
    if (plain_) {
        return send(connection_.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    std::size_t done = 0;
    while (ssl_ != nullptr && done < bytes.size()) {
        const int n =
            SSL_write(Ssl(ssl_), bytes.data() + done, static_cast<int>(bytes.size() - done));
        if (n <= 0) {
            ERR_clear_error();
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return done == bytes.size();
}

void TlsPeer::Close() {
    if (ssl_ != nullptr) {
        SSL_shutdown(Ssl(ssl_));
        SSL_free(Ssl(ssl_));
        ssl_ = nullptr;
        ERR_clear_error();
    }
    connection_.Reset();
}
