// The long-run loops of the byte scans, 64 bytes at a time with AVX2 where the processor has it.

#include "codec/xml_scan.h"

#if defined(__x86_64__)
#include <immintrin.h>

namespace xml_scan {

namespace {

__attribute__((target("avx2"), always_inline)) inline __m256i Hits(__m256i v, __m256i a,
                                                                   __m256i b) {
    return _mm256_or_si256(_mm256_cmpeq_epi8(v, a), _mm256_cmpeq_epi8(v, b));
}

}  // namespace

bool LongRunsUseAvx2() {
    static const bool avx2 = [] {
        __builtin_cpu_init();  // may run before the constructors that would do it
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return avx2;
}

namespace {

// Steps over whole 64-byte blocks of [p, end) that hold neither a nor b, copying them to out
// when it is set. Returns the first block not stepped over (or the tail under 64 bytes).
__attribute__((target("avx2"), always_inline)) inline const char* Blocks(const char* p,
                                                                         const char* end, char* out,
                                                                         char a, char b) {
    const __m256i va = _mm256_set1_epi8(a);
    const __m256i vb = _mm256_set1_epi8(b);
    while (end - p >= 64) {
        const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        if (!_mm256_testz_si256(_mm256_or_si256(Hits(v0, va, vb), Hits(v1, va, vb)),
                                _mm256_set1_epi8(-1))) {
            break;
        }
        if (out != nullptr) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), v0);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), v1);
            out += 64;
        }
        p += 64;
    }
    return p;
}

}  // namespace

__attribute__((target("avx2"))) const char* SkipBlocksAvx2(const char* p, const char* end, char a,
                                                           char b) {
    return Blocks(p, end, nullptr, a, b);
}

__attribute__((target("avx2"))) std::size_t CopyBlocksAvx2(const char* p, const char* end,
                                                           char* out, char a, char b) {
    return static_cast<std::size_t>(Blocks(p, end, out, a, b) - p);
}

}  // namespace xml_scan

#endif
