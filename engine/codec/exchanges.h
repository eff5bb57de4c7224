// The character exchanges: full-width ASCII, half-width kana, and the
// machine-dependent characters.
#pragma once

#include "codec.h"
#include "exchange_tables.h"

namespace zekt {

constexpr CharCode kNecRowFirst = 0xADA1, kNecRowLast = 0xADFE;
constexpr std::int32_t kIbmExtFirst = 0xFA40, kIbmExtLast = 0xFA5B;

constexpr bool isHalfWidthKana(CharCode c) { return c >= 0x8EA1 && c <= 0x8EDF; }
constexpr bool isEmpty(const Spelling& s) { return s[0] == 0; }

// Full-width ASCII of rows 1 and 3 to 7-bit ASCII; anything else unchanged.
constexpr CharCode foldToAscii(CharCode c) {
    if (c >= 0xA1A1 && c <= 0xA1FE) {
        const std::uint8_t ascii = asciiFoldTable[c - 0xA1A1];
        return ascii ? ascii : c;
    }
    const bool digit = c >= 0xA3B0 && c <= 0xA3B9;
    const bool upper = c >= 0xA3C1 && c <= 0xA3DA;
    const bool lower = c >= 0xA3E1 && c <= 0xA3FA;
    return digit || upper || lower ? c - 0xA380 : c;
}

// Holds each character back one step so that a following sound mark can
// join a half-width kana. Returns the character to write now, or 0 for none.
// Given 0, it releases the held character.
constexpr CharCode widenKana(CharCode c, ShiftState& shift) {
    const CharCode p = shift.writer.heldKana;
    if (isHalfWidthKana(p)) {
        const int byte = p & 0xFF;
        CharCode joined = 0;
        if (c == 0x8EDE) joined = kanaVoicedTable[byte - 0xA1];
        if (c == 0x8EDF) joined = kanaSemiVoicedTable[byte - 0xA1];
        if (joined) {
            shift.writer.heldKana = 0;
            return joined;
        }
        shift.writer.heldKana = c;
        return wideKana(byte);
    }
    shift.writer.heldKana = c;
    return p;
}

// c must lie in 0xADA1-0xADFE.
constexpr const Spelling& necRowSpelling(CharCode c) { return necRowTable[c - kNecRowFirst]; }

// s must lie in 0xFA40-0xFA5B.
constexpr const Spelling& ibmExtSpelling(std::int32_t s) { return ibmExtTable[s - kIbmExtFirst]; }

// Writes the characters of a spelling at out, each through writeChar's
// steps again; a spelling fits in the room one character is given.
inline std::uint8_t* writeSpellingAt(Codec& conv, std::uint8_t* out, const Spelling& spelling,
                                     ShiftState& shift) {
    for (CharCode part : spelling) {
        if (part == 0) break;
        out = conv.writeCharAt(out, part, shift);
    }
    return out;
}

}  // namespace zekt
