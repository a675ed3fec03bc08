#include "request/http_post.h"

#include <curl/curl.h>

#include <cstdlib>
#include <memory>
#include <string>

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

constexpr const char kContentTypeHeader[] = "Content-type:text/plain; charset=UTF-8";

}  // namespace

size_t CurlWriteCallback(char* data, size_t size, size_t nmemb, void* userdata) {
    const size_t bytes = size * nmemb;
    if (userdata != nullptr && bytes > 0) {
        static_cast<std::string*>(userdata)->append(data, bytes);
    }
    return bytes;
}

std::string ShortPostUrl(const std::string& ip, const std::string& shortPort,
                         const std::string& path) {
    // Read as atoi reads (leading blanks, a sign, digits), but without its undefined
    // behaviour for numbers out of range: those are clamped and then refused by libcurl.
    const long long port = std::strtoll(shortPort.c_str(), nullptr, 10);
    return "http://" + ip + ":" + std::to_string(port) + "/" + path;
}

int HttpPost(const std::string& ip, const std::string& shortPort, const std::string& user,
             const std::string& password, const std::string& path, const std::string& body,
             std::string& response, std::string& error) {
    response.clear();
    error.clear();
    const std::string url = ShortPostUrl(ip, shortPort, path);

    EasyHandle handle(curl_easy_init());
    if (!handle) {
        error = "cannot create a transfer handle";
        return 0;
    }
    HeaderList headers(curl_slist_append(nullptr, kContentTypeHeader));
    if (!headers) {
        error = "cannot build the request headers";
        return 0;
    }
    char errorBuffer[CURL_ERROR_SIZE] = {};
    CURL* h = handle.get();

    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kHttpConnectTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, kHttpTransferTimeoutSeconds);

    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, CurlWriteCallback);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &response);
    // User name and password go separately, so a ":" inside the user name stays part of it.
    curl_easy_setopt(h, CURLOPT_USERNAME, user.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, password.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC | CURLAUTH_DIGEST));
    curl_easy_setopt(h, CURLOPT_HEADER, 0L);
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));

    const CURLcode code = curl_easy_perform(h);
    if (code != CURLE_OK) {
        error = errorBuffer[0] != '\0' ? std::string(errorBuffer) : curl_easy_strerror(code);
        return 0;
    }
    return 1;
}

int HttpPost(const std::string& ip, const std::string& shortPort, const std::string& user,
             const std::string& password, const std::string& path, const std::string& body,
             std::string& response) {
    std::string error;
    return HttpPost(ip, shortPort, user, password, path, body, response, error);
}
