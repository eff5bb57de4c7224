// Scans over whole runs of bytes, sixteen at a time where the machine has
// SSE2: ASCII, printable ASCII, well-formed UTF-8 of the common kinds, and
// the bytes that mark binary input.
#include "fast/quick_chars.h"

namespace zekt {
using namespace fast;
namespace {

// Each byte's class: bit 0 not printable ASCII, bit 1 not ASCII, bit 2
// marks binary input.
constexpr std::array<std::uint8_t, 256> byteClass = [] {
    std::array<std::uint8_t, 256> t{};
    for (int b = 0; b < 256; ++b)
        t[b] = static_cast<std::uint8_t>((in(b, 0x20, 0x7E) ? 0 : 1) | (b < 0x80 ? 0 : 2) |
                                         (marksBinary(b) ? 4 : 0));
    return t;
}();

const std::uint8_t* firstOfClass(const std::uint8_t* p, const std::uint8_t* end, std::uint8_t bit) {
    while (p < end && (byteClass[*p] & bit) == 0) ++p;
    return p;
}

// Bytes 0x00-0x0F as signed: -1 < b < 0x08 is 0x00-0x07, and so on.
bool anyBinary(const std::uint8_t* p, const std::uint8_t* end) {
#if defined(__SSE2__)
    p = firstInVectors(p, end, [](__m128i v) {
        const __m128i low =
            _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(-1)), _mm_cmplt_epi8(v, _mm_set1_epi8(0x08)));
        const __m128i mid =
            _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(0x0F)), _mm_cmplt_epi8(v, _mm_set1_epi8(0x1A)));
        return _mm_or_si128(_mm_or_si128(low, mid), _mm_cmpeq_epi8(v, _mm_set1_epi8(DEL)));
    });
#endif
    return firstOfClass(p, end, 4) != end;
}

}  // namespace

const std::uint8_t* skipAscii(const std::uint8_t* p, const std::uint8_t* end) {
#if defined(__SSE2__)
    p = firstInVectors(p, end, [](__m128i v) { return v; });
#endif
    return firstOfClass(p, end, 2);
}

const std::uint8_t* skipPrintable(const std::uint8_t* p, const std::uint8_t* end) {
#if defined(__SSE2__)
    p = firstInVectors(p, end, notPrintable);
#endif
    return firstOfClass(p, end, 1);
}

const std::uint8_t* skipUtf8Vectors(const std::uint8_t* p, const std::uint8_t* end, int& open, bool& wide) {
    open = 0;
#if defined(__SSE2__)
    // As signed bytes: continuations 80-BF are -128..-65, leads C2-DF
    // -62..-33, E1-EF -31..-17 (ED, -19, aside).
    const auto mask = [](__m128i m) { return static_cast<unsigned>(_mm_movemask_epi8(m)); };
    const auto between = [](__m128i v, int low, int high) {
        return _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(low - 1))),
                             _mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(high + 1))));
    };
    unsigned carry = 0;  // continuations the chunk before still expects, as bits from this one's first byte
    unsigned wideBits = 0;
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned high = mask(v);
        const unsigned cont = mask(_mm_cmplt_epi8(v, _mm_set1_epi8(-64)));
        const unsigned lead2 = mask(between(v, plainLead2Low, plainLead2High));
        const unsigned lead3 = mask(between(v, plainLead3Low, plainLead3High)) &
                               ~mask(_mm_cmpeq_epi8(v, _mm_set1_epi8(notPlainLead3)));
        // Each lead's continuations, where they must be and nowhere else.
        const unsigned expected = (lead2 << 1 | lead3 << 1 | lead3 << 2) | carry;
        if ((high & ~(cont | lead2 | lead3)) != 0 || (expected & 0xFFFF) != cont) break;
        // A three-byte lead counts once its second byte has been read.
        wideBits |= (lead3 & 0x7FFF) | (carry == 3 ? 1 : 0);
        carry = expected >> 16;
        p += 16;
    }
    if (wideBits != 0) wide = true;
    open = static_cast<int>(carry);
#endif
    return p;
}

bool mayMarkBinary(const InputBuffer& buffer) { return anyBinary(buffer.data, buffer.data + buffer.count); }

}  // namespace zekt
