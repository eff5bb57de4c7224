#include "utf16_input.h"

#include "output_encoders.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zekt {
namespace {

constexpr std::uint8_t illFormed = 0xFF;

constexpr bool isHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
constexpr bool isLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Eight code units of printable ASCII at p, written as their bytes; false
// (nothing written) for anything else.
bool printableUnits(const std::uint8_t* p, std::uint8_t* out, bool bigEndian) {
#if defined(__SSE2__)
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if (bigEndian) v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
    const __m128i printable =
        _mm_and_si128(_mm_cmpgt_epi16(v, _mm_set1_epi16(0x1F)), _mm_cmplt_epi16(v, _mm_set1_epi16(0x7F)));
    if (_mm_movemask_epi8(printable) != 0xFFFF) return false;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(v, v));
    return true;
#else
    (void)p, (void)out, (void)bigEndian;
    return false;
#endif
}

}  // namespace

std::uint8_t* Utf16Transcoder::unit(char32_t u, std::uint8_t* out) {
    if (highSurrogate_ != 0) {
        if (isLowSurrogate(u)) {
            const char32_t cp = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (u - 0xDC00);
            highSurrogate_ = 0;
            return putUtf8(out, cp);
        }
        highSurrogate_ = 0;
        *out++ = illFormed;
    }
    if (isHighSurrogate(u)) {
        highSurrogate_ = u;
        return out;
    }
    if (isLowSurrogate(u)) {
        *out++ = illFormed;
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
    while (i + 1 < in.size()) {
        const char32_t u = bigEndian_ ? in[i] << 8 | in[i + 1] : in[i + 1] << 8 | in[i];
        i += 2;
        if (u < 0x20 || u >= 0x7F || highSurrogate_ != 0) {
            out = unit(u, out);
            continue;
        }
        // Printable ASCII, the bulk of most text, goes straight through; a
        // run of it eight units at a time, looked for only once one is met.
        *out++ = static_cast<std::uint8_t>(u);
        while (i + 16 <= in.size() && printableUnits(&in[i], out, bigEndian_)) {
            i += 16;
            out += 8;
        }
    }
    if (i < in.size()) heldByte_ = in[i];
    if (last) {
        if (highSurrogate_ != 0) *out++ = illFormed;
        if (heldByte_ >= 0) *out++ = illFormed;
        highSurrogate_ = 0;
        heldByte_ = -1;
    }
    return static_cast<int>(out - start);
}

}  // namespace zekt
