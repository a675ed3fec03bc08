#include "net/host_text.h"

#include <arpa/inet.h>

bool IsIpv6Literal(const std::string& host) {
    const std::string address = host.substr(0, host.find('%'));
    if (address.find(':') == std::string::npos) {
        return false;
    }
    in6_addr parsed{};
    return inet_pton(AF_INET6, address.c_str(), &parsed) == 1;
}

std::string UrlHostText(const std::string& host) {
    if (!IsIpv6Literal(host)) {
        return host;
    }
    const std::size_t zone = host.find('%');
    if (zone == std::string::npos) {
        return "[" + host + "]";
    }
    std::string text = "[";
    text.append(host, 0, zone).append("%25").append(host, zone + 1).append("]");
    return text;
}

std::string HostHeaderText(const std::string& host) {
    if (!IsIpv6Literal(host))
        return host;
    std::string text = "[";
    text.append(host, 0, host.find('%')).append("]");
    return text;
}
