#pragma once

#include <string>

// Interface name carried by a request file path: the text between the first "SUBSCRIBE_" and
// the next "_test" after it. Empty when either marker is missing.
std::string SubscriptionInterfaceName(const std::string& path);

// Reads the whole request file into `data` (raw bytes, NULs kept). False, with `data`
// untouched, when the file cannot be opened or read (a folder included) or is empty.
bool ReadProtocolFile(const std::string& path, std::string& data);

// The keep-alive request: POST /name, Basic credentials of user and password, Host ip (an IPv6
// literal in brackets, see HostHeaderText),
// Content-Length the byte count of body, "Keep-Alive: 300 " (with its blank), then body.
// Any lengths.
std::string BuildLongRequest(const std::string& ip, const std::string& name,
                             const std::string& user, const std::string& password,
                             const std::string& body);

// Puts serverAddress in place of the CDATA value inside the first serverAddress element of
// the request's body and sets Content-Length to the new body size. Only that element is
// changed. False, request untouched, when serverAddress is empty, the request has no header
// end or Content-Length line, the body has no closed serverAddress element, or no complete
// CDATA section lies inside that element.
bool SubstituteServerAddress(std::string& request, const std::string& serverAddress);

// An edited request made true to its body: every Content-Length header of its head (any
// letter case) gets the byte count of what follows the first blank line (CR LF CR LF), and a
// head without one gets "Content-Length: <n>" as its last line. Everything else stays byte
// for byte. A text without a blank line has no body to count and comes back unchanged.
std::string WithTrueContentLength(const std::string& request);

// Outcome of PrepareLongRequest.
enum class PrepareResult {
    Ok,
    NoIp,        // the IP text is empty
    Unreadable,  // the request file is missing, unreadable or empty
};

// Reads protocolFile and builds the request for the long connection into `request`. Unless
// name is "SetSubscribe" (any letter case) the server address is substituted (see
// SubstituteServerAddress; an empty serverAddress leaves the file's value). The caller copies
// the recorded server address under its lock and passes the copy. On failure `request` is
// untouched.
PrepareResult PrepareLongRequest(const std::string& protocolFile, const std::string& ip,
                                 const std::string& name, const std::string& user,
                                 const std::string& password, const std::string& serverAddress,
                                 std::string& request);
