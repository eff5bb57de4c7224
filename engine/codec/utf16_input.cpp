#include "utf16_input.h"

#include <array>
#include <bit>
#include <cstring>

#include "output_encoders.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace zekt {
namespace {

constexpr std::uint8_t illFormedByte = 0xFF;

constexpr bool isHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
constexpr bool isLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

constexpr bool isPrintableUnit(char32_t u) { return u >= 0x20 && u < 0x7F; }

// The printable ASCII units that start the eight at p, written as their
// bytes (all eight stored: the room takes them); how many there were.
int printablePrefix(const std::uint8_t* p, std::uint8_t* out, bool bigEndian) {
#if defined(__SSE2__)
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if (bigEndian) v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
    const __m128i printable =
        _mm_and_si128(_mm_cmpgt_epi16(v, _mm_set1_epi16(0x1F)), _mm_cmplt_epi16(v, _mm_set1_epi16(0x7F)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(v, v));
    // Two mask bits per unit.
    return __builtin_ctz(~static_cast<unsigned>(_mm_movemask_epi8(printable))) / 2;
#else
    int n = 0;
    for (; n < 8; ++n) {
        const int u = bigEndian ? p[2 * n] << 8 | p[2 * n + 1] : p[2 * n + 1] << 8 | p[2 * n];
        if (!isPrintableUnit(static_cast<char32_t>(u))) break;
        out[n] = static_cast<std::uint8_t>(u);
    }
    return n;
#endif
}

// A character from 0x800 up that is no surrogate: three bytes, stored as
// four (the room takes the fourth).
std::uint8_t* putThreeByteUtf8(std::uint8_t* out, char32_t u) {
    const std::uint32_t bytes =
        (0xE0 | u >> 12) | (0x80 | ((u >> 6) & 0x3F)) << 8 | (0x80 | (u & 0x3F)) << 16;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, &bytes, 4);
    } else {
        out[0] = static_cast<std::uint8_t>(bytes), out[1] = static_cast<std::uint8_t>(bytes >> 8);
        out[2] = static_cast<std::uint8_t>(bytes >> 16);
    }
    return out + 3;
}

#if defined(__SSE2__)
// Four code units, each in its 32-bit lane: which are below 0x80 (bits
// 0-3) and below 0x800 (bits 4-7) picks the shuffle that gathers each
// one's UTF-8 bytes (one, two or three) from its lane, and their count.
struct UnitShuffle {
    std::array<std::uint8_t, 16> order{};
    int length = 0;
};

constexpr std::array<UnitShuffle, 256> unitShuffles = [] {
    std::array<UnitShuffle, 256> t{};
    for (int m = 0; m < 256; ++m) {
        t[m].order.fill(0x80);  // a zero byte, past the count
        for (int k = 0; k < 4; ++k) {
            const int bytes = (m >> k & 1) != 0 ? 1 : (m >> (k + 4) & 1) != 0 ? 2 : 3;
            for (int b = 0; b < bytes; ++b) t[m].order[t[m].length++] = static_cast<std::uint8_t>(4 * k + b);
        }
    }
    return t;
}();

// The UTF-8 of four units, sixteen bytes stored; how many count, or -1 (and
// nothing that counts) if a unit is a surrogate.
[[gnu::target("ssse3")]] inline int fourUnitsAsUtf8(__m128i units, std::uint8_t* out) {
    const __m128i surrogates = _mm_and_si128(_mm_cmpgt_epi32(units, _mm_set1_epi32(0xD7FF)),
                                             _mm_cmplt_epi32(units, _mm_set1_epi32(0xE000)));
    if (_mm_movemask_epi8(surrogates) != 0) return -1;
    const __m128i low6 = _mm_and_si128(units, _mm_set1_epi32(0x3F));
    const __m128i mid6 = _mm_and_si128(_mm_srli_epi32(units, 6), _mm_set1_epi32(0x3F));
    const __m128i three = _mm_or_si128(_mm_or_si128(_mm_set1_epi32(0x8080E0), _mm_srli_epi32(units, 12)),
                                       _mm_or_si128(_mm_slli_epi32(mid6, 8), _mm_slli_epi32(low6, 16)));
    const __m128i two =
        _mm_or_si128(_mm_or_si128(_mm_set1_epi32(0x80C0), _mm_srli_epi32(units, 6)), _mm_slli_epi32(low6, 8));
    const __m128i one = _mm_cmplt_epi32(units, _mm_set1_epi32(0x80));
    const __m128i belowTwo = _mm_cmplt_epi32(units, _mm_set1_epi32(0x800));
    const __m128i lanes = _mm_or_si128(
        _mm_and_si128(one, units),
        _mm_andnot_si128(one, _mm_or_si128(_mm_and_si128(belowTwo, two), _mm_andnot_si128(belowTwo, three))));
    const UnitShuffle& shuffle = unitShuffles[static_cast<std::size_t>(
        _mm_movemask_ps(_mm_castsi128_ps(one)) | _mm_movemask_ps(_mm_castsi128_ps(belowTwo)) << 4)];
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(out),
        _mm_shuffle_epi8(lanes, _mm_loadu_si128(reinterpret_cast<const __m128i*>(shuffle.order.data()))));
    return shuffle.length;
}

