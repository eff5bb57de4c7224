// Shift-JIS <-> EUC arithmetic, and the tables the fast paths read it from. Both run on any int without range
// checks: out-of-range input gives out-of-range (possibly negative) results, which the writers take apart
// bytewise. C++20 defines every shift used here.
#pragma once

#include <array>

#include "byte_classes.h"
#include "engine_types.h"

namespace zekt {

// EUC e1 e2 (0xA1A1-0xFEFE) to Shift-JIS s1 s2:
//   s1 = ((e1 - 1) >> 1) + 0x31   for e1 <= 0xDE   (0x81-0x9F)
//   s1 = ((e1 - 1) >> 1) + 0x71   for e1 >= 0xDF   (0xE0-0xEF)
//   odd e1:  s2 = e2 - 0x61 for e2 <= 0xDF, e2 - 0x60 above (skips 0x7F)
//   even e1: s2 = e2 - 2                                  (0x9F-0xFC)
constexpr std::int32_t eucToSjis(CharCode c) {
    const std::int32_t e1 = c >> 8;
    const std::int32_t e2 = c & 0xFF;
    // Selects rather than branches: row parity and trail halves follow the
    // text, which no predictor can guess.
    const std::int32_t s1 = ((e1 - 1) >> 1) + (e1 <= 0xDE ? 0x31 : 0x71);
    const std::int32_t oddRowTrail = e2 <= 0xDF ? e2 - 0x61 : e2 - 0x60;
    const std::int32_t s2 = (e1 & 1) != 0 ? oddRowTrail : e2 - 2;
    return (s1 << 8) | s2;
}

// Shift-JIS s1 s2 (s1 0x81-0x9F, 0xE0-0xEF; s2 0x40-0x7E, 0x80-0xFC) to EUC:
//   e1 = 2 * s1 - 0x61 for s1 <= 0x9F, 2 * s1 - 0xE1 above
//   s2 <= 0x7E: e2 = s2 + 0x61; s2 0x7F-0x9E: e2 = s2 + 0x60;
//   s2 >= 0x9F: the even row, e1 + 1 and e2 = s2 + 2
constexpr CharCode sjisToEuc(std::int32_t s) {
    const std::int32_t s1 = s >> 8;
    const std::int32_t s2 = s & 0xFF;
    const bool evenRow = s2 >= 0x9F;
    const std::int32_t e1 = (s1 <= 0x9F ? 2 * s1 - 0x61 : 2 * s1 - 0xE1) + (evenRow ? 1 : 0);
    const std::int32_t oddRowTrail = s2 <= 0x7E ? s2 + 0x61 : s2 + 0x60;
    const std::int32_t e2 = evenRow ? s2 + 2 : oddRowTrail;
    return (e1 << 8) | e2;
}

static_assert(eucToSjis(0xA1A1) == 0x8140 && eucToSjis(0xDFA1) == 0xE040 && eucToSjis(0xFEFE) == 0xEFFC);
static_assert(sjisToEuc(0x8140) == 0xA1A1 && sjisToEuc(0x819F) == 0xA2A1 && sjisToEuc(0xEFFC) == 0xFEFE);

// sjisToEuc of a pair as two table reads, made from it: per lead the EUC
// lead of its odd row, per trail the EUC trail and whether it moves to the
// even row.
inline constexpr std::array<std::uint8_t, 256> sjisLeadRow = [] {
    std::array<std::uint8_t, 256> t{};
    for (int s1 = 0x81; s1 <= 0xEF; ++s1) t[s1] = static_cast<std::uint8_t>(sjisToEuc(s1 << 8 | 0x40) >> 8);
    return t;
}();
inline constexpr std::array<std::uint16_t, 256> sjisTrailCell = [] {
    std::array<std::uint16_t, 256> t{};
    for (int s2 = 0x40; s2 <= 0xFC; ++s2) t[s2] = static_cast<std::uint16_t>(sjisToEuc(0x8100 | s2) - 0xA100);
    return t;
}();

constexpr CharCode sjisPairToEuc(int lead, int trail) {
    return (sjisLeadRow[lead] << 8) + sjisTrailCell[trail];
}

// eucToSjis of a JIS X 0208 pair likewise: per EUC lead the Shift-JIS lead,
// per row parity and EUC trail the Shift-JIS trail.
inline constexpr std::array<std::uint8_t, 256> eucLeadToSjis = [] {
    std::array<std::uint8_t, 256> t{};
    for (int e1 = 0xA1; e1 <= 0xFE; ++e1) t[e1] = static_cast<std::uint8_t>(eucToSjis(e1 << 8 | 0xA1) >> 8);
    return t;
}();
inline constexpr std::array<std::array<std::uint8_t, 256>, 2> eucTrailToSjis = [] {
    std::array<std::array<std::uint8_t, 256>, 2> t{};
    for (int e2 = 0xA1; e2 <= 0xFE; ++e2)
        for (int odd = 0; odd < 2; ++odd)
            t[odd][e2] = static_cast<std::uint8_t>(eucToSjis((0xA2 + odd) << 8 | e2));
    return t;
}();

constexpr std::int32_t eucPairToSjis(CharCode c) {
    const int e1 = c >> 8, e2 = c & 0xFF;
    return eucLeadToSjis[e1] << 8 | eucTrailToSjis[e1 & 1][e2];
}

static_assert([] {
    for (int e1 = 0xA1; e1 <= 0xFE; ++e1)
        for (int e2 = 0xA1; e2 <= 0xFE; ++e2)
            if (eucPairToSjis(e1 << 8 | e2) != eucToSjis(e1 << 8 | e2)) return false;
    return true;
}());

static_assert([] {
    for (int lead = 0x81; lead <= 0xEF; ++lead)
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            if (isSjisLead(lead) && isSjisTrail(trail) &&
                sjisPairToEuc(lead, trail) != sjisToEuc(lead << 8 | trail))
                return false;
    return true;
}());

}  // namespace zekt
