#pragma once
// The decoding rules spelled out one character at a time, and clean alphabet text: the
// reference that the tests and the Base64 fuzz target hold every decoding path against.

#include <cstddef>
#include <random>
#include <string>
#include <string_view>

// CR and LF are skipped where a group begins, every other byte is data (0 outside the
// alphabet), a group ends at "=" in its third or fourth place yet counts four positions, and
// past the end of the source the characters read as "=".
inline std::string PlainBase64Decode(std::string_view s) {
    auto value = [](unsigned char c) -> unsigned {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        return 0;
    };
    const size_t n = s.size();
    auto at = [&](size_t k) -> unsigned char { return k < n ? s[k] : '='; };
    std::string out;
    size_t i = 0;
    size_t p = 0;
    while (i < n) {
        if (at(p) == '\r' || at(p) == '\n') {
            ++p;
            ++i;
            continue;
        }
        unsigned v = value(at(p)) << 18 | value(at(p + 1)) << 12;
        p += 2;
        out += static_cast<char>(v >> 16 & 0xFF);
        if (at(p) != '=') {
            v |= value(at(p)) << 6;
            ++p;
            out += static_cast<char>(v >> 8 & 0xFF);
            if (at(p) != '=') {
                v |= value(at(p));
                ++p;
                out += static_cast<char>(v & 0xFF);
            }
        }
        i += 4;
    }
    return out;
}

// `length` characters drawn from the 64 alphabet characters only.
inline std::string CleanBase64(std::mt19937& rng, size_t length) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text(length, 'A');
    for (char& c : text) {
        c = kAlphabet[rng() % 64];
    }
    return text;
}
