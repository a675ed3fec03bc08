#pragma once
// The decoding rules one group at a time: the reference for the tests and the fuzz target.

#include <cstddef>
#include <random>
#include <string>
#include <string_view>

inline constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// CR/LF skipped where a group begins, other bytes data (0 outside the alphabet), "=" in place 3
// or 4 ends a group, the group that holds a "=" ends the decoding, the end of the source reads
// as "=".
inline std::string PlainBase64Decode(std::string_view s) {
    auto at = [&](size_t k) { return k < s.size() ? s[k] : '='; };
    auto value = [&](size_t k) -> unsigned {
        const size_t v = kBase64Alphabet.find(at(k));
        return v == std::string_view::npos ? 0 : static_cast<unsigned>(v);
    };
    std::string out;
    for (size_t i = 0, p = 0; i < s.size(); i += 4) {
        if (at(p) == '\r' || at(p) == '\n') {
            ++p;
            i -= 3;
            continue;
        }
        const unsigned v = value(p) << 18 | value(p + 1) << 12 | value(p + 2) << 6 | value(p + 3);
        const int take = at(p + 2) == '=' ? 2 : at(p + 3) == '=' ? 3 : 4;
        for (int k = 0; k < take - 1; ++k) {
            out += static_cast<char>(v >> (16 - 8 * k) & 0xFF);
        }
        if (take < 4 || at(p) == '=' || at(p + 1) == '=') {
            break;
        }
        p += take;
    }
    return out;
}

// `length` characters drawn from the 64 alphabet characters only.
inline std::string CleanBase64(std::mt19937& rng, size_t length) {
    std::string text(length, 'A');
    for (char& c : text) {
        c = kBase64Alphabet[rng() % 64];
    }
    return text;
}
