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

// Each page from the first code points that use it.
inline constexpr std::array<std::array<std::uint16_t, 256>, unicodePages.size()> sjisPages = [] {
    std::array<std::array<std::uint16_t, 256>, unicodePages.size()> t{};
    std::array<bool, unicodePages.size()> made{};
    for (char32_t high = 0; high < 0x100; ++high) {
        const std::size_t page = unicodePageIndex[high];
        if (made[page]) continue;
        made[page] = true;
        for (char32_t low = 0; low < 0x100; ++low)
            t[page][low] = static_cast<std::uint16_t>(quickSjisThroughCell(high << 8 | low));
    }
    return t;
}();

// A code point below 0x10000.
constexpr int quickSjisOf(char32_t cp) { return sjisPages[unicodePageIndex[cp >> 8]][cp & 0xFF]; }

// Pages shared by several ranges of code points hold the same for each:
// checked a sixteenth of the plane at a time, within the steps a compiler
// allows one constant expression.
constexpr bool agreesFrom(char32_t first) {
    for (char32_t cp = first; cp < first + 0x1000; ++cp)
        if (quickSjisOf(cp) != quickSjisThroughCell(cp)) return false;
    return true;
}
static_assert(agreesFrom(0x0000) && agreesFrom(0x1000) && agreesFrom(0x2000) && agreesFrom(0x3000));
static_assert(agreesFrom(0x4000) && agreesFrom(0x5000) && agreesFrom(0x6000) && agreesFrom(0x7000));
static_assert(agreesFrom(0x8000) && agreesFrom(0x9000) && agreesFrom(0xA000) && agreesFrom(0xB000));
static_assert(agreesFrom(0xC000) && agreesFrom(0xD000) && agreesFrom(0xE000) && agreesFrom(0xF000));

}  // namespace zekt::fast
