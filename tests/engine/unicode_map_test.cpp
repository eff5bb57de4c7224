// The EUC <-> Unicode mapping against glibc's iconv, called at test time:
// CP932 for NEC rows 13 and 89-92, EUC-JP for every code point (the cells
// of JIS X 0208 and JIS X 0212 go through the whole engine in utf8_test).
#include "unicode_map.h"

#include <map>

#include "output_checks.h"

namespace zekt::testing {
namespace {

// glibc's decoding of one code to a single code point, 0 if it has none.
char32_t glibcDecode(const Iconv& toUtf32, std::int32_t code) {
    const auto utf32 = toUtf32(bytesOf(code));
    return utf32 && utf32->size() == 4 ? static_cast<char32_t>(codeOf(*utf32)) : 0;
}
// glibc's encoding of one code point, 0 if it has none.
std::int32_t glibcEncode(const Iconv& fromUtf32, char32_t cp) {
    const std::string utf32 = {static_cast<char>(cp >> 24), static_cast<char>((cp >> 16) & 0xFF),
                               static_cast<char>((cp >> 8) & 0xFF), static_cast<char>(cp & 0xFF)};
    return codeOf(fromUtf32(utf32).value_or(""));
}

// EUC e1 e2 to its Shift-JIS equivalent, for asking CP932.
std::int32_t shiftJisOf(std::int32_t euc) {
    const std::int32_t e1 = euc >> 8, e2 = euc & 0xFF;
    const std::int32_t s1 = ((e1 - 1) >> 1) + (e1 <= 0xDE ? 0x31 : 0x71);
    const std::int32_t s2 = (e1 & 1) ? (e2 <= 0xDF ? e2 - 0x61 : e2 - 0x60) : e2 - 2;
    return s1 << 8 | s2;
}

// The Windows forms accepted one-way on input by default: the code points
// that glibc's EUC-JP lacks and its EUC-JP-MS writes in rows 1 to 8.
const std::map<char32_t, std::int32_t>& windowsExtras() {
    static const auto extras = [] {
        const Iconv eucJp("EUC-JP", "UTF-32BE"), eucJpMs("EUC-JP-MS", "UTF-32BE");
        std::map<char32_t, std::int32_t> found;
        for (char32_t cp = 0xA0; cp <= 0xFFFF; ++cp) {
            if (cp >= 0xD800 && cp <= 0xDFFF) continue;
            const std::int32_t windows = glibcEncode(eucJpMs, cp);
            if (windows >= 0xA1A1 && windows <= 0xA8FE && glibcEncode(eucJp, cp) == 0) found[cp] = windows;
        }
        return found;
    }();
    return extras;
}

// Rows 13 and 89-92 as CP932 decodes them: cell -> code point.
const std::map<std::int32_t, char32_t>& necCells() {
    static const auto cells = [] {
        const Iconv cp932("UTF-32BE", "CP932");
        std::map<std::int32_t, char32_t> found;
        for (const std::int32_t lead : {0xAD, 0xF9, 0xFA, 0xFB, 0xFC})
            for (std::int32_t trail = 0xA1; trail <= 0xFE; ++trail)
                if (const char32_t cp = glibcDecode(cp932, shiftJisOf(lead << 8 | trail)))
                    found[lead << 8 | trail] = cp;
        return found;
    }();
    return cells;
}

TEST(UnicodeMap, NecRowsDecodeAsCodePage932) {
    ASSERT_EQ(necCells().size(), 83u + 374u);  // row 13, rows 89-92
    for (const std::int32_t lead : {0xAD, 0xF9, 0xFA, 0xFB, 0xFC})
        for (std::int32_t trail = 0xA1; trail <= 0xFE; ++trail) {
            const std::int32_t code = lead << 8 | trail;
            const auto found = necCells().find(code);
            const char32_t expected = found == necCells().end() ? 0 : found->second;
            EXPECT_EQ(eucToUnicode(code, false), expected) << std::hex << code;
            EXPECT_EQ(eucToUnicode(code, true), expected) << std::hex << code;
        }
}

// Every code point to U+FFFF and a sample beyond: glibc's EUC-JP where it
// has a code, else the first of a Windows form, a row 13 cell and a cell of
// rows 89-92 (the lowest cell where a row has the character twice).
TEST(UnicodeMap, CodePointsEncodeAsGlibcThenAdditions) {
    std::map<char32_t, std::int32_t> additions = windowsExtras();
    ASSERT_EQ(additions.size(), 6u);  // ‖ － ￠ ￡ ￢ —: or the oracle is broken
    for (const auto& [cell, cp] : necCells()) additions.emplace(cp, cell);
    const Iconv eucJp("EUC-JP", "UTF-32BE");
    int fromGlibc = 0;
    const auto check = [&](char32_t cp) {
        std::int32_t expected = cp < 0xA0 ? 0 : glibcEncode(eucJp, cp);
        fromGlibc += expected != 0;
        if (const auto added = additions.find(cp); expected == 0 && added != additions.end())
            expected = added->second;
        const std::int32_t windows = cp == 0xFF5E ? 0xA1C1 : cp == 0xFFE4 ? 0x8FA2C3 : expected;
        EXPECT_EQ(unicodeToEuc(cp, false), expected) << std::hex << "U+" << static_cast<int>(cp);
        EXPECT_EQ(unicodeToEuc(cp, true), windows) << std::hex << "U+" << static_cast<int>(cp);
        const bool kanji = expected >= 0xA1A1 && expected <= 0xFEFE && cp < 0xFF61;  // the shortcut's cells
        EXPECT_EQ(unicodeToKanji(cp), kanji ? expected : 0) << std::hex << "U+" << static_cast<int>(cp);
    };
    for (char32_t cp = 0x80; cp <= 0xFFFF; ++cp)
        if (cp < 0xD800 || cp > 0xDFFF) check(cp);
    for (char32_t cp = 0x10000; cp <= 0x10FFFF; cp += 0x3F) check(cp);
    check(0x10FFFF);
    ASSERT_EQ(fromGlibc, 6879 + 6067 + 63 + 2);  // both sets, kana, U+00A5 and U+203E
}

// -xMS: each cell whose Windows form differs reads as glibc's EUC-JP-MS
// reads it, and both that form and glibc's EUC-JP reading (which input still
// accepts) are written to the cell.
TEST(UnicodeMap, WindowsFormsBothWaysUnderMs) {
    const Iconv eucJp("UTF-32BE", "EUC-JP"), eucJpMs("UTF-32BE", "EUC-JP-MS");
    for (const std::int32_t cell : {0xA1C1, 0xA1C2, 0xA1DD, 0xA1F1, 0xA1F2, 0xA2CC, 0x8FA2C3}) {
        SCOPED_TRACE(::testing::Message() << std::hex << "cell 0x" << cell);
        const char32_t windows = glibcDecode(eucJpMs, cell), standard = glibcDecode(eucJp, cell);
        ASSERT_NE(windows, standard);
        EXPECT_EQ(eucToUnicode(cell, true), windows);
        EXPECT_EQ(eucToUnicode(cell, false), standard);
        EXPECT_EQ(unicodeToEuc(windows, true), cell);
        EXPECT_EQ(unicodeToEuc(standard, true), cell);
        EXPECT_EQ(unicodeToEuc(standard, false), cell);
    }
}

TEST(UnicodeMap, CodesOutsideTheMultiByteFormsHaveNoCodePoint) {
    for (const std::int32_t code : {-1, -0x5B5E, 0x00, 0x41, 0x5C, 0x8E, 0xA4, 0x8EA0, 0x8EE0, 0xA1A0, 0xA1FF,
                                    0xFFA1, 0x8FA1A0, 0x8FA1FF, 0x8FFFA1, 0x8EA1A1, 0x1A4A2, 0x7FFFFFFF})
        for (const bool windows : {false, true})
            EXPECT_EQ(eucToUnicode(code, windows), 0u) << std::hex << code << " windows " << windows;
}

}  // namespace
}  // namespace zekt::testing
