// JIS X 0213 (Shift_JIS-2004, EUC-JIS-2004, ISO-2022-JP-2004) <-> Unicode,
// by direct indexing into the tables generated from glibc. A code here is
// in EUC-JIS-2004 form: 0xA1A1-0xFEFE plane 1, 0x8FA1A1-0x8FFEFE plane 2,
// 0x8EA1-0x8EDF half-width katakana; Shift_JIS-2004 is arithmetic on it.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "composition_tables.h"
#include "jisx0213_tables.h"
#include "unicode_map.h"

namespace zekt {

// What a code reads as: one code point, or a base and a combining mark.
struct CodePoints {
    char32_t first = 0, second = 0;
};

// Plane 1 and plane 2 cells, each (row - 1) * 94 + (cell - 1); -1 otherwise.
constexpr int x0213Index(std::int32_t code) {
    if (code > 0xFFFF && (code >> 16) != 0x8F) return -1;
    const int cell = cellIndex(code & 0xFFFF);
    return cell < 0 ? -1 : cell + (code > 0xFFFF ? 94 * 94 : 0);
}

constexpr CodePoints x0213CodePoints(std::int32_t code) {
    const int i = x0213Index(code);
    if (i < 0) return {};
    const std::uint32_t v = jisX0213ToUnicode[static_cast<std::size_t>(i)];
    if (v < jisX0213Pair) return {v, 0};
    const auto& pair = jisX0213Pairs[v - jisX0213Pair];
    return {pair[0], pair[1]};
}

// Shift_JIS-2004 writes these two as its single bytes 0x5C and 0x7E (JIS X
// 0201's yen sign and overline), which EUC-JIS-2004 cannot write.
constexpr bool isRomanOnly(char32_t u) { return u == 0xA5 || u == 0x203E; }

// The JIS X 0208 cell of a code point, in JIS X 0208's own rows (not NEC's
// or IBM's), or 0: for the one code point that JIS X 0213 maps elsewhere
// (U+2015, which it reads as U+2014), so that text from JIS X 0208 keeps
// it; ISO-2022-JP-2004 has JIS X 0208 itself, and glibc writes it there.
constexpr std::int32_t jisX0208CellOf(char32_t u) {
    const std::int32_t c = unicodeToEuc(u, false);
    const std::int32_t lead = c >> 8;
    const bool own = (lead >= 0xA1 && lead <= 0xA8) || (lead >= 0xB0 && lead <= 0xF4);
    return own && eucToUnicode(c, false) == u ? c : 0;  // not a form only read one way
}

// The code of a code point, or 0 if it has none (ASCII is the caller's).
constexpr std::int32_t unicodeToX0213(char32_t cp) {
    if (cp >= 0x30000) return 0;
    return unpackEuc(jisX0213Pages[jisX0213PageIndex[cp >> 8]][cp & 0xFF]);
}

// The one code that stands for a base and a combining mark, or 0.
constexpr std::int32_t x0213PairCode(char32_t base, char32_t mark) {
    for (std::size_t i = 0; i < jisX0213Pairs.size(); ++i)
        if (jisX0213Pairs[i][0] == base && jisX0213Pairs[i][1] == mark) return jisX0213PairCodes[i];
    return 0;
}

// What canonical composition makes of a base and a combining mark, where
// JIS X 0213 has it; 0 otherwise.
constexpr char32_t composedInX0213(char32_t base, char32_t mark) {
    const auto at = std::lower_bound(compositions.begin(), compositions.end(), Composition{base, mark, 0},
                                     [](const Composition& a, const Composition& b) {
                                         return a.base != b.base ? a.base < b.base : a.mark < b.mark;
                                     });
    return at != compositions.end() && at->base == base && at->mark == mark ? at->composed : 0;
}

// Shift_JIS-2004's lead for plane 2's rows 1, 3-5, 8 and 12-15 (the others
// 0), two rows a lead as the standard places them, and rows 78-94 after.
constexpr int plane2Lead(int row) {
    if (row >= 78) return (row + 0x19B) / 2;
    constexpr std::array<int, 16> leads{0,    0xF0, 0, 0xF1, 0xF1, 0xF2, 0,    0,
                                        0xF0, 0,    0, 0,    0xF2, 0xF3, 0xF3, 0xF4};
    return row < 16 ? leads[static_cast<std::size_t>(row)] : 0;
}

// The Shift_JIS-2004 bytes of a two-byte code (plane 1 or 2).
constexpr std::int32_t x0213ToSjis(std::int32_t code) {
    const int row = ((code >> 8) & 0xFF) - 0xA0, cell = (code & 0xFF) - 0xA0;
    const int lead = code > 0xFFFF ? plane2Lead(row) : row <= 62 ? (row + 0x101) / 2 : (row + 0x181) / 2;
    const int trail = row % 2 == 0 ? cell + 0x9E : cell + 0x3F + (cell >= 64 ? 1 : 0);
    return lead << 8 | trail;
}

// The code of a Shift_JIS-2004 pair (any lead 0x81-0x9F or 0xE0-0xFC and
// trail 0x40-0xFC but 0x7F), or 0 for anything else.
constexpr std::int32_t sjisToX0213(std::int32_t pair) {
    const int lead = pair >> 8, trail = pair & 0xFF;
    if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return 0;
    const int second = trail >= 0x9F ? 1 : 0;  // the even row of the lead's two
    const int cell = second ? trail - 0x9E : trail - (trail >= 0x80 ? 0x40 : 0x3F);
    int row = 0;
    if (lead >= 0x81 && lead <= 0x9F) {
        row = (lead - 0x81) * 2 + 1 + second;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        row = (lead - 0xE0) * 2 + 63 + second;
    } else if (lead >= 0xF0 && lead <= 0xFC) {
        constexpr std::array<std::array<int, 2>, 5> shared{{{1, 8}, {3, 4}, {5, 12}, {13, 14}, {15, 78}}};
        row = lead <= 0xF4 ? shared[static_cast<std::size_t>(lead - 0xF0)][static_cast<std::size_t>(second)]
                           : (lead - 0xF5) * 2 + 79 + second;
        return 0x8F0000 | (row + 0xA0) << 8 | (cell + 0xA0);
    } else {
        return 0;
    }
    return (row + 0xA0) << 8 | (cell + 0xA0);
}

static_assert(x0213ToSjis(0xA4A2) == 0x82A0 && sjisToX0213(0x82A0) == 0xA4A2);
static_assert(x0213ToSjis(0x8FA1A1) == 0xF040 && sjisToX0213(0xF040) == 0x8FA1A1);
static_assert(x0213ToSjis(0x8FEEA1) == 0xF49F && sjisToX0213(0xF49F) == 0x8FEEA1);  // row 78
static_assert(x0213ToSjis(0x8FFEFE) == 0xFCFC && sjisToX0213(0xFCFC) == 0x8FFEFE);
static_assert(x0213CodePoints(0xA4F7).first == 0x304B && x0213CodePoints(0xA4F7).second == 0x309A);
static_assert(x0213PairCode(0x304B, 0x309A) == 0xA4F7 && unicodeToX0213(0x20B9F) == 0xCFD4);  // 𠮟
static_assert(composedInX0213('e', 0x0301) == 0x00E9 && composedInX0213(0x304B, 0x3099) == 0x304C);
// The pass's substitute is the same cell in JIS X 0213.
static_assert(unicodeToX0213(0x3013) == 0xA2AE);

}  // namespace zekt
