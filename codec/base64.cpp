#include "codec/base64.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "codec/base64_paths.h"

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

// Fast runs: each takes whole groups from position i for as long as it can, stepping over CR
// and LF where a group begins, and returns the position where the exact steps must take
// over (a "=", a CR or LF inside a group, or too few characters left for a block). Output
// goes to out, which is moved past the bytes written. A run may store up to a block's worth
// of bytes past the ones it keeps, but never past what Base64DecodedSize allows: every
// block it stores lies wholly before the end of the source.
using FastRun = int64_t (*)(const unsigned char* s, int64_t i, int64_t n, unsigned char*& out);

inline bool IsLineBreak(unsigned char c) {
    return c == '\r' || c == '\n';
}

// A wide step stopped at character `at` of its block: keep the whole groups before it and, when
// the stop is a line break where a group begins, step over the break. False when the exact
// step-by-step decoding has to take over from `i`.
inline bool PassStop(const unsigned char* s, int64_t n, int at, int64_t& i, unsigned char*& o) {
    o += 3 * (at >> 2);
    i += at & ~3;
    if ((at & 3) != 0 || !IsLineBreak(s[i])) {
        return false;
    }
    do {
        ++i;
    } while (i < n && IsLineBreak(s[i]));
    return true;
}

// Four characters at a time by table look-up, on any processor.
int64_t RunPortable(const unsigned char* s, int64_t i, int64_t n, unsigned char*& out) {
    const auto& t0 = kTables.placed[0];
    const auto& t1 = kTables.placed[1];
    const auto& t2 = kTables.placed[2];
    const auto& t3 = kTables.placed[3];
    auto group = [&](const unsigned char* g) { return t0[g[0]] | t1[g[1]] | t2[g[2]] | t3[g[3]]; };
    unsigned char* o = out;
    while (i + 4 <= n) {
        if (i + 16 <= n) {
            const uint32_t a = group(s + i);
            const uint32_t b = group(s + i + 4);
            const uint32_t c = group(s + i + 8);
            const uint32_t d = group(s + i + 12);
            if (((a | b | c | d) & kStopMark) == 0) {
                const uint64_t ab = a | static_cast<uint64_t>(b) << 24;
                const uint64_t cd = c | static_cast<uint64_t>(d) << 24;
                std::memcpy(o, &ab, 6);
                std::memcpy(o + 6, &cd, 6);
                o += 12;
                i += 16;
                continue;
            }
        }
        const uint32_t a = group(s + i);
        if (a & kStopMark) {
            if (!IsLineBreak(s[i])) {
                break;
            }
            ++i;  // a line break where a group begins
            continue;
        }
        o[0] = static_cast<unsigned char>(a);
        o[1] = static_cast<unsigned char>(a >> 8);
        o[2] = static_cast<unsigned char>(a >> 16);
        o += 3;
        i += 4;
    }
    out = o;
    return i;
}

#if TESSALY_BASE64_SIMD
// Sixteen characters (four whole groups) into twelve bytes with SSSE3. Bytes outside the
// alphabet give 0, as in the tables: each byte is classified by its two nibbles, valid ones
// get the offset of their range added, the others are cleared.
__attribute__((target("ssse3"), always_inline)) inline void DecodeSixteen(__m128i c,
                                                                          unsigned char* out) {
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
}

// Bit k set where byte k is "=", CR or LF.
__attribute__((target("ssse3"), always_inline)) inline int StopsSixteen(__m128i c) {
    const __m128i stops = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(c, _mm_set1_epi8('=')), _mm_cmpeq_epi8(c, _mm_set1_epi8('\r'))),
        _mm_cmpeq_epi8(c, _mm_set1_epi8('\n')));
    return _mm_movemask_epi8(stops);
}

// Blocks of sixteen characters; a line break at a group start ends a block early, the next
// block starts after it.
__attribute__((target("ssse3"))) int64_t RunSsse3(const unsigned char* s, int64_t i, int64_t n,
                                                  unsigned char*& out) {
    unsigned char* o = out;
    while (i + 16 <= n) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const int stops = StopsSixteen(c);
        DecodeSixteen(c, o);
        if (stops == 0) {
            o += 12;
            i += 16;
            continue;
        }
        const int at = __builtin_ctz(static_cast<unsigned>(stops));
        if (!PassStop(s, n, at, i, o)) {
            break;
        }
    }
    out = o;
    return RunPortable(s, i, n, out);
}

