// The three exchanges: kana joining, full-width ASCII folding, and the
// spellings of the machine-dependent characters, seen at the output.
#include "exchanges.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "code_arithmetic.h"
#include "output_checks.h"

namespace zekt::testing {
namespace {

// CharCodes in EUC form (what -E reads back as the same characters).
std::string eucBytes(const Spelling& spelling) {
    std::string text;
    for (CharCode c : spelling) {
        if (c == 0) break;
        text += c <= 0xFF ? std::string(1, static_cast<char>(c)) : twoBytes(c);
    }
    return text;
}

// Shift-JIS half-width kana in, EUC out. Each character leaves one step late,
// so the splits also cover a character held across a block boundary.
TEST(Exchanges, KanaJoining) {
    const std::vector<std::string> x{"-S", "-e", "-X"};
    expectVectors({
        {x, "B6 DE", "A5AC"},
        {x, "CA DF", "A5D1"},
        {x, "B3 DE", "A5F4"},
        {x, "CE DE CE DF", "A5DC A5DD"},
        {x, "B1", "A5A2"},
        {x, "61 B6 DE 62", "61 A5AC 62"},
        // Marks that join nothing come out full-width.
        {x, "B6 DF", "A5AB A1AC"},
        {x, "B1 DE", "A5A2 A1AB"},
        {x, "DC DE", "A5EF A1AB"},
        {x, "61 DE", "61 A1AB"},
        {x, "DE DF", "A1AB A1AC"},
        {x, "B6 DE DE", "A5AC A1AB"},
        {x, "CA DF DF B6", "A5D1 A1AC A5AB"},
        // A line end waits its turn like any other character.
        {{"-S", "-e", "-X", "-lf"}, "B6 0D 0A DE", "A5AB 0A A1AB"},
        {{"-S", "-s", "-X"}, "61 B6 DE 62", "61 834B 62"},
        {{"-S", "-j", "-X", "-lf"}, "B1 0A", "1B2442 2522 1B2842 0A"},
        // Kana of every input form is widened.
        {{"-E", "-e", "-X"}, "8E B6 8E DE", "A5AC"},
        {{"-J", "-e", "-X"}, "1B 28 49 36 5E 1B 28 42", "A5AC"},
        {{"-J", "-e", "-X"}, "0E 36 5E 0F", "A5AC"},
        {{"-J", "-e", "-X"}, "B6 DE", "A5AC"},
    });
}

// Rows 1 and 3, every cell: glibc names the character; the full-width forms
// of ASCII fold to ASCII, nine look-alikes fold too, everything else stays.
TEST(Exchanges, AsciiFoldOverRowsOneAndThree) {
    constexpr std::pair<CharCode, char> lookAlikes[] = {
        {0xA1AD, '\''}, {0xA1BD, '-'}, {0xA1C6, '`'}, {0xA1C7, '\''}, {0xA1C8, '"'},
        {0xA1C9, '"'},  {0xA1D2, '<'}, {0xA1D3, '>'}, {0xA1DD, '-'},
    };
    const Iconv toUtf32("UTF-32BE", "EUC-JP");
    std::string input, expected;
    for (int row : {0xA1, 0xA3}) {
        for (int col = 0xA1; col <= 0xFE; ++col) {
            const CharCode c = row << 8 | col;
            CharCode folded = c;
            const auto wide = toUtf32(twoBytes(c));
            if (wide && wide->size() == 4) {
                const auto u =
                    static_cast<std::uint8_t>((*wide)[2]) << 8 | static_cast<std::uint8_t>((*wide)[3]);
                if (u >= 0xFF01 && u <= 0xFF5E) folded = u - 0xFEE0;
            }
            for (auto [code, ascii] : lookAlikes)
                if (code == c) folded = ascii;
            EXPECT_EQ(foldToAscii(c), folded) << hex(twoBytes(c));
            input += twoBytes(c);
            expected += folded <= 0xFF ? std::string(1, static_cast<char>(folded)) : twoBytes(folded);
        }
    }
    EXPECT_EQ(hex(convertWith({"-E", "-e", "-Z"}, input)), hex(expected));
}

// Every row-13 cell, in each input code and through each output code, comes
// out as its spelling would when given as input, or unchanged when it has none.
TEST(Exchanges, NecRowSpellingsInEveryCode) {
    for (int col = 0xA1; col <= 0xFE; ++col) {
        const CharCode c = 0xAD00 | col;
        const Spelling& spelling = necRowSpelling(c);
        const std::string asEuc = isEmpty(spelling) ? twoBytes(c) : eucBytes(spelling);
        const std::string inputs[][2] = {
            {"-E", twoBytes(c)},
            {"-S", twoBytes(eucToSjis(c))},
            {"-J", bytes("1B 24 42") + twoBytes(c & 0x7F7F) + bytes("1B 28 42")},
        };
        for (const char* out : {"-e", "-s", "-j"}) {
            for (const std::vector<std::string>& more : {std::vector<std::string>{}, {"-Z", "-X"}}) {
                std::vector<std::string> plain{"-E", out};
                plain.insert(plain.end(), more.begin(), more.end());
                const std::string expected = hex(convertWith(plain, asEuc));
                for (const auto& [code, input] : inputs) {
                    std::vector<std::string> options{code, out, "-xNOWIN"};
                    options.insert(options.end(), more.begin(), more.end());
                    EXPECT_EQ(hex(convertWith(options, input)), expected)
                        << "cell " << col - 0xA0 << " " << code << " " << out << " " << more.size();
                }
            }
        }
    }
}

// Vendor codes: a spelling, or the substitute where there is none or the
// exchange is off.
TEST(Exchanges, VendorCodeSpellings) {
    for (int code = kIbmExtFirst; code <= kIbmExtLast; ++code) {
        const Spelling& spelling = ibmExtSpelling(code);
        const std::string asEuc = isEmpty(spelling) ? bytes("A2 AE") : eucBytes(spelling);
        for (const char* out : {"-e", "-s", "-j"}) {
            EXPECT_EQ(hex(convertWith({"-S", out, "-xNOWIN"}, twoBytes(code))),
                      hex(convertWith({"-E", out}, asEuc)))
                << std::hex << code << " " << out;
            EXPECT_EQ(hex(convertWith({"-S", out, "-xNOWIN", "-Z", "-X"}, twoBytes(code))),
                      hex(convertWith({"-E", out, "-Z", "-X"}, asEuc)))
                << std::hex << code << " " << out;
        }
        EXPECT_EQ(hex(convertWith({"-S", "-e"}, twoBytes(code))), "A2 AE") << std::hex << code;
    }
}

// The rest of the machine-dependent area is never exchanged: the vendor
// kanji of rows 89-92 pass, the user area and later vendor codes substitute.
TEST(Exchanges, MachineDependentCodesWithoutSpelling) {
    std::string vendorKanji, userArea;
    std::size_t userCodes = 0;
    for (int lead = 0xED; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const int code = lead << 8 | trail;
            if (trail == 0x7F || (code >= kIbmExtFirst && code <= kIbmExtLast)) continue;
            if (lead <= 0xEE) {
                vendorKanji += twoBytes(code);
            } else if (lead >= 0xF0) {
                userArea += twoBytes(code);
                ++userCodes;
            }
        }
    }
    EXPECT_EQ(convertWith({"-S", "-s", "-xNOWIN", "-Z"}, vendorKanji), vendorKanji);
    std::string substitutes;
    for (std::size_t i = 0; i < userCodes; ++i) substitutes += bytes("A2 AE");
    EXPECT_EQ(convertWith({"-S", "-e", "-xNOWIN"}, userArea), substitutes);
    expectAtEverySplit({"-E", "-e", "-xNOWIN", "-Z", "-X"}, "8F B0 A1 8F A1 A1", "8F B0 A1 8F A1 A1");
}

TEST(Exchanges, Examples) {
    for (const char* out : {"-e", "-s", "-j"})
        expectAtEverySplit({"-E", out, "-Z"}, "A3 C1 A3 E2 A3 B1", "41 62 31");
    expectVectors({
        {{"-E", "-e", "-Z"}, "A1 A1", "A1 A1"},
        {{"-E", "-j", "-Z"}, "A1 CA A3 E1 A1 CB", "28 61 29"},
        {{"-S", "-xNOWIN"}, "87 40", "28 31 29"},
        {{"-S", "-xNOWIN"}, "87 53", "28 32 30 29"},
        {{"-S", "-s", "-xNOWIN"}, "87 63", "B8 DE D7 D1"},
        {{"-S", "-s", "-xNOWIN", "-X"}, "87 63", "834F 8389 8380"},
        {{"-S", "-s", "-xNOWIN"}, "87 93", "87 93"},
        {{"-S", "-e", "-xNOWIN"}, "87 93", "AD F3"},
        {{"-S", "-e", "-xNOWIN"}, "FA 54", "A2 AE"},
        {{"-S", "-e", "-xNOWIN"}, "FA 5C", "A2 AE"},
        {{"-S", "-e"}, "FA 5C", "A2 AE"},
        {{"-S", "-e", "-xNOWIN", "-Z"}, "FA 55", "7C"},
        {{"-S", "-e", "-xNOWIN"}, "FA 58", "B3 F4"},
        {{"-S", "-e", "-xNOWIN"}, "87 8A", "28 B3 F4 29"},
        {{"-E", "-s", "-xNOWIN"}, "AD A1", "28 31 29"},
        {{"-J", "-s", "-xNOWIN"}, "1B 24 42 2D 21 1B 28 42", "28 31 29"},
        // The last kana of a spelling still joins a mark that follows it:
        // centi (se-n-chi) then the voiced mark gives se-n-dji.
        {{"-S", "-e", "-xNOWIN", "-X"}, "87 61 DE", "A5BB A5F3 A5C2"},
        {{"-S", "-e", "-xNOWIN", "-X"}, "B6 87 63", "A5AB A5B0 A5E9 A5E0"},
    });
}

}  // namespace
}  // namespace zekt::testing
