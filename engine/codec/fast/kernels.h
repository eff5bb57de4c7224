// The block path's vector kernels, one set per vector width. A pass takes
// the set of its settings' level once, and calls through it: no call site
// asks which width it runs at. The plain set takes none of these shortcuts;
// every set gives the same result, which the tests hold them to.
#pragma once

#include <cstdint>
#include <span>

#include "fast/vector_level.h"

namespace zekt {

struct Kernels {
    VectorLevel level;
    // From a point where no UTF-8 sequence is open: the chunks of
    // well-formed UTF-8 of the common kinds passed over (skipUtf8Vectors).
    const std::uint8_t* (*skipUtf8)(const std::uint8_t* p, const std::uint8_t* end, int& open, bool& wide);
    // Whether any byte could mark the input binary; true where unsure.
    bool (*mayMarkBinary)(const std::uint8_t* p, const std::uint8_t* end);
    // Whether any byte could set one of the missing rare-byte flags; true
    // where unsure.
    bool (*anyRareByte)(const std::uint8_t* p, const std::uint8_t* end, std::uint32_t missing);
    // UTF-16 read four code units at a time through SSSE3's byte shuffle.
    bool shuffles;
};

const Kernels& kernelsFor(VectorLevel level);
// Every set this machine can run, the plain one first.
std::span<const Kernels> machineKernels();

}  // namespace zekt