// Eight units at a time while none is a surrogate, none held before them;
// returns how many bytes of in it took.
[[gnu::target("ssse3")]] std::size_t shuffleUnits(const std::uint8_t* in, std::size_t size,
                                                  std::uint8_t*& outRef, bool bigEndian) {
    std::uint8_t* out = outRef;
    std::size_t i = 0;
    const __m128i swap = _mm_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= size; i += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        if (bigEndian) v = _mm_shuffle_epi8(v, swap);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(-0x80)), zero)) == 0xFFFF) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(v, v));  // all ASCII
            out += 8;
            continue;
        }
        const int first = fourUnitsAsUtf8(_mm_unpacklo_epi16(v, zero), out);
        if (first < 0) break;
        const int second = fourUnitsAsUtf8(_mm_unpackhi_epi16(v, zero), out + first);
        if (second < 0) {
            out += first;
            i += 8;
            break;
        }
        out += first + second;
    }
    outRef = out;
    return i;
}
#endif

}  // namespace

std::uint8_t* Utf16Transcoder::unit(char32_t u, std::uint8_t* out) {
    if (highSurrogate_ != 0) {
        if (isLowSurrogate(u)) {
            const char32_t cp = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (u - 0xDC00);
            highSurrogate_ = 0;
            return putUtf8(out, cp);
        }
        highSurrogate_ = 0;
        *out++ = illFormedByte;
    }
    if (isHighSurrogate(u)) {
        highSurrogate_ = u;
        return out;
    }
    if (isLowSurrogate(u)) {
        *out++ = illFormedByte;
        return out;
    }
    return putUtf8(out, u);
}

int Utf16Transcoder::transcode(std::span<const std::uint8_t> in, std::uint8_t* out, bool last) {
    std::uint8_t* const start = out;
    std::size_t i = 0;
    if (heldByte_ >= 0 && !in.empty()) {
        const int first = heldByte_, second = in[0];
        heldByte_ = -1;
        out = unit(static_cast<char32_t>(bigEndian_ ? first << 8 | second : second << 8 | first), out);
        i = 1;
    }
    const auto unitAt = [&](std::size_t k) {
        return static_cast<char32_t>(bigEndian_ ? in[k] << 8 | in[k + 1] : in[k + 1] << 8 | in[k]);
    };
    // Printable ASCII, the bulk of most text, a run of it eight units at a
    // time; kana and kanji, the bulk of the rest, three bytes each.
    while (i + 16 <= in.size() && !unitByUnit_) {
#if defined(__SSE2__)
        if (shuffles_ && highSurrogate_ == 0) {
            i += shuffleUnits(&in[i], in.size() - i, out, bigEndian_);
            if (i + 16 > in.size()) break;
        }
#endif
        const char32_t u = unitAt(i);
        if (highSurrogate_ == 0 && isPrintableUnit(u)) {
            // Whole vectors advance by a constant, so that the next load
            // need not wait for this one's count.
            int n = 8;
            while ((n = printablePrefix(&in[i], out, bigEndian_)) == 8 && i + 32 <= in.size()) {
                i += 16;
                out += 8;
            }
            i += 2 * static_cast<std::size_t>(n);
            out += n;
        } else if (highSurrogate_ == 0 && u >= 0x800 && !isHighSurrogate(u) && !isLowSurrogate(u)) {
            out = putThreeByteUtf8(out, u);
            i += 2;
        } else {
            out = unit(u, out);
            i += 2;
        }
    }
    for (; i + 1 < in.size(); i += 2) out = unit(unitAt(i), out);
    if (i < in.size()) heldByte_ = in[i];
    if (last) {
        if (highSurrogate_ != 0) *out++ = illFormedByte;
        if (heldByte_ >= 0) *out++ = illFormedByte;
        highSurrogate_ = 0;
        heldByte_ = -1;
    }
    return static_cast<int>(out - start);
}

}  // namespace zekt
