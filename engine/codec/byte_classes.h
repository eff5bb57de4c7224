// What a byte can be in each code: the range tests that the decoder, the
// detection and the block shortcuts share.
#pragma once

#include <array>

#include "control_codes.h"
#include "engine_types.h"

namespace zekt {

constexpr bool in(int v, int low, int high) { return v >= low && v <= high; }

// Shift-JIS pairs: lead 0x81-0x9F or 0xE0-0xFF, trail 0x40-0x7E or 0x80-0xFC.
constexpr bool isSjisLead(int b) { return in(b, 0x81, 0x9F) || in(b, 0xE0, 0xFF); }
constexpr bool isSjisTrail(int b) { return in(b, 0x40, 0x7E) || in(b, 0x80, 0xFC); }
// JIS pairs (in a kanji mode): both bytes 0x21-0x7E. EUC pairs: both 0xA1-0xFE.
constexpr bool isJisByte(int b) { return in(b, 0x21, 0x7E); }
constexpr bool isEucByte(int b) { return in(b, 0xA1, 0xFE); }
constexpr bool isHalfWidthKanaByte(int b) { return in(b, 0xA1, 0xDF); }

// A fresh SS2 or SS3 and the byte after it that only Shift-JIS can read:
// a trail byte, but not what EUC allows there (SS2: 0xA1-0xDF, SS3: 0xA1-0xFE).
constexpr bool isSjisAfterSingleShift(int shift, int b) {
    return isSjisTrail(b) && (shift == SS2 ? !isHalfWidthKanaByte(b) : !isEucByte(b));
}

// The flags decodeByte records for a fresh byte from 0x80 up, before any
// pair it may start: 0x80 and 0xA0 stand alone; the single shifts; the rest
// of 0x81-0x9F, which only Shift-JIS leads with; kana; EUC's own 0xFD-0xFE.
constexpr std::uint32_t freshHighByteFlags(int c) {
    const std::uint32_t eightBit = detect::EIGHT_BIT;
    if (c == 0x80 || c == 0xA0) return eightBit;
    if (c == SS2) return eightBit | detect::SS2_KANA;
    if (c == SS3) return eightBit | detect::SS3_KANJI;
    if (c <= 0x9F) return eightBit | detect::SJIS_LEAD;
    if (c <= 0xDF) return eightBit | detect::KANA8;
    return c == 0xFD || c == 0xFE ? eightBit | detect::EUC_ONLY : eightBit;
}

// Whether decodeByte holds a fresh byte from 0x80 up for the byte after it
// (a first byte): all but 0x80 and 0xA0, and kana only in EUC.
constexpr bool holdsHighByte(int c, bool euc) {
    return c != 0x80 && c != 0xA0 && (euc || !in(c, 0xA1, 0xDF));
}

// The machine-dependent Shift-JIS pairs: NEC's row 13 and its selection of
// IBM kanji (0x8540-0x889E), the IBM extensions and all above (0xEB40 up).
constexpr bool isIzonPair(int pair) { return in(pair, 0x8540, 0x889E) || pair >= 0xEB40; }

// The flags decodeByte records on reading c after a held byte from 0x80 up
// (outside an EUC triple): Shift-JIS evidence after a single shift, and a
// machine-dependent Shift-JIS pair.
constexpr std::uint32_t pairFlags(int held, int c) {
    std::uint32_t flags = 0;
    if ((held == SS2 || held == SS3) && isSjisAfterSingleShift(held, c)) flags |= detect::SJIS_LEAD;
    if (isSjisLead(held) && isSjisTrail(c) && isIzonPair(held << 8 | c)) flags |= detect::IZON;
    return flags;
}

// Control bytes that mark binary input: 0x00-0x07 and 0x10-0x19; and DEL.
inline constexpr std::array<bool, 32> binaryControlTable = [] {
    std::array<bool, 32> t{};
    for (int c = 0x00; c <= 0x07; ++c) t[c] = true;
    for (int c = 0x10; c <= 0x19; ++c) t[c] = true;
    return t;
}();

constexpr bool marksBinary(int b) { return (b < 0x20 && binaryControlTable[b]) || b == DEL; }

// Well-formed UTF-8 (the Unicode Standard's table): after the lead, the
// first continuation byte lies in [low, high], the others in 0x80-0xBF.
//   C2-DF 80-BF | E0 A0-BF | E1-EC,EE-EF 80-BF | ED 80-9F
//   F0 90-BF | F1-F3 80-BF | F4 80-8F
// Anything else (80-C1, F5-FF) starts nothing.
struct Utf8Lead {
    int needed;  // continuation bytes, 0 if the byte starts no sequence
    int low, high;
    bool operator==(const Utf8Lead&) const = default;
};

constexpr Utf8Lead utf8Lead(int b) {
    if (in(b, 0xC2, 0xDF)) return {1, 0x80, 0xBF};
    if (b == 0xE0) return {2, 0xA0, 0xBF};
    if (b == 0xED) return {2, 0x80, 0x9F};
    if (in(b, 0xE1, 0xEF)) return {2, 0x80, 0xBF};
    if (b == 0xF0) return {3, 0x90, 0xBF};
    if (b == 0xF4) return {3, 0x80, 0x8F};
    if (in(b, 0xF1, 0xF3)) return {3, 0x80, 0xBF};
    return {0, 0, 0};
}

constexpr bool isUtf8Continuation(int b) { return in(b, 0x80, 0xBF); }

// The leads of the common sequences, whose continuations need only be
// 80-BF: two bytes (C2-DF), and three (E1-EC, EE-EF), the bulk of Japanese.
// The fast paths take these without the table; the vector code finds them
// as signed bytes in the ranges below.
constexpr bool isPlainLead2(int b) { return in(b, 0xC2, 0xDF); }
constexpr bool isPlainLead3(int b) { return in(b, 0xE1, 0xEF) && b != 0xED; }
inline constexpr int plainLead2Low = -62, plainLead2High = -33;                       // C2-DF
inline constexpr int plainLead3Low = -31, plainLead3High = -17, notPlainLead3 = -19;  // E1-EF but ED

static_assert([] {
    for (int b = 0; b < 256; ++b) {
        const Utf8Lead lead = utf8Lead(b);
        const bool plain = lead.low == 0x80 && lead.high == 0xBF;
        if (isPlainLead2(b) != (plain && lead.needed == 1) || isPlainLead3(b) != (plain && lead.needed == 2))
            return false;
        const int s = b < 0x80 ? b : b - 0x100;
        if (isPlainLead2(b) != in(s, plainLead2Low, plainLead2High) ||
            isPlainLead3(b) != (in(s, plainLead3Low, plainLead3High) && s != notPlainLead3))
            return false;
    }
    return true;
}());

}  // namespace zekt
