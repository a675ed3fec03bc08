#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "net/tls.h"

// The short connection: one HTTP POST through libcurl's easy interface per call.

// The one header that a post adds to libcurl's own.
inline constexpr char kShortContentTypeHeader[] = "Content-type:text/plain; charset=UTF-8";

// Transfer limits of one post, in seconds.
constexpr long kHttpConnectTimeoutSeconds = 10;
constexpr long kHttpTransferTimeoutSeconds = 60;

// The HTTP library's process-wide set-up: one in main (and in each test program), made before
// any other thread starts and kept until the end.
class HttpLibrary {
  public:
    HttpLibrary();
    ~HttpLibrary();
    HttpLibrary(const HttpLibrary&) = delete;
    HttpLibrary& operator=(const HttpLibrary&) = delete;
};

// Gives up a running post from another thread: HttpPost returns within about 50 ms of Cancel,
// with `cancelled` set and nothing more sent or received. Cancel may be called from any thread,
// before or during the post; a cancelled HttpCancel stays cancelled.
class HttpCancel {
  public:
    void Cancel() { cancelled_.store(true); }
    bool Cancelled() const { return cancelled_.load(); }

  private:
    std::atomic<bool> cancelled_{false};
};

// What one post gave. An answer with an error status (401, 404) is a completed transfer.
struct HttpOutcome {
    bool completed = false;   // libcurl reports the transfer done, whatever the HTTP status
    bool cancelled = false;   // given up through its HttpCancel (error "Cancelled")
    long status = 0;          // status code of the last answer; 0 when none arrived
    std::string reason;       // its reason phrase ("Unauthorized"); may be empty
    std::string auth;         // scheme of the last request's Authorization ("Basic", "Digest"),
                              // "" when it carried none
    long long elapsedMs = 0;  // from the start of the transfer to its end
    std::string body;         // the answer's body as received, never its headers; after a
                              // failure whatever arrived (normally nothing)
    std::string error;        // why the transfer failed: libcurl's text with the system's
                              // reason when it names one ("... (Connection refused)"), or
                              // the TLS check's; "" when completed
    TlsStatus tls = TlsStatus::Ok;  // over TLS: how the certificate check ended
    std::string fingerprint;        // over TLS, when refused: the device's key as a pin

    // Body bytes received.
    std::size_t Bytes() const { return body.size(); }
    // "401 Unauthorized", "200" without a reason; "" when no answer arrived.
    std::string StatusText() const;
};

// Where a post goes: the texts the user typed, and whether TLS is used.
struct HttpTarget {
    std::string ip;
    std::string shortPort;
    std::string user;
    std::string password;
    bool tls = false;  // https, the certificate checked as `trust` says
    TlsTrust trust = {};
};

// Posts body to ShortPostUrl(ip, shortPort, path, tls) with the header
// kShortContentTypeHeader, authorised by Basic or Digest as the device's
// challenge asks. A ":" in the user name is passed through as it is. Texts are bytes: nothing
// is converted. Over TLS a refused certificate ends the post with `tls` and `fingerprint` set
// and the reason in `error` (an unknown certificate, a name mismatch, a pinned key that
// changed). `cancel` (may be null) gives the post up from another thread. Needs an
// HttpLibrary. May run on any thread.
HttpOutcome HttpPost(const HttpTarget& target, const std::string& path, const std::string& body,
                     const HttpCancel* cancel = nullptr);

// The same without TLS.
HttpOutcome HttpPost(const std::string& ip, const std::string& shortPort, const std::string& user,
                     const std::string& password, const std::string& path, const std::string& body,
                     const HttpCancel* cancel = nullptr);

// The URL that HttpPost requests: "http://%s:%d/%s" (https with TLS) of ip (an IPv6 literal in
// brackets, see UrlHostText), the number that shortPort starts with (as atoi reads it) and
// path. The port is printed as the whole number with no range check (libcurl refuses one
// above 65535); a non-numeric text gives 0.
std::string ShortPostUrl(const std::string& ip, const std::string& shortPort,
                         const std::string& path, bool tls = false);

// libcurl write callback: appends size * nmemb bytes at data to the std::string that userdata
// points to and returns size * nmemb; with a null userdata the bytes are dropped.
size_t CurlWriteCallback(char* data, size_t size, size_t nmemb, void* userdata);
