#include "net/tls.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

SSL* Ssl(void* ssl) {
    return static_cast<SSL*>(ssl);
}

// The client context every connection shares: the system's certificate authorities, TLS 1.2
// at least. Made once; OpenSSL allows sharing it between threads after that.
SSL_CTX* ClientContext() {
    static SSL_CTX* const context = [] {
        SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
        if (ctx != nullptr) {
            SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
            SSL_CTX_set_default_verify_paths(ctx);
            // The verdict is read after the handshake (SSL_get_verify_result), so that a
            // pinned self-signed key can be accepted and a refusal can name the key.
            SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
            SSL_CTX_set_mode(ctx,
                             SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
            // A device pushes megabytes: take whole socket reads into a larger buffer rather
            // than a header and a record per read, and prefer the cheaper of the AES suites.
            SSL_CTX_set_read_ahead(ctx, 1);
            SSL_CTX_set_default_read_buffer_len(ctx, 128 * 1024);
            SSL_CTX_set_ciphersuites(
                ctx, "TLS_AES_128_GCM_SHA256:TLS_AES_256_GCM_SHA384:TLS_CHACHA20_POLY1305_SHA256");
        }
        return ctx;
    }();
    return context;
}

std::string OpenSslError() {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) {
        return errno != 0 ? std::strerror(errno) : "the connection ended";
    }
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

bool IsIpAddress(const std::string& host) {
    unsigned char scratch[sizeof(in6_addr)];
    const std::string address = host.substr(0, host.find('%'));
    return inet_pton(AF_INET, address.c_str(), scratch) == 1 ||
           inet_pton(AF_INET6, address.c_str(), scratch) == 1;
}

TlsIo Classify(SSL* ssl, int result, std::string& error) {
    switch (SSL_get_error(ssl, result)) {
        case SSL_ERROR_WANT_READ:
            return TlsIo::WantRead;
        case SSL_ERROR_WANT_WRITE:
            return TlsIo::WantWrite;
        case SSL_ERROR_ZERO_RETURN:
            return TlsIo::Closed;
        case SSL_ERROR_SYSCALL:
            // The device closed the socket without a close notice: many devices do.
            if (ERR_peek_error() == 0 && errno == 0) {
                return TlsIo::Closed;
            }
            error = OpenSslError();
            return TlsIo::Failed;
        default:
            error = OpenSslError();
            return TlsIo::Failed;
    }
}

// A socket BIO whose writes never raise SIGPIPE (send with MSG_NOSIGNAL): a device that closed
// its end must not end the program when a close notice or a request still goes out.
int BioWrite(BIO* bio, const char* data, size_t size, size_t* written) {
    BIO_clear_retry_flags(bio);
    const ssize_t n = send(static_cast<int>(BIO_get_fd(bio, nullptr)), data, size, MSG_NOSIGNAL);
    if (n >= 0) {
        *written = static_cast<size_t>(n);
        return 1;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        BIO_set_retry_write(bio);
    }
    return 0;
}

int BioRead(BIO* bio, char* data, size_t size, size_t* read) {
    BIO_clear_retry_flags(bio);
    const ssize_t n = recv(static_cast<int>(BIO_get_fd(bio, nullptr)), data, size, 0);
    if (n > 0) {
        *read = static_cast<size_t>(n);
        return 1;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        BIO_set_retry_read(bio);
    }
    if (n == 0) {
        errno = 0;  // the end of the stream, not an error
    }
    return 0;
}

// Everything but reads and writes is the plain socket BIO's.
long BioControl(BIO* bio, int command, long number, void* pointer) {
    switch (command) {
        case BIO_C_SET_FD:
            BIO_set_data(
                bio, reinterpret_cast<void*>(static_cast<intptr_t>(*static_cast<int*>(pointer))));
            BIO_set_init(bio, 1);
            return 1;
        case BIO_C_GET_FD:
            if (pointer != nullptr) {
                *static_cast<int*>(pointer) =
                    static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
            }
            return static_cast<long>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
        case BIO_CTRL_FLUSH:
            return 1;
        default:
            (void)number;
            return 0;
    }
}

BIO_METHOD* NoSignalSocket() {
    static BIO_METHOD* const method = [] {
        BIO_METHOD* m =
            BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK | BIO_TYPE_DESCRIPTOR,
                         "socket without SIGPIPE");
        BIO_meth_set_write_ex(m, BioWrite);
        BIO_meth_set_read_ex(m, BioRead);
        BIO_meth_set_ctrl(m, BioControl);
        return m;
    }();
    return method;
}

std::string PinOf(X509* certificate) {
    const int size = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate), nullptr);
    if (size <= 0) {
        return std::string();
    }
    std::vector<unsigned char> der(static_cast<std::size_t>(size));
    unsigned char* out = der.data();
    i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate), &out);
    return PublicKeyPin(der.data(), der.size());
}

}  // namespace

// Builds sessions; the friend of TlsSession.
struct TlsHandshaker {
    static std::unique_ptr<TlsSession> Adopt(SSL* ssl) {
        return std::unique_ptr<TlsSession>(new TlsSession(ssl));
    }
};

TlsSession::~TlsSession() {
    SSL_free(Ssl(ssl_));
}

TlsIo TlsSession::Read(char* buffer, std::size_t size, std::size_t& got) {
    errno = 0;
    ERR_clear_error();
    const int result = SSL_read_ex(Ssl(ssl_), buffer, size, &got);
    return result == 1 ? TlsIo::Done : Classify(Ssl(ssl_), result, error_);
}