// Thirty-two characters (eight groups) into 24 bytes with AVX2, as DecodeSixteen does in each
// half. Returns a vector that is zero exactly when all 32 characters are in the alphabet ("=",
// CR and LF are not).
// With kAnyByte false the bytes outside the alphabet decode to garbage instead of 0, for
// callers that give such blocks back anyway.
// With kWide the 24 bytes are written as one 32-byte store: the caller must own 8 more bytes.
template <bool kAnyByte = true, bool kWide = false>
__attribute__((target("avx2"), always_inline)) inline __m256i DecodeThirtyTwo(__m256i c,
                                                                              unsigned char* out) {
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i hi = _mm256_and_si256(_mm256_srli_epi32(c, 4), nibble);
    const __m256i lo = _mm256_and_si256(c, nibble);
    const __m256i byLow =
        _mm256_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A,
                         0x1B, 0x1B, 0x1B, 0x1A, 0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                         0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
    const __m256i byHigh =
        _mm256_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10,
                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08,
                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
    const __m256i outside =
        _mm256_and_si256(_mm256_shuffle_epi8(byLow, lo), _mm256_shuffle_epi8(byHigh, hi));
    const __m256i offsets =
        _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 19, 4,
                         -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i slash = _mm256_cmpeq_epi8(c, _mm256_set1_epi8('/'));
    const __m256i offset = _mm256_shuffle_epi8(offsets, _mm256_add_epi8(hi, slash));
    __m256i v = _mm256_add_epi8(c, offset);
    if constexpr (kAnyByte) {
        v = _mm256_and_si256(v, _mm256_cmpeq_epi8(outside, _mm256_setzero_si256()));
    }
    const __m256i pairs = _mm256_maddubs_epi16(v, _mm256_set1_epi32(0x01400140));
    const __m256i groups = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
    const __m256i inLane = _mm256_shuffle_epi8(
        groups, _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2, 1, 0, 6,
                                 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
    // Twelve bytes of each half side by side.
    const __m256i bytes =
        _mm256_permutevar8x32_epi32(inLane, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
    if constexpr (kWide) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), bytes);
    } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_extracti128_si256(bytes, 1));
    }
    return outside;
}

__attribute__((target("avx2"), always_inline)) inline uint32_t Mask(__m256i c, char byte) {
    return static_cast<uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(c, _mm256_set1_epi8(byte))));
}

// Byte j of the 32 bytes at kSlide + 32 - cut is all ones exactly when j >= cut.
alignas(64) constexpr unsigned char kSlide[64] = {
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// Lines of 76 characters and CR LF, the usual shape: 8 lines (624 bytes, 608 characters) make
// 19 blocks whose places are fixed. A block either lies within a line or has the CR LF at a
// known place inside (its bytes after the break are taken 2 further on).
constexpr int kPeriodLines = 8;
constexpr int64_t kPeriodBytes = kPeriodLines * 78;

// Where block j of a period starts in the source, and how many of its characters come before
// the break inside it (32: none inside).
constexpr int64_t PeriodBlockStart(int j) {
    return 32 * j + 2 * (32 * j / 76);
}
constexpr int PeriodBlockCut(int j) {
    return (32 * j + 31) / 76 != 32 * j / 76 ? 76 * (32 * j / 76 + 1) - 32 * j : 32;
}

static_assert(19 * 32 == kPeriodLines * 76 && PeriodBlockStart(18) + 32 == kPeriodBytes - 2,
              "19 blocks fill 8 lines and end at the last break");

// Block kJ of a period starting at s, decoded into its place in out.
template <int kJ>
__attribute__((target("avx2"), always_inline)) inline void DecodePeriodBlock(const unsigned char* s,
                                                                             unsigned char* out,
                                                                             __m256i& stray) {
    constexpr int64_t kStart = PeriodBlockStart(kJ);
    constexpr int kCut = PeriodBlockCut(kJ);
    __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + kStart));
    if constexpr (kCut < 32) {
        const __m256i after = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + kStart + 2));
        const __m256i moved =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kSlide + 32 - kCut));
        c = _mm256_blendv_epi8(c, after, moved);
    }
    stray = _mm256_or_si256(stray, DecodeThirtyTwo<false, true>(c, out + 24 * kJ));
}

// One period from s (at a line's start) into out; bytes outside the alphabet are ORed into
// stray. Returns nonzero when a break is not CR LF.
template <int... J>
__attribute__((target("avx2"), always_inline)) inline uint32_t DecodePeriod76(
    const unsigned char* s, unsigned char* out, __m256i& stray, std::integer_sequence<int, J...>) {
    (DecodePeriodBlock<J>(s, out, stray), ...);
    uint32_t misplaced = 0;
    for (int line = 0; line < kPeriodLines; ++line) {
        uint16_t pair;
        std::memcpy(&pair, s + 78 * line + 76, 2);
        misplaced |= pair ^ static_cast<uint16_t>('\r' | '\n' << 8);
    }
    return misplaced;
}

