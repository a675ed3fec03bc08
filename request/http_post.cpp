#include "request/http_post.h"

#include <curl/curl.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "net/host_text.h"
#include "net/tcp_connect.h"

namespace {

// One easy handle, released with its owner. Move-only.
struct EasyHandleDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyHandleDeleter>;

// The extra request headers, released with their owner. Move-only.
struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;

std::string_view TrimLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.remove_suffix(1);
    }
    return line;
}

// Header callback: each status line ("HTTP/1.1 401 Unauthorized") replaces the one before, so
// after a Digest or Basic round the outcome names the last answer.
size_t HeaderCallback(char* data, size_t size, size_t nmemb, void* userdata) {
    auto& outcome = *static_cast<HttpOutcome*>(userdata);
    const std::string_view line = TrimLineEnd(std::string_view(data, size * nmemb));
    if (line.rfind("HTTP/", 0) == 0) {
        const size_t code = line.find(' ');
        if (code != std::string_view::npos) {
            const size_t reason = line.find(' ', code + 1);
            outcome.status =
                std::strtol(std::string(line.substr(code + 1, 3)).c_str(), nullptr, 10);
            outcome.reason = reason == std::string_view::npos
                                 ? std::string()
                                 : std::string(line.substr(reason + 1));
        }
    }
    return size * nmemb;
}

// One multi handle, released with its owner. Move-only.
struct MultiHandleDeleter {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiHandleDeleter>;

// How long the transfer loop waits for the sockets before it looks at the cancel again.
constexpr int kCancelTickMs = 25;

// Progress callback: a non-zero result makes libcurl abort the transfer.
int ProgressCallback(void* userdata, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* cancel = static_cast<const HttpCancel*>(userdata);
    return cancel != nullptr && cancel->Cancelled() ? 1 : 0;
}

// Runs the transfer of `h`: through a multi handle, whose wait is cut into short ticks so that
// a cancel ends it at once (libcurl's own loop may sleep a second between progress calls).
CURLcode Perform(CURL* h, const HttpCancel* cancel) {
    if (cancel == nullptr) {
        return curl_easy_perform(h);
    }
    MultiHandle multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), h) != CURLM_OK) {
        return CURLE_FAILED_INIT;
    }
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    for (int running = 1; running > 0 && !cancel->Cancelled();) {
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
            if (message->msg == CURLMSG_DONE) {
                result = message->data.result;
            }
        }
        if (running > 0) {
            curl_multi_poll(multi.get(), nullptr, 0, kCancelTickMs, nullptr);
        }
    }
    curl_multi_remove_handle(multi.get(), h);
    return cancel->Cancelled() ? CURLE_ABORTED_BY_CALLBACK : result;
}

// Debug callback: the scheme of the Authorization header of each request sent.
int DebugCallback(CURL*, curl_infotype type, char* data, size_t size, void* userdata) {
    if (type != CURLINFO_HEADER_OUT) {
        return 0;
    }
    auto& outcome = *static_cast<HttpOutcome*>(userdata);
    const std::string_view head(data, size);
    static constexpr std::string_view kField = "\r\nAuthorization: ";
    const size_t at = head.find(kField);
    if (at == std::string_view::npos) {
        outcome.auth.clear();
        return 0;
    }
    const size_t start = at + kField.size();
    const size_t end = head.find_first_of(" \r", start);
    outcome.auth =
        std::string(head.substr(start, end == std::string_view::npos ? end : end - start));
    return 0;
}

// Why the device's certificate was refused, from a handshake of our own (nothing is sent).
void ExplainRefusal(const HttpTarget& target, HttpOutcome& outcome) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(kHttpConnectTimeoutSeconds);
    TcpConnectOutcome connected = ConnectTcp(
        target.ip, static_cast<unsigned short>(std::strtoul(target.shortPort.c_str(), nullptr, 10)),
        std::chrono::seconds(kHttpConnectTimeoutSeconds), nullptr);
    TlsOutcome probe;
    if (connected.status == TcpConnectStatus::Connected) {
        probe = TlsHandshake(connected.socket.Get(), target.ip, target.trust, deadline, nullptr);
    }
    outcome.tls = probe.status == TlsStatus::Ok ? TlsStatus::UnknownCertificate : probe.status;
    outcome.fingerprint = probe.fingerprint;
    outcome.error = probe.status == TlsStatus::Ok || probe.error.empty()
                        ? "The device's certificate was refused"
                        : probe.error;
}

}  // namespace

HttpLibrary::HttpLibrary() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

