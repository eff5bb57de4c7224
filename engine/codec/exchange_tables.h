// Constant tables of the three character exchanges.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "engine_types.h"

namespace zekt {

// A replacement: the characters before the first 0; empty = no exchange.
using Spelling = std::array<CharCode, 8>;

constexpr Spelling spell(std::string_view text) {
    Spelling s{};
    for (std::size_t i = 0; i < text.size(); ++i) s[i] = static_cast<unsigned char>(text[i]);
    return s;
}

// JIS row 1 (EUC 0xA1A1-0xA1FE) by cell - 1: the ASCII byte, or 0 = stays.
inline constexpr std::array<std::uint8_t, 94> asciiFoldTable = [] {
    std::array<std::uint8_t, 94> t{};
    constexpr std::pair<int, char> folds[] = {
        {4, ','},  {5, '.'},  {7, ':'},  {8, ';'},  {9, '?'},   {10, '!'}, {13, '\''}, {14, '`'},
        {16, '^'}, {18, '_'}, {29, '-'}, {31, '/'}, {32, '\\'}, {35, '|'}, {38, '`'},  {39, '\''},
        {40, '"'}, {41, '"'}, {42, '('}, {43, ')'}, {46, '['},  {47, ']'}, {48, '{'},  {49, '}'},
        {50, '<'}, {51, '>'}, {60, '+'}, {61, '-'}, {65, '='},  {67, '<'}, {68, '>'},  {80, '$'},
        {83, '%'}, {84, '#'}, {85, '&'}, {86, '*'}, {87, '@'},
    };
    for (auto [cell, ascii] : folds) t[cell - 1] = static_cast<std::uint8_t>(ascii);
    return t;
}();

// Half-width katakana byte 0xA1-0xDF (index byte - 0xA1) to full-width EUC.
inline constexpr std::array<CharCode, 63> kanaWideTable{
    0xA1A3, 0xA1D6, 0xA1D7, 0xA1A2, 0xA1A6, 0xA5F2, 0xA5A1, 0xA5A3,  // A1-A8
    0xA5A5, 0xA5A7, 0xA5A9, 0xA5E3, 0xA5E5, 0xA5E7, 0xA5C3, 0xA1BC,  // A9-B0
    0xA5A2, 0xA5A4, 0xA5A6, 0xA5A8, 0xA5AA, 0xA5AB, 0xA5AD, 0xA5AF,  // B1-B8
    0xA5B1, 0xA5B3, 0xA5B5, 0xA5B7, 0xA5B9, 0xA5BB, 0xA5BD, 0xA5BF,  // B9-C0
    0xA5C1, 0xA5C4, 0xA5C6, 0xA5C8, 0xA5CA, 0xA5CB, 0xA5CC, 0xA5CD,  // C1-C8
    0xA5CE, 0xA5CF, 0xA5D2, 0xA5D5, 0xA5D8, 0xA5DB, 0xA5DE, 0xA5DF,  // C9-D0
    0xA5E0, 0xA5E1, 0xA5E2, 0xA5E4, 0xA5E6, 0xA5E8, 0xA5E9, 0xA5EA,  // D1-D8
    0xA5EB, 0xA5EC, 0xA5ED, 0xA5EF, 0xA5F3, 0xA1AB, 0xA1AC,          // D9-DF
};

constexpr CharCode wideKana(int byte) { return kanaWideTable[byte - 0xA1]; }

// With the voiced mark: U becomes VU; KA..TO and HA..HO take the next code.
inline constexpr std::array<CharCode, 63> kanaVoicedTable = [] {
    std::array<CharCode, 63> t{};
    t[0xB3 - 0xA1] = 0xA5F4;
    for (int b = 0xB6; b <= 0xC4; ++b) t[b - 0xA1] = wideKana(b) + 1;
    for (int b = 0xCA; b <= 0xCE; ++b) t[b - 0xA1] = wideKana(b) + 1;
    return t;
}();

// With the semi-voiced mark: HA..HO become PA..PO, two codes on.
inline constexpr std::array<CharCode, 63> kanaSemiVoicedTable = [] {
    std::array<CharCode, 63> t{};
    for (int b = 0xCA; b <= 0xCE; ++b) t[b - 0xA1] = wideKana(b) + 2;
    return t;
}();

// NEC special row 13 (EUC 0xADA1-0xADFE), by cell - 1.
inline constexpr std::array<Spelling, 94> necRowTable{
    spell("(1)"),
    spell("(2)"),
    spell("(3)"),
    spell("(4)"),
    spell("(5)"),  // 1-5
    spell("(6)"),
    spell("(7)"),
    spell("(8)"),
    spell("(9)"),
    spell("(10)"),  // 6-10
    spell("(11)"),
    spell("(12)"),
    spell("(13)"),
    spell("(14)"),
    spell("(15)"),  // 11-15
    spell("(16)"),
    spell("(17)"),
    spell("(18)"),
    spell("(19)"),
    spell("(20)"),  // 16-20
    spell("I"),
    spell("II"),
    spell("III"),
    spell("IV"),
    spell("V"),  // 21-25
    spell("VI"),
    spell("VII"),
    spell("VIII"),
    spell("IX"),
    spell("X"),                                                // 26-30
    Spelling{},                                                // 31
    Spelling{0x8ED0, 0x8ED8},                                  // 32 milli
    Spelling{0x8EB7, 0x8EDB},                                  // 33 kilo
    Spelling{0x8EBE, 0x8EDD, 0x8EC1},                          // 34 centi
    Spelling{0x8ED2, 0x8EB0, 0x8EC4, 0x8ED9},                  // 35 metre
    Spelling{0x8EB8, 0x8EDE, 0x8ED7, 0x8ED1},                  // 36 gram
    Spelling{0x8EC4, 0x8EDD},                                  // 37 ton
    Spelling{0x8EB1, 0x8EB0, 0x8ED9},                          // 38 are
    Spelling{0x8ECD, 0x8EB8, 0x8EC0, 0x8EB0, 0x8ED9},          // 39 hectare
    Spelling{0x8ED8, 0x8EAF, 0x8EC4, 0x8ED9},                  // 40 litre
    Spelling{0x8EDC, 0x8EAF, 0x8EC4},                          // 41 watt
    Spelling{0x8EB6, 0x8EDB, 0x8ED8, 0x8EB0},                  // 42 calorie
    Spelling{0x8EC4, 0x8EDE, 0x8ED9},                          // 43 dollar
    Spelling{0x8EBE, 0x8EDD, 0x8EC4},                          // 44 cent
    Spelling{0x8ECA, 0x8EDF, 0x8EB0, 0x8EBE, 0x8EDD, 0x8EC4},  // 45 percent
    Spelling{0x8ED0, 0x8ED8, 0x8ECA, 0x8EDE, 0x8EB0, 0x8ED9},  // 46 millibar
    Spelling{0x8ECD, 0x8EDF, 0x8EB0, 0x8EBC, 0x8EDE},          // 47 page
    spell("mm"),
    spell("cm"),
    spell("km"),
    spell("mg"),
    spell("kg"),  // 48-52
    spell("cc"),
    spell("m^2"),  // 53-54
    Spelling{},
    Spelling{},
    Spelling{},
    Spelling{},  // 55-58
    Spelling{},
    Spelling{},
    Spelling{},
    Spelling{},                // 59-62
    Spelling{0xCABF, 0xC0AE},  // 63 Heisei
    Spelling{},
    Spelling{},  // 64-65
    spell("No."),
    spell("K.K."),
    spell("TEL"),                // 66-68
    Spelling{'(', 0xBEE5, ')'},  // 69 top
    Spelling{'(', 0xC3E6, ')'},  // 70 middle
    Spelling{'(', 0xB2BC, ')'},  // 71 bottom
    Spelling{'(', 0xBAB8, ')'},  // 72 left
    Spelling{'(', 0xB1A6, ')'},  // 73 right
    Spelling{'(', 0xB3F4, ')'},  // 74 stock company
    Spelling{'(', 0xCDAD, ')'},  // 75 limited company
    Spelling{'(', 0xC2E5, ')'},  // 76 representative
    Spelling{0xCCC0, 0xBCA3},    // 77 Meiji
    Spelling{0xC2E7, 0xC0B5},    // 78 Taisho
    Spelling{0xBEBC, 0xCFC2},    // 79 Showa
    Spelling{0xA2E2},
    Spelling{0xA2E1},
    Spelling{0xA2E9},  // 80-82
    Spelling{},        // 83
    Spelling{0xA6B2},
    Spelling{0xA2E5},
    Spelling{0xA2DD},
    Spelling{0xA2DC},  // 84-87
    Spelling{},
    Spelling{},  // 88-89
    Spelling{0xA2E8},
    Spelling{0xA2C1},
    Spelling{0xA2C0},  // 90-92
    Spelling{},
    Spelling{},  // 93-94
};

static_assert(necRowTable[91][0] == 0xA2C0 && necRowTable[93][0] == 0, "row 13 misaligned");

// Shift-JIS vendor codes 0xFA40-0xFA5B, by code - 0xFA40.
inline constexpr std::array<Spelling, 28> ibmExtTable{
    spell("i"),       spell("ii"),      spell("iii"),  spell("iv"),      spell("v"),  // FA40-FA44
    spell("vi"),      spell("vii"),     spell("viii"), spell("ix"),      spell("x"),  // FA45-FA49
    spell("I"),       spell("II"),      spell("III"),  spell("IV"),      spell("V"),  // FA4A-FA4E
    spell("VI"),      spell("VII"),     spell("VIII"), spell("IX"),      spell("X"),  // FA4F-FA53
    Spelling{},       Spelling{0xA1C3}, Spelling{},    Spelling{},                    // FA54-FA57
    Spelling{0xB3F4}, spell("No."),     spell("TEL"),  Spelling{0xA2E8},              // FA58-FA5B
};

static_assert(ibmExtTable[27][0] == 0xA2E8, "vendor codes misaligned");

}  // namespace zekt