// Text broken into lines of one length L (a multiple of four, at least 32) by CR LF, starting
// at i, r characters into a line. Whole blocks up to each line's break, then one block with
// the CR LF cut out of it (the bytes after it slide down). Where the breaks lie follows from
// L alone, so no block waits for the bytes of the one before. Whether the text really has
// that shape is checked per chunk of lines; a chunk that does not is given back (i and out
// as they were before it). Returns the position reached.
__attribute__((target("avx2"), noinline)) int64_t RunAvx2Lines(const unsigned char* s, int64_t i,
                                                               int64_t n, unsigned char*& out,
                                                               int64_t L, int64_t r) {
    constexpr int kChunkLines = 16;
    unsigned char* o = out;
    // Each line step reads at most L + 34 bytes from where it starts, a period of lines
    // (which may begin at the chunk's last line) no more; the margin keeps the wide stores
    // within Base64DecodedSize.
    while (i + (kChunkLines + kPeriodLines) * (L + 34) + 64 <= n) {
        const int64_t chunkI = i;
        unsigned char* const chunkOut = o;
        // Any byte outside the alphabet left in a block, "=", CR and LF among them. Other such
        // bytes are exact too, but rare enough to leave to the general path.
        __m256i stray = _mm256_setzero_si256();
        uint32_t misplaced = 0;  // a break that is not CR LF
        for (int line = 0; line < kChunkLines; ++line) {
            if (L == 76 && r == 0) {
                // At a line's start the blocks of the next lines lie where the period says.
                misplaced |= DecodePeriod76(s + i, o, stray, std::make_integer_sequence<int, 19>{});
                o += 19 * 24;
                i += kPeriodBytes;
                line += kPeriodLines - 1;
                continue;
            }
            int64_t k = L - r;  // characters of this line still to come
            for (; k >= 32; k -= 32) {
                const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
                stray = _mm256_or_si256(stray, DecodeThirtyTwo<false, true>(c, o));
                o += 24;
                i += 32;
            }
            uint16_t pair;
            std::memcpy(&pair, s + i + k, 2);
            misplaced |= pair ^ static_cast<uint16_t>('\r' | '\n' << 8);
            if (k == 0) {
                // The line ends with the last block: step over its break to the next line.
                i += 2;
                r = 0;
                continue;
            }
            const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
            const __m256i after = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i + 2));
            const __m256i moved =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kSlide + 32 - k));
            const __m256i joined = _mm256_blendv_epi8(c, after, moved);
            stray = _mm256_or_si256(stray, DecodeThirtyTwo<false, true>(joined, o));
            o += 24;
            i += 34;
            r = 32 - k;
        }
        if (misplaced != 0 || !_mm256_testz_si256(stray, stray)) {
            out = chunkOut;
            return chunkI;
        }
    }
    out = o;
    return i;
}

