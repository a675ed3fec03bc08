#include "session/curl_command.h"

#include <cstdio>

#include "session/request_text.h"

namespace {

// The bytes as a printf format that prints exactly them, to go inside single quotes.
std::string PrintfFormat(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (size_t i = 0; i < bytes.size();) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x80) {
            if (const size_t length = ValidUtf8Length(bytes, i)) {
                out.append(bytes, i, length);
                i += length;
                continue;
            }
        }
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '%') {
            out += "%%";
        } else if (c < 0x20 || c >= 0x7F || c == '\'') {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", c);
            out += octal;
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    return out;
}

}  // namespace

std::string ShellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string CurlCommandLine(const std::string& url, const std::string& user,
                            const std::string& body, const TlsTrust* tls) {
    std::string command;
    if (!body.empty())
        command = "printf '" + PrintfFormat(body) + "' | ";
    command += "curl " + ShellQuoted(url);
    if (tls != nullptr && (tls->insecure || !tls->pin.empty()))
        command += " -k";
    if (tls != nullptr && !tls->pin.empty())
        command += " --pinnedpubkey " + ShellQuoted(tls->pin);
    command += " --anyauth -u " + ShellQuoted(user) + " -H " +
               ShellQuoted("Content-type:text/plain; charset=UTF-8") + " --data-binary " +
               (body.empty() ? std::string("''") : std::string("@-"));
    return command;
}
