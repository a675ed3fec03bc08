#include "request/long_request.h"

#include <cctype>

#include "catalogue/catalogue.h"
#include "net/host_text.h"
#include "request/short_request.h"

namespace {

const char kHeaderEnd[] = "\r\n\r\n";
const char kContentLength[] = "\r\nContent-Length: ";

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// Position of the first opening tag of the serverAddress element at or after `from`:
// "<serverAddress" followed by ">", "/" or white space (so "<serverAddressX" does not count).
size_t FindServerAddressElement(const std::string& text, size_t from) {
    static const std::string kOpen = "<serverAddress";
    for (size_t at = text.find(kOpen, from); at != std::string::npos;
         at = text.find(kOpen, at + 1)) {
        const size_t next = at + kOpen.size();
        if (next < text.size() && (text[next] == '>' || text[next] == '/' ||
                                   std::isspace(static_cast<unsigned char>(text[next])))) {
            return at;
        }
    }
    return std::string::npos;
}

// True when the header line at `at` is named Content-Length (any letter case).
bool IsContentLengthLine(const std::string& text, size_t at) {
    static const std::string kName = "content-length:";
    if (text.size() - at < kName.size())
        return false;
    for (size_t i = 0; i < kName.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[at + i])) != kName[i])
            return false;
    }
    return true;
}

}  // namespace

std::string WithTrueContentLength(const std::string& request) {
    const size_t headerEnd = request.find(kHeaderEnd);
    if (headerEnd == std::string::npos)
        return request;
    const std::string length = std::to_string(request.size() - headerEnd - (sizeof kHeaderEnd - 1));
    std::string out;
    out.reserve(request.size() + 32);
    bool found = false;
    // Header lines start after each CR LF of the head; the request line is never one.
    size_t copied = 0;
    for (size_t eol = request.find("\r\n"); eol < headerEnd; eol = request.find("\r\n", eol + 2)) {
        const size_t line = eol + 2;
        if (!IsContentLengthLine(request, line))
            continue;
        // Keep the name and the blanks after the colon as written; replace the value.
        size_t value = line + sizeof "content-length:" - 1;
        while (value < headerEnd && (request[value] == ' ' || request[value] == '\t'))
            ++value;
        const size_t valueEnd = request.find("\r\n", value);
        out.append(request, copied, value - copied);
        out += length;
        copied = valueEnd;
        found = true;
    }
    if (!found) {
        out.append(request, copied, headerEnd - copied);
        out += "\r\nContent-Length: " + length;
        copied = headerEnd;
    }
    out.append(request, copied, std::string::npos);
    return out;
}

std::string SubscriptionInterfaceName(const std::string& path) {
    static const std::string kStart = "SUBSCRIBE_";
    const size_t start = path.find(kStart);
    if (start == std::string::npos)
        return std::string();
    const size_t from = start + kStart.size();
    const size_t end = path.find("_test", from);
    if (end == std::string::npos)
        return std::string();
    return path.substr(from, end - from);
}

bool ReadProtocolFile(const std::string& path, std::string& data) {
    std::string bytes;
    if (!ReadRequestFile(path, bytes) || bytes.empty())
        return false;
    data.swap(bytes);
    return true;
}

std::string BuildLongRequest(const std::string& ip, const std::string& name,
                             const std::string& user, const std::string& password,
                             const std::string& body) {
    std::string out = "POST /" + name + " HTTP/1.1\r\nAuthorization: Basic " +
                      EncodeCredentials(user, password) +
                      "\r\nUser-Agent: Lurvane\r\nHost: " + HostHeaderText(ip) +
                      "\r\nContent-Length: " + std::to_string(body.size()) +
                      "\r\nConnection: keep-alive\r\nKeep-Alive: 300 \r\n\r\n";
    out += body;
    return out;
}

bool SubstituteServerAddress(std::string& request, const std::string& serverAddress) {
    if (serverAddress.empty())
        return false;
    const size_t headerEnd = request.find(kHeaderEnd);
    if (headerEnd == std::string::npos)
        return false;
    const size_t bodyStart = headerEnd + sizeof kHeaderEnd - 1;
    // The Content-Length line lies in the header; the request line comes before it.
    const size_t lengthLine = request.find(kContentLength);
    if (lengthLine == std::string::npos || lengthLine >= headerEnd)
        return false;
    const size_t numberStart = lengthLine + sizeof kContentLength - 1;
    const size_t numberEnd = request.find("\r\n", numberStart);

    // The value is the CDATA section inside the serverAddress element, nowhere else.
    const size_t element = FindServerAddressElement(request, bodyStart);
    if (element == std::string::npos)
        return false;
    const size_t openEnd = request.find('>', element);
    if (openEnd == std::string::npos || request[openEnd - 1] == '/')
        return false;  // <x/>
    const size_t close = request.find("</serverAddress", openEnd);
    static const std::string kCdata = "<![CDATA[";
    const size_t cdata = request.find(kCdata, openEnd);
    if (close == std::string::npos || cdata == std::string::npos || cdata > close)
        return false;
    const size_t valueStart = cdata + kCdata.size();
    const size_t valueEnd = request.find("]]>", valueStart);
    if (valueEnd == std::string::npos || valueEnd > close)
        return false;

    request.replace(valueStart, valueEnd - valueStart, serverAddress);
    const size_t bodySize = request.size() - bodyStart;
    request.replace(numberStart, numberEnd - numberStart, std::to_string(bodySize));
    return true;
}

PrepareResult PrepareLongRequest(const std::string& protocolFile, const std::string& ip,
                                 const std::string& name, const std::string& user,
                                 const std::string& password, const std::string& serverAddress,
                                 std::string& request) {
    if (ip.empty())
        return PrepareResult::NoIp;
    std::string body;
    if (!ReadProtocolFile(protocolFile, body))
        return PrepareResult::Unreadable;
    std::string built = BuildLongRequest(ip, name, user, password, body);
    // A subscription is always sent as its file says; follow-ups name the address the
    // device gave.
    if (!EqualsIgnoringCase(name, "SetSubscribe"))
        SubstituteServerAddress(built, serverAddress);
    request.swap(built);
    return PrepareResult::Ok;
}
