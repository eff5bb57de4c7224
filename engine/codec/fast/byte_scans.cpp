// Scans over whole runs of bytes, sixteen at a time where the machine has
// SSE2: ASCII, printable ASCII, well-formed UTF-8 of the common kinds, and
// the bytes that mark binary input.
#include "fast/quick_chars.h"
#include "fast/wide_scans.h"

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

#if defined(__SSE2__)
namespace {

unsigned maskOf(__m128i m) { return static_cast<unsigned>(_mm_movemask_epi8(m)); }

// The bytes of a chunk of sixteen as UTF-8 of the common kinds. As signed
// bytes: continuations 80-BF are -128..-65, leads C2-DF -62..-33, E1-EF
// -31..-17 (ED, -19, aside).
struct Utf8Chunk {
    unsigned high, continuation, lead2, lead3;

    explicit Utf8Chunk(__m128i v) {
        const auto between = [](__m128i x, int low, int highest) {
            return _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(static_cast<char>(low - 1))),
                                 _mm_cmplt_epi8(x, _mm_set1_epi8(static_cast<char>(highest + 1))));
        };
        high = maskOf(v);
        continuation = maskOf(_mm_cmplt_epi8(v, _mm_set1_epi8(-64)));
        lead2 = maskOf(between(v, plainLead2Low, plainLead2High));
        lead3 = maskOf(between(v, plainLead3Low, plainLead3High)) &
                ~maskOf(_mm_cmpeq_epi8(v, _mm_set1_epi8(notPlainLead3)));
    }

    // Where continuations must be, from this chunk's leads and those the
    // chunk before left open (carry, as bits from this one's first byte);
    // bits 16 and 17 are what this one leaves open.
    unsigned expected(unsigned carry) const { return (lead2 << 1 | lead3 << 1 | lead3 << 2) | carry; }
    bool wellFormed(unsigned carry) const {
        return (high & ~(continuation | lead2 | lead3)) == 0 && (expected(carry) & 0xFFFF) == continuation;
    }
};

}  // namespace
#endif

namespace {

// The sixteen-byte chunks, from the continuations carry says the chunk
// before still expects.
const std::uint8_t* skipUtf8Chunks(const std::uint8_t* p, const std::uint8_t* end, unsigned carry, int& open,
                                   bool& wide) {
#if defined(__SSE2__)
    unsigned wideBits = 0;
    while (end - p >= 16) {
        const Utf8Chunk chunk(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
        if (!chunk.wellFormed(carry)) break;
        // A three-byte lead counts once its second byte has been read.
        wideBits |= (chunk.lead3 & 0x7FFF) | (carry == 3 ? 1 : 0);
        carry = chunk.expected(carry) >> 16;
        p += 16;
    }
    if (wideBits != 0) wide = true;
#else
    (void)end, (void)wide;
#endif
    open = static_cast<int>(carry);
    return p;
}

}  // namespace

const std::uint8_t* skipUtf8Vectors(const std::uint8_t* p, const std::uint8_t* end, int& open, bool& wide) {
    return skipUtf8Chunks(p, end, 0, open, wide);
}

const std::uint8_t* skipUtf8Wide(const std::uint8_t* p, const std::uint8_t* end, int& open, bool& wide) {
    unsigned carry = 0;
    p = wide::skipUtf8(p, end, carry, wide);
    return skipUtf8Chunks(p, end, carry, open, wide);
}

const std::uint8_t* skipUtf8Text(const std::uint8_t* p, const std::uint8_t* end, bool lineFeeds,
                                 Utf8Text& seen) {
#if defined(__SSE2__)
    const std::uint8_t* const start = p;
    unsigned carry = 0, lastHigh = 0;
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const Utf8Chunk chunk(v);
        const unsigned lineFeedBits = lineFeeds ? maskOf(_mm_cmpeq_epi8(v, _mm_set1_epi8(LF))) : 0;
        // As signed bytes, the controls are -1 < b < 0x20, and DEL.
        const unsigned controls = maskOf(_mm_or_si128(
            _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(-1)), _mm_cmplt_epi8(v, _mm_set1_epi8(0x20))),
            _mm_cmpeq_epi8(v, _mm_set1_epi8(DEL))));
        if (!chunk.wellFormed(carry) || (controls & ~lineFeedBits) != 0) break;
        seen.high |= lastHigh != 0;
        seen.lineFeed |= lineFeedBits != 0;
        lastHigh = chunk.high;
        carry = chunk.expected(carry) >> 16;
        p += 16;
    }
    if (p == start) return p;
    // The last chunk's high bytes count but those of a sequence it leaves
    // open, which is read again from its lead.
    int kept = 16;
    if (carry != 0) {
        do --p, --kept;
        while ((*p & 0xC0) == 0x80);
    }
    seen.high |= (lastHigh & ((1u << kept) - 1)) != 0;
#else
    (void)end, (void)lineFeeds, (void)seen;
#endif
    return p;
}

bool mayMarkBinaryPlain(const std::uint8_t* p, const std::uint8_t* end) {
    return firstOfClass(p, end, 4) != end;
}

bool mayMarkBinaryVectors(const std::uint8_t* p, const std::uint8_t* end) { return anyBinary(p, end); }

bool mayMarkBinaryWide(const std::uint8_t* p, const std::uint8_t* end) {
    return wide::anyBinary(p, end) || anyBinary(p, end);
}

}  // namespace zekt