HttpLibrary::~HttpLibrary() {
    curl_global_cleanup();
}

std::string HttpOutcome::StatusText() const {
    if (status == 0) {
        return std::string();
    }
    return reason.empty() ? std::to_string(status) : std::to_string(status) + " " + reason;
}

size_t CurlWriteCallback(char* data, size_t size, size_t nmemb, void* userdata) {
    const size_t bytes = size * nmemb;
    if (userdata != nullptr && bytes > 0) {
        static_cast<std::string*>(userdata)->append(data, bytes);
    }
    return bytes;
}

std::string ShortPostUrl(const std::string& ip, const std::string& shortPort,
                         const std::string& path, bool tls) {
    // Read as atoi reads (leading blanks, a sign, digits), but without its undefined
    // behaviour for numbers out of range: those are clamped and then refused by libcurl.
    const long long port = std::strtoll(shortPort.c_str(), nullptr, 10);
    return (tls ? "https://" : "http://") + UrlHostText(ip) + ":" + std::to_string(port) + "/" +
           path;
}

HttpOutcome HttpPost(const std::string& ip, const std::string& shortPort, const std::string& user,
                     const std::string& password, const std::string& path, const std::string& body,
                     const HttpCancel* cancel) {
    return HttpPost(HttpTarget{ip, shortPort, user, password}, path, body, cancel);
}

HttpOutcome HttpPost(const HttpTarget& target, const std::string& path, const std::string& body,
                     const HttpCancel* cancel) {
    HttpOutcome outcome;
    const std::string url = ShortPostUrl(target.ip, target.shortPort, path, target.tls);

    EasyHandle handle(curl_easy_init());
    if (!handle) {
        outcome.error = "cannot create a transfer handle";
        return outcome;
    }
    HeaderList headers(curl_slist_append(nullptr, kShortContentTypeHeader));
    if (!headers) {
        outcome.error = "cannot build the request headers";
        return outcome;
    }
    char errorBuffer[CURL_ERROR_SIZE] = {};
    CURL* h = handle.get();

    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kHttpConnectTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, kHttpTransferTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, HeaderCallback);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &outcome);
    // The debug callback sees the request heads (for the scheme used); nothing is printed.
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, DebugCallback);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, &outcome);
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, ProgressCallback);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, cancel);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, cancel != nullptr ? 0L : 1L);

    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, CurlWriteCallback);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &outcome.body);
    // User name and password go separately, so a ":" inside the user name stays part of it.
    curl_easy_setopt(h, CURLOPT_USERNAME, target.user.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, target.password.c_str());
    if (target.tls) {
        // A pinned key decides alone (a self-signed device's certificate is no authority's);
        // without one the system's authorities must vouch for it and its name.
        const bool pinned = !target.trust.pin.empty();
        const bool checked = !pinned && !target.trust.insecure;
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, checked ? 1L : 0L);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, checked ? 2L : 0L);
        if (pinned) {
            curl_easy_setopt(h, CURLOPT_PINNEDPUBLICKEY, target.trust.pin.c_str());
        }
    }
    curl_easy_setopt(h, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC | CURLAUTH_DIGEST));
    curl_easy_setopt(h, CURLOPT_HEADER, 0L);
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));

    const auto start = std::chrono::steady_clock::now();
    const CURLcode code = Perform(h, cancel);
    outcome.elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
    outcome.completed = code == CURLE_OK;
    outcome.cancelled = cancel != nullptr && cancel->Cancelled() && !outcome.completed;
    if (outcome.cancelled) {
        outcome.error = "Cancelled";
    } else if (target.tls &&
               (code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_SSL_PINNEDPUBKEYNOTMATCH)) {
        // Ask the device once more, without sending anything, to name the key it shows.
        ExplainRefusal(target, outcome);
    } else if (!outcome.completed) {
        outcome.error =
            errorBuffer[0] != '\0' ? std::string(errorBuffer) : curl_easy_strerror(code);
        // libcurl says "Couldn't connect to server" for a refused, unreachable or reset
        // connection alike; the system's reason tells them apart.
        long osErrno = 0;
        if (curl_easy_getinfo(h, CURLINFO_OS_ERRNO, &osErrno) == CURLE_OK && osErrno != 0)
            outcome.error +=
                " (" + std::generic_category().message(static_cast<int>(osErrno)) + ")";
        if (target.tls && code == CURLE_SSL_CONNECT_ERROR) {
            outcome.tls = TlsStatus::HandshakeFailed;
            outcome.error = "TLS handshake failed: " + outcome.error;
        }
    }
    return outcome;
}
