#include "request/short_request.h"

#include "catalogue/builtin_interfaces.h"
#include "codec/base64.h"
#include "net/host_text.h"

std::string EncodeCredentials(const std::string& user, const std::string& password) {
    return CBase64().Encode(user + ":" + password);
}

std::string HostOfUrl(const std::string& url) {
    static const std::string kScheme = "http://";
    const size_t start = url.compare(0, kScheme.size(), kScheme) == 0 ? kScheme.size() : 0;
    const size_t end = url.find_first_of(":/", start);
    return url.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string FormatShortRequestHeader(const std::string& path, const std::string& auth,
                                     const std::string& host, const std::string& body) {
    std::string text = "POST /" + path + " HTTP/1.1\r\nAuthorization: Basic " + auth +
                       "\r\nUser-Agent: Lurvane\r\nHost: " + host + "\r\n";
    if (!body.empty())
        text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    text += "\r\n";
    text += body;
    return text;
}

ShortRequest ComposeShortRequest(const API_INTERFACE* record, const std::string& itemText,
                                 const std::string& ip, const std::string& shortPort,
                                 const std::string& user, const std::string& password) {
    ShortRequest out;
    out.strInterface = itemText;
    std::string body;
    int channel = 0;
    if (record) {
        out.strPairInterface = record->strPairName;
        body = record->strBody;
        channel = record->bChannel;
    }
    // The host part of the URL; an IPv6 literal as HTTP writes it, in brackets.
    out.strHost =
        IsIpv6Literal(ip) ? HostHeaderText(ip) : HostOfUrl("http://" + ip + ":" + shortPort);
    out.strAuth = EncodeCredentials(user, password);

    // A password-changing body carries the default password as its old one: put the entered
    // password there. The new-password element keeps the template's value.
    const std::string defaultForm = kDefaultPasswordBase64;
    const size_t at = body.find(defaultForm);
    if (at != std::string::npos)
        body.replace(at, defaultForm.size(), CBase64().Encode(password));

    if (channel != 0)
        out.strInterface += "/1";
    out.strBody = body;
    if (!body.empty() && out.strInterface == "PtzControl/1")
        out.strInterface += "/Up";
    out.preview = FormatShortRequestHeader(out.strInterface, out.strAuth, out.strHost, body);
    return out;
}
