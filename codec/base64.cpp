#include "codec/base64.h"

#include <array>
#include <climits>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TESSALY_BASE64_SIMD 1
#endif

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Marks, in the fourth byte, the bytes that leave the fast decoding loop: "=", CR, LF.
constexpr uint32_t kStopMark = 0x80000000u;

struct DecodeTables {
    std::array<uint8_t, 256> value{};  // 6-bit value; 0 for every byte outside the alphabet
    // For the k-th character of a group: its value's bits already placed where they land in
    // the three output bytes of a little-endian word, with kStopMark on "=", CR and LF. The
    // four entries of a group OR together into the group's bytes 0, 1 and 2.
    std::array<uint32_t, 256> placed[4]{};

    constexpr DecodeTables() {
        for (int v = 0; v < 64; ++v) {
            value[static_cast<uint8_t>(kAlphabet[v])] = static_cast<uint8_t>(v);
        }
        for (int c = 0; c < 256; ++c) {
            const uint32_t v = value[c];
            const uint32_t stop = (c == '=' || c == '\r' || c == '\n') ? kStopMark : 0u;
            placed[0][c] = (v << 2) | stop;
            placed[1][c] = (v >> 4) | ((v & 15) << 12) | stop;
            placed[2][c] = ((v >> 2) << 8) | ((v & 3) << 22) | stop;
            placed[3][c] = (v << 16) | stop;
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

#if TESSALY_BASE64_SIMD
// Decodes 16 characters (four whole groups) into 12 bytes with SSSE3; false, writing
// nothing, when "=", CR or LF is among them. Bytes outside the alphabet give 0, as in the
// tables: each byte is classified by its two nibbles, valid ones get the offset of their
// range added, the others are cleared.
__attribute__((target("ssse3"))) bool DecodeSixteen(const unsigned char* src, unsigned char* out) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    const __m128i stops = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(c, _mm_set1_epi8('=')), _mm_cmpeq_epi8(c, _mm_set1_epi8('\r'))),
        _mm_cmpeq_epi8(c, _mm_set1_epi8('\n')));
    if (_mm_movemask_epi8(stops) != 0) {
        return false;
    }
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i hi = _mm_and_si128(_mm_srli_epi32(c, 4), nibble);
    const __m128i lo = _mm_and_si128(c, nibble);
    // A byte is outside the alphabet when the bits chosen by its two nibbles meet.
    const __m128i byLow = _mm_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                                        0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
    const __m128i byHigh = _mm_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10,
                                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
    const __m128i outside =
        _mm_and_si128(_mm_shuffle_epi8(byLow, lo), _mm_shuffle_epi8(byHigh, hi));
    const __m128i valid = _mm_cmpeq_epi8(outside, _mm_setzero_si128());
    // Offsets by high nibble; "/" shares the high nibble of "+" and takes the slot before.
    const __m128i offsets = _mm_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m128i slash = _mm_cmpeq_epi8(c, _mm_set1_epi8('/'));
    const __m128i offset = _mm_shuffle_epi8(offsets, _mm_add_epi8(hi, slash));
    const __m128i v = _mm_and_si128(_mm_add_epi8(c, offset), valid);
    // Pairs into 12 bits, pairs of those into the 24 bits of a group, most significant
    // byte first.
    const __m128i pairs = _mm_maddubs_epi16(v, _mm_set1_epi32(0x01400140));
    const __m128i groups = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00011000));
    const __m128i bytes = _mm_shuffle_epi8(
        groups, _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);
    const uint32_t last = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(bytes, 8)));
    std::memcpy(out + 8, &last, 4);
    return true;
}

const bool kHasSsse3 = __builtin_cpu_supports("ssse3");
#endif

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
    const auto& t0 = kTables.placed[0];
    const auto& t1 = kTables.placed[1];
    const auto& t2 = kTables.placed[2];
    const auto& t3 = kTables.placed[3];
    const auto& value = kTables.value;
    unsigned char* out = dst;
    // i counts source positions (4 per group, 1 per skipped CR or LF); p is the read index.
    // p never runs ahead of i, and falls behind it only after a group ended at "=".
    int64_t i = 0;
    int64_t p = 0;
    const int64_t n = srcLen;
    // A byte at k, or "=" past the end of the source.
    auto at = [&](int64_t k) -> unsigned char { return k < n ? s[k] : '='; };
    auto group = [&](const unsigned char* g) { return t0[g[0]] | t1[g[1]] | t2[g[2]] | t3[g[3]]; };
    while (i < n) {
        if (p == i) {
            // Whole groups without "=", CR or LF: no step per character.
#if TESSALY_BASE64_SIMD
            while (kHasSsse3 && i + 16 <= n && DecodeSixteen(s + i, out)) {
                out += 12;
                i += 16;
            }
#endif
            while (i + 16 <= n) {
                const uint32_t a = group(s + i);
                const uint32_t b = group(s + i + 4);
                const uint32_t c = group(s + i + 8);
                const uint32_t d = group(s + i + 12);
                if ((a | b | c | d) & kStopMark) {
                    break;
                }
                const uint64_t ab = a | static_cast<uint64_t>(b) << 24;
                const uint64_t cd = c | static_cast<uint64_t>(d) << 24;
                std::memcpy(out, &ab, 6);
                std::memcpy(out + 6, &cd, 6);
                out += 12;
                i += 16;
            }
            while (i + 4 <= n) {
                const uint32_t a = group(s + i);
                if (a & kStopMark) {
                    break;
                }
                out[0] = static_cast<unsigned char>(a);
                out[1] = static_cast<unsigned char>(a >> 8);
                out[2] = static_cast<unsigned char>(a >> 16);
                out += 3;
                i += 4;
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
