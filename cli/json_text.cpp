#include "cli/json_text.h"

#include <cstdio>

#include "session/request_text.h"

std::string JsonString(std::string_view bytes) {
    std::string out = "\"";
    out.reserve(bytes.size() + bytes.size() / 8 + 2);
    for (size_t i = 0; i < bytes.size();) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x80) {
            const size_t length = ValidUtf8Length(bytes, i);
            if (length > 0) {
                out.append(bytes.substr(i, length));
                i += length;
            } else {
                out += "\\ufffd";
                ++i;
            }
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++i;
    }
    return out + "\"";
}

std::string OutcomeJson(const HttpOutcome& outcome) {
    return "{\"status\":" + std::to_string(outcome.status) +
           ",\"reason\":" + JsonString(outcome.reason) +
           ",\"timeMs\":" + std::to_string(outcome.elapsedMs) +
           ",\"bytes\":" + std::to_string(outcome.Bytes()) +
           ",\"auth\":" + JsonString(outcome.auth) + ",\"body\":" + JsonString(outcome.body) +
           ",\"error\":" + JsonString(outcome.error) + "}";
}