TlsIo TlsSession::Write(const char* data, std::size_t size, std::size_t& put) {
    errno = 0;
    ERR_clear_error();
    const int result = SSL_write_ex(Ssl(ssl_), data, size, &put);
    return result == 1 ? TlsIo::Done : Classify(Ssl(ssl_), result, error_);
}

bool TlsSession::HasBuffered() const {
    return SSL_pending(Ssl(ssl_)) > 0;
}

void TlsSession::Shutdown() {
    ERR_clear_error();
    SSL_shutdown(Ssl(ssl_));
    ERR_clear_error();
}

std::string TlsSession::LastError() const {
    return error_;
}

std::string PublicKeyPin(const unsigned char* der, std::size_t size) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(der, size, digest, &length, EVP_sha256(), nullptr) != 1) {
        return std::string();
    }
    char text[4 * EVP_MAX_MD_SIZE / 3 + 4];
    const int written =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text), digest, static_cast<int>(length));
    return "sha256//" + std::string(text, static_cast<std::size_t>(written));
}

bool IsPublicKeyPin(const std::string& text) {
    static const std::string kPrefix = "sha256//";
    if (text.size() != kPrefix.size() + 44 || text.compare(0, kPrefix.size(), kPrefix) != 0 ||
        text.back() != '=') {
        return false;
    }
    for (std::size_t i = kPrefix.size(); i + 1 < text.size(); ++i) {
        const char c = text[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '/') {
            return false;
        }
    }
    return true;
}

std::string TlsRefusal(TlsStatus status, const std::string& host, const std::string& fingerprint,
                       const std::string& pinned) {
    switch (status) {
        case TlsStatus::UnknownCertificate:
            return "Unknown certificate: no authority this system trusts vouches for " + host +
                   "; its key is " + fingerprint;
        case TlsStatus::NameMismatch:
            return "Certificate name mismatch: the certificate is not for " + host +
                   "; its key is " + fingerprint;
        case TlsStatus::PinChanged:
            return "Pinned key changed: " + host + " showed " + fingerprint +
                   " instead of the trusted " + pinned +
                   ". Someone may be in between; trust the new key only if you know why it "
                   "changed.";
        default:
            return std::string();
    }
}

TlsOutcome TlsHandshake(int socket, const std::string& host, const TlsTrust& trust,
                        Clock::time_point deadline, const CancelSignal* cancel) {
    TlsOutcome outcome;
    SSL_CTX* context = ClientContext();
    SSL* ssl = context != nullptr ? SSL_new(context) : nullptr;
    if (ssl == nullptr) {
        outcome.error = "TLS handshake failed: " + OpenSslError();
        return outcome;
    }
    std::unique_ptr<TlsSession> session = TlsHandshaker::Adopt(ssl);
    const std::string address = host.substr(0, host.find('%'));
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
    if (IsIpAddress(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(param, address.c_str());
    } else {
        X509_VERIFY_PARAM_set1_host(param, host.c_str(), 0);
        SSL_set_tlsext_host_name(ssl, host.c_str());
    }
    const int flags = fcntl(socket, F_GETFL, 0);
    fcntl(socket, F_SETFL, flags | O_NONBLOCK);
    BIO* bio = BIO_new(NoSignalSocket());
    if (bio == nullptr) {
        outcome.error = "TLS handshake failed: " + OpenSslError();
        return outcome;
    }
    BIO_set_fd(bio, socket, BIO_NOCLOSE);
    SSL_set_bio(ssl, bio, bio);

    for (;;) {
        errno = 0;
        ERR_clear_error();
        const int result = SSL_connect(ssl);
        if (result == 1) {
            break;
        }
        std::string error;
        const TlsIo io = Classify(ssl, result, error);
        if (io != TlsIo::WantRead && io != TlsIo::WantWrite) {
            outcome.error =
                "TLS handshake failed: " +
                (error.empty() ? std::string("the device closed the connection") : error);
            return outcome;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd waits[2] = {
            {socket, static_cast<short>(io == TlsIo::WantRead ? POLLIN : POLLOUT), 0},
            {cancel != nullptr ? cancel->Fd() : -1, POLLIN, 0}};
        const int ready = left.count() > 0 ? poll(waits, 2, static_cast<int>(left.count())) : 0;
        if (cancel != nullptr && cancel->Cancelled()) {
            outcome.status = TlsStatus::Cancelled;
            outcome.error = "Cancelled";
            return outcome;
        }
        if (ready == 0) {
            outcome.status = TlsStatus::TimedOut;
            outcome.error = "TLS handshake timed out";
            return outcome;
        }
    }

    X509* certificate = SSL_get1_peer_certificate(ssl);
    if (certificate == nullptr) {
        outcome.error = "TLS handshake failed: the device showed no certificate";
        return outcome;
    }
    outcome.fingerprint = PinOf(certificate);
    X509_free(certificate);
    const long verdict = SSL_get_verify_result(ssl);
    if (trust.insecure) {
        outcome.status = TlsStatus::Ok;
    } else if (!trust.pin.empty()) {
        outcome.status = outcome.fingerprint == trust.pin ? TlsStatus::Ok : TlsStatus::PinChanged;
    } else if (verdict == X509_V_OK) {
        outcome.status = TlsStatus::Ok;
    } else if (verdict == X509_V_ERR_HOSTNAME_MISMATCH ||
               verdict == X509_V_ERR_IP_ADDRESS_MISMATCH) {
        outcome.status = TlsStatus::NameMismatch;
    } else {
        outcome.status = TlsStatus::UnknownCertificate;
    }
    if (outcome.status != TlsStatus::Ok) {
        outcome.error = TlsRefusal(outcome.status, host, outcome.fingerprint, trust.pin);
        session->Shutdown();
        return outcome;
    }
    outcome.session = std::move(session);
    return outcome;
}
