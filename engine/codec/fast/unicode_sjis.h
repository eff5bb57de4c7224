// UTF-8 to Shift-JIS in one look: the Shift-JIS code of each code point
// that the quick way writes through its JIS X 0208 cell (a cell below the
// rows where code page 932 has codes of its own), 0 for every other, laid
// out as the code point's EUC table and made from it.
#pragma once

#include <array>
#include <cstdint>

#include "code_arithmetic.h"
#include "input_converters.h"
#include "unicode_map.h"

namespace zekt::fast {

// The two steps the table saves.
constexpr std::int32_t quickSjisThroughCell(char32_t cp) {
    const std::int32_t kanji = unicodeToKanji(cp);
    return kanji != 0 && kanji < firstCellBeyondCp932Agreement ? eucPairToSjis(kanji) : 0;
}

inline constexpr std::array<std::array<std::uint16_t, 256>, unicodePages.size()> sjisPages = [] {
    std::array<std::array<std::uint16_t, 256>, unicodePages.size()> t{};
    for (char32_t cp = 0; cp < 0x10000; ++cp)
        t[unicodePageIndex[cp >> 8]][cp & 0xFF] = static_cast<std::uint16_t>(quickSjisThroughCell(cp));
    return t;
}();

// A code point below 0x10000.
constexpr int quickSjisOf(char32_t cp) { return sjisPages[unicodePageIndex[cp >> 8]][cp & 0xFF]; }

// Pages shared by several code point ranges hold the same for each.
static_assert([] {
    for (char32_t cp = 0; cp < 0x10000; ++cp)
        if (quickSjisOf(cp) != quickSjisThroughCell(cp)) return false;
    return true;
}());

}  // namespace zekt::fast
