#pragma once

#include <string>

// How the IP text of the window (an IPv4 address, a host name or an IPv6 literal, perhaps with
// a zone such as "fe80::1%eth0") is written where HTTP and URLs need it. Texts that are not
// IPv6 literals come back unchanged, byte for byte.

// True when the text is an IPv6 address (with an optional "%zone"), without brackets.
bool IsIpv6Literal(const std::string& host);

// The host as a URL writes it: an IPv6 literal in brackets with its zone as "%25zone"
// ("[fe80::1%25eth0]"); anything else unchanged.
std::string UrlHostText(const std::string& host);

// The host as a Host header carries it: an IPv6 literal in brackets, without its zone (the
// zone names an interface of this machine and means nothing to the device); anything else
// unchanged.
std::string HostHeaderText(const std::string& host);
