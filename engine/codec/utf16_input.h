// UTF-16 input, read as the UTF-8 that the rest of a pass reads: code
// units below 0x80 as their bytes (so that line ends, NUL and the binary
// check see code units exactly as they see bytes in the other codes), each
// character as its UTF-8, and each unpaired surrogate and an odd byte left
// at the end as the byte 0xFF, which UTF-8 reads as one ill-formed piece.
#pragma once

#include <cstdint>
#include <span>

#include "engine_types.h"
#include "fast/kernels.h"

namespace zekt {

class Utf16Transcoder {
public:
    // unitByUnit: the plain way, against which tests hold the faster ones.
    Utf16Transcoder(bool bigEndian, const Kernels& kernels, bool unitByUnit = false)
        : bigEndian_(bigEndian), shuffles_(kernels.shuffles), unitByUnit_(unitByUnit) {}

    // The most bytes transcode writes for count bytes of input.
    static constexpr int roomFor(int count) { return 2 * count + 8; }

    // Transcodes the bytes in to out, which has roomFor(in.size()) bytes;
    // returns how many it wrote. last: the input ends after them.
    int transcode(std::span<const std::uint8_t> in, std::uint8_t* out, bool last);

private:
    std::uint8_t* unit(char32_t u, std::uint8_t* out);

    bool bigEndian_;
    bool shuffles_;  // the machine has SSSE3's byte shuffle
    bool unitByUnit_;
    int heldByte_ = -1;           // the first byte of a code unit
    char32_t highSurrogate_ = 0;  // waiting for its low half
};

// The order a byte order mark at the start of the input names, from its
// first two bytes: UTF16LE, UTF16BE, or ASCII for none.
constexpr CodeKind utf16MarkOrder(int first, int second) {
    if (first == 0xFF && second == 0xFE) return CodeKind::UTF16LE;
    if (first == 0xFE && second == 0xFF) return CodeKind::UTF16BE;
    return CodeKind::ASCII;
}

}  // namespace zekt
