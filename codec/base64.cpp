#include "codec/base64.h"

#include <array>
#include <climits>
#include <cstdint>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Marks, above the 24 data bits, the bytes that leave the fast decoding loop: "=", CR, LF.
constexpr uint32_t kSpecial = 0x01000000u;

struct DecodeTables {
    std::array<uint8_t, 256> value{};  // 6-bit value; 0 for every byte outside the alphabet
    // value shifted into its place of a group of four, with kSpecial on "=", CR and LF
    std::array<uint32_t, 256> shifted[4]{};

    constexpr DecodeTables() {
        for (int v = 0; v < 64; ++v) {
            value[static_cast<uint8_t>(kAlphabet[v])] = static_cast<uint8_t>(v);
        }
        for (int c = 0; c < 256; ++c) {
            const bool special = c == '=' || c == '\r' || c == '\n';
            for (int k = 0; k < 4; ++k) {
                shifted[k][c] =
                    (static_cast<uint32_t>(value[c]) << (18 - 6 * k)) | (special ? kSpecial : 0u);
            }
        }
    }
};

constexpr DecodeTables kTables;

// Characters emitted (line breaks not counted) that advance the column counter.
int64_t CountedChars(int64_t srcLen) {
    return srcLen / 3 * 4 + (srcLen % 3 ? 3 : 0);
}

int64_t EncodedLength(int64_t srcLen, int lineLength) {
    const int64_t chars = (srcLen + 2) / 3 * 4;
    const int64_t breaks = lineLength > 0 ? CountedChars(srcLen) / lineLength : 0;
    return chars + 2 * breaks;
}

}  // namespace

CBase64::CBase64() : m_nLineLength(INT_MAX) {}

CBase64::CBase64(int lineLength) : m_nLineLength(lineLength) {}

int CBase64::EncodedSize(int srcLen, int lineLength) {
    if (srcLen <= 0) {
        return 1;
    }
    const int64_t size = EncodedLength(srcLen, lineLength) + 1;
    return size > INT_MAX ? -1 : static_cast<int>(size);
}

int CBase64::Encode(const unsigned char* src, int srcLen, char* dst, int dstSize) const {
    if (dst == nullptr) {
        return -1;
    }
    if (src == nullptr || srcLen < 0) {
        srcLen = 0;
    }
    const int need = EncodedSize(srcLen, m_nLineLength);
    if (need < 0 || dstSize < need) {
        if (dstSize > 0) {
            dst[0] = '\0';
        }
        return -1;
    }
    const int full = srcLen / 3;
    const int rest = srcLen % 3;
    char* out = dst;
    const unsigned char* s = src;
    if (m_nLineLength <= 0 || CountedChars(srcLen) < m_nLineLength) {
        // No line break can fall anywhere: plain groups.
        for (int g = 0; g < full; ++g, s += 3) {
            out[0] = kAlphabet[s[0] >> 2];
            out[1] = kAlphabet[((s[0] & 3) << 4) | (s[1] >> 4)];
            out[2] = kAlphabet[((s[1] & 15) << 2) | (s[2] >> 6)];
            out[3] = kAlphabet[s[2] & 63];
            out += 4;
        }
    } else {
        int column = 0;
        auto put = [&](char c) {
            *out++ = c;
            if (++column == m_nLineLength) {
                *out++ = '\r';
                *out++ = '\n';
                column = 0;
            }
        };
        for (int g = 0; g < full; ++g, s += 3) {
            put(kAlphabet[s[0] >> 2]);
            put(kAlphabet[((s[0] & 3) << 4) | (s[1] >> 4)]);
            put(kAlphabet[((s[1] & 15) << 2) | (s[2] >> 6)]);
            put(kAlphabet[s[2] & 63]);
        }
        if (rest == 1) {
            put(kAlphabet[s[0] >> 2]);
            put(kAlphabet[(s[0] & 3) << 4]);
            put('=');
        } else if (rest == 2) {
            put(kAlphabet[s[0] >> 2]);
            put(kAlphabet[((s[0] & 3) << 4) | (s[1] >> 4)]);
            put(kAlphabet[(s[1] & 15) << 2]);
        }
        if (rest != 0) {
            *out++ = '=';  // the final pad is never followed by a line break
        }
        *out = '\0';
        return static_cast<int>(out - dst);
    }
    if (rest == 1) {
        out[0] = kAlphabet[s[0] >> 2];
        out[1] = kAlphabet[(s[0] & 3) << 4];
        out[2] = '=';
        out[3] = '=';
        out += 4;
    } else if (rest == 2) {
        out[0] = kAlphabet[s[0] >> 2];
        out[1] = kAlphabet[((s[0] & 3) << 4) | (s[1] >> 4)];
        out[2] = kAlphabet[(s[1] & 15) << 2];
        out[3] = '=';
        out += 4;
    }
    *out = '\0';
    return static_cast<int>(out - dst);
}

