#pragma once

// Byte-level helpers shared by the XML parser and navigation. Internal to codec/.

#include <cstddef>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xml_scan {

#if defined(__x86_64__)
// True when the processor has AVX2 (asked once).
bool LongRunsUseAvx2();
// p advanced over the whole blocks of 64 bytes at its start that hold neither a nor b (AVX2).
const char* SkipBlocksAvx2(const char* p, const char* end, char a, char b);
// Copies the whole blocks of 64 bytes at the start of [p, end) that hold neither a nor b to
// out; returns the bytes copied (AVX2).
std::size_t CopyBlocksAvx2(const char* p, const char* end, char* out, char a, char b);
// Runs shorter than this are not worth the call.
constexpr std::ptrdiff_t kLongRun = 256;
#endif

// Space, tab, LF or CR.
inline bool IsSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// A byte that may begin an element name: "A"-"Z", "_", ":" and every byte from "a" (0x61) up.
inline bool IsNameStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x61;
}

// A document name (docName) matches a given name when the given name starts with it and
// then ends or goes on with space, "=", "/", "[" or "]". Case-sensitive.
inline bool NameMatches(std::string_view docName, std::string_view given) {
    if (given.size() < docName.size() ||
        std::memcmp(given.data(), docName.data(), docName.size()) != 0) {
        return false;
    }
    if (given.size() == docName.size()) {
        return true;
    }
    const char c = given[docName.size()];
    return c == ' ' || c == '=' || c == '/' || c == '[' || c == ']';
}

// First A or B in [p, end), or end.
template <char A, char B>
inline const char* FindEither(const char* p, const char* end) {
#if defined(__x86_64__)
    if (end - p >= kLongRun && LongRunsUseAvx2()) {
        p = SkipBlocksAvx2(p, end, A, B);
    }
#endif
#if defined(__SSE2__)
    const __m128i lt = _mm_set1_epi8(A);
    const __m128i gt = _mm_set1_epi8(B);
    auto hits = [&](const char* at) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        return _mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, gt));
    };
    // Long runs (Base64 pictures) 64 bytes at a time, one test per run of 64.
    while (end - p >= 64) {
        const __m128i any = _mm_or_si128(_mm_or_si128(hits(p), hits(p + 16)),
                                         _mm_or_si128(hits(p + 32), hits(p + 48)));
        if (_mm_movemask_epi8(any) != 0) {
            break;
        }
        p += 64;
    }
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, gt)));
        if (mask != 0) {
            return p + __builtin_ctz(static_cast<unsigned>(mask));
        }
        p += 16;
    }
#endif
    while (p < end && *p != A && *p != B) {
        ++p;
    }
    return p;
}

// Copies [p, end) to out up to the first A or B; returns the number of bytes copied (all of
// them when there is neither). out must hold end - p bytes.
template <char A, char B>
inline std::size_t CopyUpToEither(const char* p, const char* end, char* out) {
    const char* const start = p;
#if defined(__x86_64__)
    if (end - p >= kLongRun && LongRunsUseAvx2()) {
        p += CopyBlocksAvx2(p, end, out, A, B);
    }
#endif
#if defined(__SSE2__)
    const __m128i a = _mm_set1_epi8(A);
    const __m128i b = _mm_set1_epi8(B);
    // 64 bytes at a time: loaded, tested, stored whole only when they hold neither byte.
    while (end - p >= 64) {
        const __m128i* in = reinterpret_cast<const __m128i*>(p);
        const __m128i v0 = _mm_loadu_si128(in);
        const __m128i v1 = _mm_loadu_si128(in + 1);
        const __m128i v2 = _mm_loadu_si128(in + 2);
        const __m128i v3 = _mm_loadu_si128(in + 3);
        auto hits = [&](__m128i v) {
            return _mm_or_si128(_mm_cmpeq_epi8(v, a), _mm_cmpeq_epi8(v, b));
        };
        const __m128i any =
            _mm_or_si128(_mm_or_si128(hits(v0), hits(v1)), _mm_or_si128(hits(v2), hits(v3)));
        if (_mm_movemask_epi8(any) != 0) {
            break;
        }
        __m128i* to = reinterpret_cast<__m128i*>(out + (p - start));
        _mm_storeu_si128(to, v0);
        _mm_storeu_si128(to + 1, v1);
        _mm_storeu_si128(to + 2, v2);
        _mm_storeu_si128(to + 3, v3);
        p += 64;
    }
#endif
    while (p < end && *p != A && *p != B) {
        out[p - start] = *p;
        ++p;
    }
    return static_cast<std::size_t>(p - start);
}

// First "<" or ">" in [p, end), or end.
inline const char* FindAngle(const char* p, const char* end) {
    return FindEither<'<', '>'>(p, end);
}

// First c in [p, end), or end.
inline const char* FindByte(const char* p, const char* end, char c) {
    if (p >= end) {
        return end;
    }
    const void* hit = std::memchr(p, c, static_cast<size_t>(end - p));
    return hit ? static_cast<const char*>(hit) : end;
}

}  // namespace xml_scan