// Blocks of 32 characters. A line break of one or two bytes at a group start inside a block
// is cut out of it (the bytes after it slide down), so lines of any multiple of four keep
// the blocks full. At the first CR LF the length of the line after it is measured; when the
// text looks like lines of that length, RunAvx2Lines takes over.
__attribute__((target("avx2"))) int64_t RunAvx2(const unsigned char* s, int64_t i, int64_t n,
                                                unsigned char*& out) {
    const __m256i index =
        _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                         21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
    bool linesTried = false;
    unsigned char* o = out;
    while (i + 32 <= n) {
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
        // Far enough from the end, the 8 bytes a wide store adds lie within the output.
        const __m256i outside =
            i + 48 <= n ? DecodeThirtyTwo<false, true>(c, o) : DecodeThirtyTwo<false, false>(c, o);
        if (_mm256_testz_si256(outside, outside)) {
            o += 24;
            i += 32;
            continue;
        }
        DecodeThirtyTwo(c, o);  // again, with the bytes outside the alphabet as 0
        const uint32_t breaks = Mask(c, '\r') | Mask(c, '\n');
        const uint32_t pads = Mask(c, '=');
        if ((breaks | pads) == 0) {  // other bytes outside the alphabet decode as 0
            o += 24;
            i += 32;
            continue;
        }
        const int at = __builtin_ctz(breaks | pads);
        if ((at & 3) == 0 && at < 31 && ((breaks >> at) & 1) != 0) {
            const int skip = 1 + static_cast<int>((breaks >> (at + 1)) & 1);
            if (i + 32 + skip <= n) {
                const __m256i after =
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i + skip));
                const __m256i moved =
                    _mm256_cmpgt_epi8(index, _mm256_set1_epi8(static_cast<char>(at - 1)));
                const __m256i joined = _mm256_blendv_epi8(c, after, moved);
                if ((Mask(joined, '\r') | Mask(joined, '\n') | Mask(joined, '=')) == 0) {
                    DecodeThirtyTwo(joined, o);
                    o += 24;
                    const int64_t lineStart = i + at + skip;
                    i += 32 + skip;
                    if (!linesTried && skip == 2 && s[lineStart - 2] == '\r') {
                        linesTried = true;
                        // The next line's length, from its start to its CR.
                        const int64_t span = std::min<int64_t>(n - lineStart, 1 << 16);
                        const void* cr =
                            std::memchr(s + lineStart, '\r', static_cast<size_t>(span));
                        if (cr != nullptr) {
                            const int64_t end = static_cast<const unsigned char*>(cr) - s;
                            const int64_t L = end - lineStart;
                            if (L >= 32 && L % 4 == 0 && end + 1 < n && s[end + 1] == '\n') {
                                i = RunAvx2Lines(s, i, n, o, L, 32 - at);
                            }
                        }
                    }
                    continue;
                }
            }
        }
        if (!PassStop(s, n, at, i, o)) {
            break;
        }
    }
    out = o;
    return RunSsse3(s, i, n, out);
}

bool CpuHas(Base64DecodePath path) {
    __builtin_cpu_init();  // may run before the constructors that would do it
    switch (path) {
        case Base64DecodePath::kAvx2:
            return __builtin_cpu_supports("avx2");
        case Base64DecodePath::kSsse3:
            return __builtin_cpu_supports("ssse3");
        case Base64DecodePath::kPortable:
            return true;
    }
    return false;
}
#else
bool CpuHas(Base64DecodePath path) {
    return path == Base64DecodePath::kPortable;
}
#endif

FastRun RunFor(Base64DecodePath path) {
#if TESSALY_BASE64_SIMD
    if (path == Base64DecodePath::kAvx2) {
        return RunAvx2;
    }
    if (path == Base64DecodePath::kSsse3) {
        return RunSsse3;
    }
#endif
    (void)path;
    return RunPortable;
}

Base64DecodePath BestPath() {
    for (const Base64DecodePath path : {Base64DecodePath::kAvx2, Base64DecodePath::kSsse3}) {
        if (CpuHas(path)) {
            return path;
        }
    }
    return Base64DecodePath::kPortable;
}

// The decoding steps with a fast run wherever whole groups follow. Every fast run stops at a
// "=", so the group that holds one is always decoded here.
int DecodeWith(FastRun run, const char* src, int srcLen, unsigned char* dst) {
    if (dst == nullptr) {
        return 0;
    }
    if (src == nullptr || srcLen <= 0) {
        dst[0] = '\0';
        return 0;
    }
    const auto* s = reinterpret_cast<const unsigned char*>(src);
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
            i = p = run(s, i, n, out);
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
        const unsigned char c1 = at(p + 1);
        uint32_t v =
            (static_cast<uint32_t>(value[c]) << 18) | (static_cast<uint32_t>(value[c1]) << 12);
        p += 2;
        *out++ = static_cast<unsigned char>(v >> 16);
        // Decoding ends with the group that holds the first pad: whatever follows it (a line
        // break after "==", say, as MIME encoders write it) is not data.
        bool pad = c == '=' || c1 == '=' || at(p) == '=';
        if (at(p) != '=') {
            v |= static_cast<uint32_t>(value[s[p]]) << 6;
            ++p;
            *out++ = static_cast<unsigned char>(v >> 8);
            pad = pad || at(p) == '=';
            if (at(p) != '=') {
                v |= value[s[p]];
                ++p;
                *out++ = static_cast<unsigned char>(v);
            }
        }
        i += 4;
        if (pad) {
            break;
        }
    }
    *out = '\0';
    return static_cast<int>(out - dst);
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
    static const FastRun best = RunFor(BestPath());
    return DecodeWith(best, src, srcLen, dst);
}

bool Base64DecodePathSupported(Base64DecodePath path) {
    return CpuHas(path);
}

int Base64DecodeOn(Base64DecodePath path, const char* src, int srcLen, unsigned char* dst) {
    return DecodeWith(RunFor(CpuHas(path) ? path : Base64DecodePath::kPortable), src, srcLen, dst);
}
