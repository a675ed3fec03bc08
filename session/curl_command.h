#pragma once

#include <string>

#include "net/tls.h"

// A command line for the curl program that posts what HttpPost posts: the same URL, the
// header "Content-type:text/plain; charset=UTF-8", Basic or Digest as the device asks
// (--anyauth) and the body's bytes. The password is left out: curl asks for it. A body goes
// in through printf and "--data-binary @-" (every byte kept: CR, LF, quotes and bytes that are
// no UTF-8 are escaped, UTF-8 text stays readable); an empty body is "--data-binary ''".
// With `tls` (an https URL) the certificate is checked as HttpPost checks it: a pin alone
// decides (-k --pinnedpubkey), "insecure" accepts any (-k), else curl's authorities decide.
// The words are quoted for a POSIX shell. curl splits a user name at its first ":", so such a
// name cannot be given this way. Any lengths.
std::string CurlCommandLine(const std::string& url, const std::string& user,
                            const std::string& body, const TlsTrust* tls = nullptr);

// The text quoted for a POSIX shell: in single quotes, each "'" written as '\''.
std::string ShellQuoted(const std::string& text);
