// EUC-based character codes <-> Unicode code points, by direct indexing into
// the tables generated from glibc. Multi-byte codes only: the callers pass
// ASCII through themselves.
#pragma once

#include <array>
#include <cstdint>

#include "unicode_tables.h"

namespace zekt {

// Half-width katakana: 0x8EA1-0x8EDF <-> U+FF61-U+FF9F, cp = code + 0x70C0.
inline constexpr std::int32_t kanaToUnicodeOffset = 0xFF61 - 0x8EA1;

// The table index of a pair of EUC bytes 0xA1-0xFE, (lead - 0xA1) * 94 +
// (trail - 0xA1), or -1 for anything else (negative codes included).
constexpr int cellIndex(std::int32_t pair) {
    const std::int32_t lead = pair >> 8, trail = pair & 0xFF;
    if (lead < 0xA1 || lead > 0xFE || trail < 0xA1 || trail > 0xFE) return -1;
    return (lead - 0xA1) * 94 + (trail - 0xA1);
}

// Under -xMS seven cells take their Windows (code page 932) code points both
// ways. On input the last five of these already reach the same cells by
// default, so only U+FF5E and U+FFE4 change direction there.
constexpr char32_t windowsFormOfCell(std::int32_t c) {
    switch (c) {
        case 0xA1C1: return 0xFF5E;    // not U+301C
        case 0xA1C2: return 0x2225;    // not U+2016
        case 0xA1DD: return 0xFF0D;    // not U+2212
        case 0xA1F1: return 0xFFE0;    // not U+00A2
        case 0xA1F2: return 0xFFE1;    // not U+00A3
        case 0xA2CC: return 0xFFE2;    // not U+00AC
        case 0x8FA2C3: return 0xFFE4;  // not U+00A6
        default: return 0;
    }
}
constexpr std::int32_t windowsCellOf(char32_t cp) {
    switch (cp) {
        case 0xFF5E: return 0xA1C1;  // not 0x8FA2B7
        case 0xFFE4: return 0x8FA2C3;
        default: return 0;
    }
}

// The code point of c, or 0 if it has none:
//   0x8EA1-0x8EDF      half-width katakana, U+FF61-U+FF9F
//   0xA1A1-0xFEFE      JIS X 0208 (with NEC rows 13 and 89-92), both bytes >= 0xA1
//   0x8FA1A1-0x8FFEFE  JIS X 0212, last two bytes >= 0xA1
// Single bytes and everything outside these ranges give 0.
constexpr char32_t eucToUnicode(std::int32_t c, bool windows) {
    if (windows)
        if (const char32_t form = windowsFormOfCell(c)) return form;
    if (c >= 0x8EA1 && c <= 0x8EDF) return static_cast<char32_t>(c + kanaToUnicodeOffset);
    if (c >= 0xA1A1 && c <= 0xFEFE) {
        const int i = cellIndex(c);
        return i < 0 ? 0 : jisX0208ToUnicode[static_cast<std::size_t>(i)];
    }
    if (c >= 0x8FA1A1 && c <= 0x8FFEFE) {
        const int i = cellIndex(c & 0xFFFF);
        return i < 0 ? 0 : jisX0212ToUnicode[static_cast<std::size_t>(i)];
    }
    return 0;
}

// A packed reverse-table entry as a code: 0 none, 0x01-0x7F as is, low byte
// >= 0xA1 JIS X 0208 as is, low byte 0x21-0x7E JIS X 0212, 0x8F0000 | v | 0x80.
constexpr std::int32_t unpackEuc(std::uint16_t v) {
    if (v < 0x80 || (v & 0x80) != 0) return v;
    return 0x8F0000 | v | 0x80;
}

// The code of a code point, or 0 if it has none. Only U+0080-U+FFFF can have
// one (glibc maps nothing above); U+0080-U+009F never do. Two indexed reads:
//   unicodePages[unicodePageIndex[cp >> 8]][cp & 0xFF]
constexpr std::int32_t unicodeToEuc(char32_t cp, bool windows) {
    if (windows)
        if (const std::int32_t cell = windowsCellOf(cp)) return cell;
    // The kana lie at the top of the plane: one test passes everything below.
    if (cp < 0xFF61 || (cp > 0xFF9F && cp <= 0xFFFF))
        return unpackEuc(unicodePages[unicodePageIndex[cp >> 8]][cp & 0xFF]);
    if (cp <= 0xFF9F) return static_cast<std::int32_t>(cp) - kanaToUnicodeOffset;
    return 0;
}

// The JIS X 0208 cell of a code point below the half-width kana, or 0 (then
// unicodeToEuc has the answer): the common case of Japanese text in one
// look at the tables, the Windows mapping aside. A cell is an entry whose
// bytes are both >= 0xA1.
constexpr std::int32_t unicodeToKanji(char32_t cp) {
    if (cp >= 0xFF61) return 0;
    const std::uint16_t v = unicodePages[unicodePageIndex[cp >> 8]][cp & 0xFF];
    return (v & 0x80) != 0 && v >= 0xA1A1 ? v : 0;
}

static_assert(eucToUnicode(0xA4A2, false) == U'\u3042' && unicodeToEuc(U'\u3042', false) == 0xA4A2);
static_assert(eucToUnicode(0xA2AE, false) == U'\u3013' && unicodeToEuc(U'\u3013', false) == 0xA2AE);
static_assert(eucToUnicode(0x8EB1, false) == U'\uFF71' && unicodeToEuc(U'\uFF71', false) == 0x8EB1);
static_assert(eucToUnicode(0x8FB0A1, false) == U'\u4E02' && unicodeToEuc(U'\u4E02', false) == 0x8FB0A1);
static_assert(eucToUnicode(0xA1C1, false) == U'\u301C' && eucToUnicode(0xA1C1, true) == U'\uFF5E');
static_assert(unicodeToEuc(U'\uFF5E', false) == 0x8FA2B7 && unicodeToEuc(U'\uFF5E', true) == 0xA1C1);
static_assert(eucToUnicode(0xA1A0, false) == 0 && eucToUnicode(0xA1FF, false) == 0 &&
              eucToUnicode(-1, true) == 0 && unicodeToEuc(U'\x85', false) == 0);

}  // namespace zekt
