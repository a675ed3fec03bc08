#pragma once

#include <string>

// The short connection: one HTTP POST through libcurl's easy interface per call.
// curl_global_init must have been called once by the program (or test) before the first call.

// Transfer limits of one post, in seconds.
constexpr long kHttpConnectTimeoutSeconds = 10;
constexpr long kHttpTransferTimeoutSeconds = 60;

// Posts body to "http://<ip>:<atoi(shortPort)>/<path>" with the header
// "Content-type:text/plain; charset=UTF-8", authorised by Basic or Digest as the device's
// challenge asks. The answer's body (never its headers) is appended to response, which is
// emptied first. Returns 1 when the transfer completed, whatever the HTTP status (a 401 or
// 404 answer gives 1 and its body), and 0 when it did not (refused, unreachable, timed out,
// bad URL); response then holds whatever arrived, normally nothing. A ":" in the user name
// is passed through as it is. Texts are bytes: nothing is converted.
int HttpPost(const std::string& ip, const std::string& shortPort, const std::string& user,
             const std::string& password, const std::string& path, const std::string& body,
             std::string& response);

// As above; error receives libcurl's description of a failed transfer ("" when it completed).
int HttpPost(const std::string& ip, const std::string& shortPort, const std::string& user,
             const std::string& password, const std::string& path, const std::string& body,
             std::string& response, std::string& error);

// The URL that HttpPost requests: "http://%s:%d/%s" of ip, the number that shortPort starts
// with (as atoi reads it) and path. The port is printed as the whole number with no range
// check (libcurl refuses one above 65535); a non-numeric text gives 0.
std::string ShortPostUrl(const std::string& ip, const std::string& shortPort,
                         const std::string& path);

// libcurl write callback: appends size * nmemb bytes at data to the std::string that userdata
// points to and returns size * nmemb; with a null userdata the bytes are dropped.
size_t CurlWriteCallback(char* data, size_t size, size_t nmemb, void* userdata);
