#include "utf16_input.h"

#include "output_encoders.h"

namespace zekt {
namespace {

constexpr std::uint8_t illFormed = 0xFF;

constexpr bool isHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
constexpr bool isLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

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
    for (; i + 1 < in.size(); i += 2) {
        const char32_t u = bigEndian_ ? in[i] << 8 | in[i + 1] : in[i + 1] << 8 | in[i];
        // Printable ASCII, the bulk of most text, goes straight through.
        if (u >= 0x20 && u < 0x7F && highSurrogate_ == 0) {
            *out++ = static_cast<std::uint8_t>(u);
            continue;
        }
        out = unit(u, out);
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
