#include "fast/kernels.h"

#include <array>

#include "fast/block_shortcuts.h"

namespace zekt {
namespace {

// No chunk is passed over: the table reads every sequence.
const std::uint8_t* skipNoUtf8(const std::uint8_t* p, const std::uint8_t*, int& open, bool&) {
    open = 0;
    return p;
}

constexpr std::array<Kernels, 4> kernelSets{{
    {VectorLevel::PLAIN, skipNoUtf8, mayMarkBinaryPlain, anyRareBytePlain, false},
    {VectorLevel::SSE2, skipUtf8Vectors, mayMarkBinaryVectors, anyRareByteVectors, false},
    {VectorLevel::SSSE3, skipUtf8Vectors, mayMarkBinaryVectors, anyRareByteVectors, true},
    {VectorLevel::AVX2, skipUtf8Wide, mayMarkBinaryWide, anyRareByteWide, true},
}};

constexpr std::size_t indexOf(VectorLevel level) { return static_cast<std::size_t>(level); }

static_assert([] {
    for (std::size_t i = 0; i < kernelSets.size(); ++i)
        if (indexOf(kernelSets[i].level) != i) return false;
    return true;
}());

}  // namespace

const Kernels& kernelsFor(VectorLevel level) { return kernelSets[indexOf(level)]; }

std::span<const Kernels> machineKernels() { return {kernelSets.data(), indexOf(machineVectorLevel()) + 1}; }

}  // namespace zekt
