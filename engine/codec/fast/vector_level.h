// How wide the block path's vectors are: the machine's widest, found once
// per converter; tests force each narrower level in turn.
#pragma once

#include <cstdint>

namespace zekt {

// PLAIN takes no vector shortcut. SSE2 is the baseline of every x86-64
// machine (and of none other: there the plain loops serve at every level).
enum class VectorLevel : std::uint8_t { PLAIN = 0, SSE2 = 1, SSSE3 = 2, AVX2 = 3 };

inline VectorLevel machineVectorLevel() {
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("avx2")) return VectorLevel::AVX2;
    if (__builtin_cpu_supports("ssse3")) return VectorLevel::SSSE3;
#endif
    return VectorLevel::SSE2;
}

}  // namespace zekt
