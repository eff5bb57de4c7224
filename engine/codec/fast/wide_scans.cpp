// AVX2 forms of the sixteen-byte scans in byte_scans.cpp and
// block_scans.cpp, compiled for AVX2 function by function and called only
// where the machine has it.
#include "fast/wide_scans.h"

#include "byte_classes.h"
#include "control_codes.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZEKT_AVX2 [[gnu::target("avx2")]]
#endif

namespace zekt::wide {

#if defined(ZEKT_AVX2)
namespace {

ZEKT_AVX2 inline __m256i bytes(int b) { return _mm256_set1_epi8(static_cast<char>(b)); }

ZEKT_AVX2 inline __m256i is(__m256i v, int b) { return _mm256_cmpeq_epi8(v, bytes(b)); }

// Signed bytes strictly between above and below.
ZEKT_AVX2 inline __m256i between(__m256i v, int above, int below) {
    return _mm256_and_si256(_mm256_cmpgt_epi8(v, bytes(above)), _mm256_cmpgt_epi8(bytes(below), v));
}

// As signed bytes: 0x00-0x07 is -1 < b < 8, 0x10-0x19 is 0x0F < b < 0x1A.
ZEKT_AVX2 inline __m256i binaryBytes(__m256i v) {
    return _mm256_or_si256(_mm256_or_si256(between(v, -1, 0x08), between(v, 0x0F, 0x1A)), is(v, DEL));
}

ZEKT_AVX2 inline __m256i load(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

ZEKT_AVX2 inline std::uint32_t maskOf(__m256i m) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(m));
}

}  // namespace

ZEKT_AVX2 bool anyBinary(const std::uint8_t*& p, const std::uint8_t* end) {
    __m256i found = _mm256_setzero_si256();
    for (; end - p >= 32; p += 32) found = _mm256_or_si256(found, binaryBytes(load(p)));
    return maskOf(found) != 0;
}

ZEKT_AVX2 bool anyRareByte(const std::uint8_t*& p, const std::uint8_t* end, bool wantBinary, bool wantEuc,
                           bool wantLeads) {
    const __m256i binaryMask = bytes(wantBinary ? -1 : 0), eucMask = bytes(wantEuc ? -1 : 0),
                  leadMask = bytes(wantLeads ? -1 : 0);
    __m256i found = _mm256_setzero_si256();
    for (; end - p >= 32; p += 32) {
        const __m256i v = load(p);
        const __m256i escape = _mm256_or_si256(_mm256_or_si256(is(v, ESC), is(v, SO)), is(v, SI));
        const __m256i euc = _mm256_or_si256(is(v, 0xFD), is(v, 0xFE));
        // 0x81-0x9F is -128 < b < -96.
        const __m256i leads = between(v, -128, -96);
        found = _mm256_or_si256(found, _mm256_or_si256(escape, _mm256_and_si256(binaryBytes(v), binaryMask)));
        found = _mm256_or_si256(
            found, _mm256_or_si256(_mm256_and_si256(euc, eucMask), _mm256_and_si256(leads, leadMask)));
    }
    return maskOf(found) != 0;
}

// As signed bytes: continuations 80-BF are -128..-65, leads C2-DF -62..-33,
// E1-EF -31..-17 (ED, -19, aside).
ZEKT_AVX2 const std::uint8_t* skipUtf8(const std::uint8_t* p, const std::uint8_t* end, unsigned& carryRef,
                                       bool& wide) {
    std::uint64_t carry = carryRef, wideBits = 0;
    while (end - p >= 32) {
        const __m256i v = load(p);
        const std::uint64_t high = maskOf(v);
        const std::uint64_t cont = maskOf(_mm256_cmpgt_epi8(bytes(-64), v));
        const std::uint64_t lead2 = maskOf(between(v, plainLead2Low - 1, plainLead2High + 1));
        const std::uint64_t lead3 =
            maskOf(between(v, plainLead3Low - 1, plainLead3High + 1)) & ~maskOf(is(v, notPlainLead3));
        const std::uint64_t expected = (lead2 << 1 | lead3 << 1 | lead3 << 2) | carry;
        if ((high & ~(cont | lead2 | lead3)) != 0 || (expected & 0xFFFFFFFF) != cont) break;
        // A three-byte lead counts once its second byte has been read.
        wideBits |= (lead3 & 0x7FFFFFFF) | (carry == 3 ? 1 : 0);
        carry = expected >> 32;
        p += 32;
    }
    if (wideBits != 0) wide = true;
    carryRef = static_cast<unsigned>(carry);
    return p;
}

#else

bool anyBinary(const std::uint8_t*&, const std::uint8_t*) { return false; }
bool anyRareByte(const std::uint8_t*&, const std::uint8_t*, bool, bool, bool) { return false; }
const std::uint8_t* skipUtf8(const std::uint8_t* p, const std::uint8_t*, unsigned&, bool&) { return p; }

#endif

}  // namespace zekt::wide
