// Code page 932, the Shift-JIS that Windows writes, where it goes beyond the
// JIS cells: the code points of its codes from 0xED40 up, the EUC cells of
// its IBM extension, and the code it writes for each code point.
#pragma once

#include "code_arithmetic.h"
#include "cp932_tables.h"
#include "unicode_map.h"

namespace zekt {

inline constexpr std::int32_t userDefinedFirst = 0xF040, userDefinedLast = 0xF9FC;
inline constexpr std::int32_t ibmExtensionFirst = 0xFA40, ibmExtensionLast = 0xFC4B;

// The table index of a Shift-JIS code with a lead from first up (at most
// 0xFC), or -1.
constexpr int extensionIndex(std::int32_t sjis, int first) {
    const std::int32_t lead = sjis >> 8, trail = sjis & 0xFF;
    if (lead < first || lead > 0xFC || trail < 0x40 || trail > 0xFC || trail == 0x7F) return -1;
    return (lead - first) * 189 + (trail - 0x40);
}

// The code point of a code with a lead 0xED-0xFC, or 0 if it has none.
constexpr char32_t cp932ExtensionCodePoint(std::int32_t sjis) {
    const int i = extensionIndex(sjis, 0xED);
    return i < 0 ? 0 : cp932ExtensionToUnicode[static_cast<std::size_t>(i)];
}

// A code from 0xF040 up that code page 932 assigns: the user-defined area
// and the IBM extension.
constexpr bool isWindowsExtension(std::int32_t sjis) {
    return sjis >= userDefinedFirst && cp932ExtensionCodePoint(sjis) != 0;
}

// The EUC cell of an IBM extension code, or 0 (the user-defined area).
constexpr std::int32_t windowsExtensionCell(std::int32_t sjis) {
    if (sjis < ibmExtensionFirst || sjis > ibmExtensionLast) return 0;
    return ibmExtensionCells[static_cast<std::size_t>(extensionIndex(sjis, 0xFA))];
}

// What code page 932 writes for cp: a byte, lead << 8 | trail, or 0.
constexpr std::int32_t unicodeToCp932(char32_t cp) {
    if (cp > 0xFFFF) return 0;
    return cp932Pages[cp932PageIndex[cp >> 8]][cp & 0xFF];
}

// The NEC-selected kanji reach the JIS table as rows 89-92: both tables
// must read them alike.
static_assert([] {
    for (std::int32_t lead = 0xED; lead <= 0xEE; ++lead)
        for (std::int32_t trail = 0x40; trail <= 0xFC; ++trail)
            if (trail != 0x7F && cp932ExtensionCodePoint(lead << 8 | trail) !=
                                     eucToUnicode(sjisToEuc(lead << 8 | trail), false))
                return false;
    return true;
}());

// Every IBM code has a cell that holds its character as Windows maps it;
// every user-defined code is what code page 932 writes for its character.
static_assert([] {
    for (std::int32_t code = userDefinedFirst; code <= ibmExtensionLast; ++code) {
        const char32_t cp = cp932ExtensionCodePoint(code);
        if (cp == 0) continue;
        const bool ibm = code >= ibmExtensionFirst;
        if (ibm && eucToUnicode(windowsExtensionCell(code), true) != cp) return false;
        if (!ibm && unicodeToCp932(cp) != code) return false;
    }
    return true;
}());

}  // namespace zekt