std::string CBase64::Encode(std::string_view src) const {
    if (src.size() > static_cast<size_t>(INT_MAX)) {
        return {};
    }
    const int srcLen = static_cast<int>(src.size());
    const int size = EncodedSize(srcLen, m_nLineLength);
    if (size < 0) {
        return {};
    }
    std::string text(static_cast<size_t>(size), '\0');
    const int written =
        Encode(reinterpret_cast<const unsigned char*>(src.data()), srcLen, text.data(), size);
    text.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return text;
}

int Base64DecodedSize(int srcLen) {
    if (srcLen <= 0) {
        return 1;
    }
    return static_cast<int>((static_cast<int64_t>(srcLen) + 3) / 4 * 3 + 1);
}

int Base64Decode(const char* src, int srcLen, unsigned char* dst) {
    if (dst == nullptr) {
        return 0;
    }
    if (src == nullptr || srcLen <= 0) {
        dst[0] = '\0';
        return 0;
    }
    const auto* s = reinterpret_cast<const unsigned char*>(src);
    const auto& t0 = kTables.shifted[0];
    const auto& t1 = kTables.shifted[1];
    const auto& t2 = kTables.shifted[2];
    const auto& t3 = kTables.shifted[3];
    const auto& value = kTables.value;
    unsigned char* out = dst;
    // i counts source positions (4 per group, 1 per skipped CR or LF); p is the read index.
    // p never runs ahead of i, and falls behind it only after a group ended at "=".
    int64_t i = 0;
    int64_t p = 0;
    const int64_t n = srcLen;
    // A byte at k, or "=" past the end of the source.
    auto at = [&](int64_t k) -> unsigned char { return k < n ? s[k] : '='; };
    while (i < n) {
        if (p == i) {
            // Whole groups without "=", CR or LF: table look-ups only.
            while (i + 8 <= n) {
                const uint32_t a = t0[s[i]] | t1[s[i + 1]] | t2[s[i + 2]] | t3[s[i + 3]];
                const uint32_t b = t0[s[i + 4]] | t1[s[i + 5]] | t2[s[i + 6]] | t3[s[i + 7]];
                if ((a | b) & kSpecial) {
                    break;
                }
                out[0] = static_cast<unsigned char>(a >> 16);
                out[1] = static_cast<unsigned char>(a >> 8);
                out[2] = static_cast<unsigned char>(a);
                out[3] = static_cast<unsigned char>(b >> 16);
                out[4] = static_cast<unsigned char>(b >> 8);
                out[5] = static_cast<unsigned char>(b);
                out += 6;
                i += 8;
            }
            if (i + 4 <= n) {
                const uint32_t a = t0[s[i]] | t1[s[i + 1]] | t2[s[i + 2]] | t3[s[i + 3]];
                if (!(a & kSpecial)) {
                    out[0] = static_cast<unsigned char>(a >> 16);
                    out[1] = static_cast<unsigned char>(a >> 8);
                    out[2] = static_cast<unsigned char>(a);
                    out += 3;
                    i += 4;
                    p = i;
                    continue;
                }
            }
            p = i;
            if (i >= n) {
                break;
            }
        }
        // One exact step: a line break where a group would begin, or one group.
        const unsigned char c = s[p];
        if (c == '\r' || c == '\n') {
            ++p;
            ++i;
            continue;
        }
        uint32_t v = (static_cast<uint32_t>(value[c]) << 18) |
                     (static_cast<uint32_t>(value[at(p + 1)]) << 12);
        p += 2;
        *out++ = static_cast<unsigned char>(v >> 16);
        if (at(p) != '=') {
            v |= static_cast<uint32_t>(value[s[p]]) << 6;
            ++p;
            *out++ = static_cast<unsigned char>(v >> 8);
            if (at(p) != '=') {
                v |= value[s[p]];
                ++p;
                *out++ = static_cast<unsigned char>(v);
            }
        }
        i += 4;
    }
    *out = '\0';
    return static_cast<int>(out - dst);
}
