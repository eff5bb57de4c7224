// The scans that pay most per byte, over thirty-two bytes at a time where
// the machine has AVX2. Each takes whole chunks of 32 and leaves the rest
// (and the chunk where it stopped) to the sixteen-byte scans.
#pragma once

#include <cstdint>

namespace zekt::wide {

// p moves past the chunks it passed; whether one held a byte that marks
// binary input.
bool anyBinary(const std::uint8_t*& p, const std::uint8_t* end);

// As anyRareByte: the bytes that may set a flag missing from the report;
// wantBinary, wantEuc and wantLeads say which of them are missing.
bool anyRareByte(const std::uint8_t*& p, const std::uint8_t* end, bool wantBinary, bool wantEuc,
                 bool wantLeads);

// As skipUtf8Vectors, carrying the continuations still expected (bits 0-1
// of the next chunk) and whether a three-byte sequence was read whole.
const std::uint8_t* skipUtf8(const std::uint8_t* p, const std::uint8_t* end, unsigned& carry, bool& wide);

}  // namespace zekt::wide
