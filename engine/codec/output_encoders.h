// The output encoders: the bytes of one character in the output code,
// written at a cursor that has room for them. Inline, so that the block
// loops can take them in.
#pragma once

#include <array>
#include <bit>
#include <cstring>

#include "code_arithmetic.h"
#include "codec.h"
#include "cp932_map.h"
#include "jisx0213_map.h"
#include "unicode_map.h"

namespace zekt {

using Out = std::uint8_t*;

constexpr bool isHalfWidthKanaForm(CharCode c) { return ((c >> 8) & 0xFF) == SS2; }

inline Out put(Out out, int b) {
    *out = static_cast<std::uint8_t>(b);
    return out + 1;
}

// The two bytes of v: (v >> 8) & 0xFF, then v & 0xFF.
inline Out putTwo(Out out, std::int32_t v) {
    out[0] = static_cast<std::uint8_t>(v >> 8);
    out[1] = static_cast<std::uint8_t>(v);
    return out + 2;
}

// The significant bytes of v, most significant first: one byte when
// v <= 0xFF (a negative v gives its low byte), else two, three or four.
inline Out putCodeBytes(Out out, std::int32_t v) {
    if (v > 0xFFFFFF) out = put(out, v >> 24);
    if (v > 0xFFFF) out = put(out, v >> 16);
    if (v > 0xFF) out = put(out, v >> 8);
    return put(out, v);
}

// A carried character in the EUC-based form that EUC and JIS write: the
// cell of its character, or the substitute.
inline CharCode cellOfCarried(const Codec& conv, CharCode c, ShiftState& shift) {
    const std::int32_t cell = c >= windowsChar
                                  ? windowsExtensionCell(c - windowsChar)
                                  : unicodeToEuc(static_cast<char32_t>(c - unicodeChar), conv.windowsUnicode);
    return cell != 0 ? cell : substitute(shift);
}

// EUC, and "no conversion", write the internal form as it is.
inline Out encodeEuc(const Codec& conv, Out out, CharCode c, ShiftState& shift) {
    if (isCarried(c)) c = cellOfCarried(conv, c, shift);
    return putCodeBytes(out, c);
}

// What Shift-JIS can write of a character beyond JIS X 0208 (a carried
// one, or JIS X 0212): its code page 932 code, or 0 if it has none. JIS X
// 0212 goes by its code point as the pass reads it (windows: -xMS), as
// on the way through UTF-8.
constexpr std::int32_t cp932CodeBeyondJis(CharCode c, bool windows) {
    if (c >= windowsChar) return c - windowsChar;
    if (c >= unicodeChar) return unicodeToCp932(static_cast<char32_t>(c - unicodeChar));
    return unicodeToCp932(eucToUnicode(c, windows));
}

inline Out encodeSjis(const Codec& conv, Out out, CharCode c, ShiftState& shift) {
    if (c > 0xFFFF) {
        if (const std::int32_t code = cp932CodeBeyondJis(c, conv.windowsUnicode); code != 0)
            return code <= 0xFF ? put(out, code) : putTwo(out, code);
        c = substitute(shift);
    }
    if (c <= 0xFF) return put(out, c);
    if (isHalfWidthKanaForm(c)) return put(out, c);
    return putTwo(out, eucToSjis(c));
}

// JIS: a sequence goes out only when the set in force changes.
inline Out ensureMode(Out out, ShiftState& shift, JisMode mode, std::int32_t sequence) {
    if (shift.output.mode == mode) return out;
    shift.output.mode = mode;
    return putCodeBytes(out, sequence);
}

// The single-byte set of the jisAsciiMode setting, and its mode once in force.
constexpr JisMode singleByteMode(JisMode jisAsciiMode) {
    return jisAsciiMode == JisMode::ROMAJI ? JisMode::ROMAJI : JisMode::ASCII;
}

inline Out returnToSingleByte(const Codec& conv, Out out, ShiftState& shift) {
    switch (conv.jisAsciiMode) {
        case JisMode::ASCII: return ensureMode(out, shift, JisMode::ASCII, ESC_PAREN_B);
        case JisMode::ROMAJI: return ensureMode(out, shift, JisMode::ROMAJI, ESC_PAREN_J);
        case JisMode::NEC: return ensureMode(out, shift, JisMode::ASCII, ESC_H);
        default: return out;
    }
}

Out encodeJisKana(const Codec& conv, Out out, CharCode c, ShiftState& shift);

inline Out encodeJisKanji(const Codec& conv, Out out, CharCode c, ShiftState& shift) {
    switch (conv.jisKanjiMode) {
        case JisMode::KANJI1978: out = ensureMode(out, shift, JisMode::KANJI1978, ESC_DOLLAR_AT); break;
        case JisMode::KANJI1983: out = ensureMode(out, shift, JisMode::KANJI1983, ESC_DOLLAR_B); break;
        case JisMode::NEC: out = ensureMode(out, shift, JisMode::NEC, ESC_K); break;
        default: break;
    }
    return putTwo(out, c & 0x7F7F);
}

inline Out encodeJis(const Codec& conv, Out out, CharCode c, ShiftState& shift) {
    if (c > 0xFFFF && isCarried(c)) c = cellOfCarried(conv, c, shift);
    if (c > 0xFFFF) {
        if (conv.jisKanjiMode != JisMode::NEC) {
            out = ensureMode(out, shift, JisMode::EX1990, ESC_DOLLAR_PAREN_D);
            return putTwo(out, c & 0x7F7F);
        }
        c = substitute(shift);  // NEC kanji has no supplementary set
    }
    if (c <= 0xFF) {
        const bool control = c >= 0x01 && c <= 0x1F;
        if (!control || conv.escapeBeforeControls) out = returnToSingleByte(conv, out, shift);
        return put(out, c);
    }
    if (isHalfWidthKanaForm(c)) return encodeJisKana(conv, out, c, shift);
    return encodeJisKanji(conv, out, c, shift);
}

// UTF-8 of a code point: below 0x80 one byte, below 0x800 two, below
// 0x10000 three, else four.
inline Out putUtf8(Out out, char32_t u) {
    if (u < 0x80) return put(out, static_cast<int>(u));
    if (u < 0x800) {
        out[0] = static_cast<std::uint8_t>(0xC0 | (u >> 6));
        out[1] = static_cast<std::uint8_t>(0x80 | (u & 0x3F));
        return out + 2;
    }
    if (u < 0x10000) {
        out[0] = static_cast<std::uint8_t>(0xE0 | (u >> 12));
        out[1] = static_cast<std::uint8_t>(0x80 | ((u >> 6) & 0x3F));
        out[2] = static_cast<std::uint8_t>(0x80 | (u & 0x3F));
        return out + 3;
    }
    out[0] = static_cast<std::uint8_t>(0xF0 | (u >> 18));
    out[1] = static_cast<std::uint8_t>(0x80 | ((u >> 12) & 0x3F));
    out[2] = static_cast<std::uint8_t>(0x80 | ((u >> 6) & 0x3F));
    out[3] = static_cast<std::uint8_t>(0x80 | (u & 0x3F));
    return out + 4;
}

template <std::size_t N>
inline Out writeBom(Out out, ShiftState& shift, const std::array<std::uint8_t, N>& mark) {
    shift.writer.markPending = false;
    for (std::uint8_t b : mark) out = put(out, b);
    return out;
}

// The substitute's code point (the geta mark, U+3013, unless changed).
inline char32_t substituteCodePoint(const Codec& conv, ShiftState& shift) {
    const char32_t u = eucToUnicode(substitute(shift), conv.windowsUnicode);
    return u != 0 ? u : 0x3013;
}

// The code point of a carried character, or 0 if it has none.
constexpr char32_t codePointOfCarried(CharCode c) {
    return c >= windowsChar ? cp932ExtensionCodePoint(c - windowsChar)
                            : static_cast<char32_t>(c - unicodeChar);
}

// The code point of a character that is no ASCII byte, or the
// substitute's where it has none.
inline char32_t codePointOf(const Codec& conv, CharCode c, ShiftState& shift) {
    const char32_t u = isCarried(c) ? codePointOfCarried(c) : eucToUnicode(c, conv.windowsUnicode);
    return u != 0 ? u : substituteCodePoint(conv, shift);
}

// The UTF-8 of every JIS X 0208 cell (0 where it has none), made from the
// generated table: its bytes from the lowest up, its length in the top byte.
inline constexpr std::array<std::uint32_t, 94 * 94> utf8OfCell = [] {
    std::array<std::uint32_t, 94 * 94> t{};
    for (std::size_t i = 0; i < t.size(); ++i) {
        const std::uint32_t u = jisX0208ToUnicode[i];
        if (u == 0) continue;
        if (u < 0x80) throw "a cell in the ASCII range";
        if (u < 0x800)
            t[i] = 2u << 24 | (0x80 | (u & 0x3F)) << 8 | (0xC0 | u >> 6);
        else
            t[i] = 3u << 24 | (0x80 | (u & 0x3F)) << 16 | (0x80 | ((u >> 6) & 0x3F)) << 8 | (0xE0 | u >> 12);
    }
    return t;
}();

// An entry of the table above, written: up to three bytes stored at once,
// the length from the top byte.
inline Out putPackedUtf8(Out out, std::uint32_t packed) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, &packed, 4);  // one store; the fourth byte is the next one's to overwrite
    } else {
        out[0] = static_cast<std::uint8_t>(packed);
        out[1] = static_cast<std::uint8_t>(packed >> 8);
        out[2] = static_cast<std::uint8_t>(packed >> 16);
    }
    return out + (packed >> 24);
}

// Single bytes 0x80-0xFF, unassigned cells and anything malformed have no
// code point: they become the substitute. Kanji, the bulk, are one read of
// the table above (under -xMS seven of them differ: then the long way).
inline Out encodeUtf8(const Codec& conv, Out out, CharCode c, ShiftState& shift) {
    if (shift.writer.markPending) out = writeBom(out, shift, utf8Bom);
    if (c >= 0 && c < 0x80) return put(out, c);
    if (const int cell = cellIndex(c); cell >= 0 && !conv.windowsUnicode) {
        if (const std::uint32_t packed = utf8OfCell[static_cast<std::size_t>(cell)])
            return putPackedUtf8(out, packed);
    }
    return putUtf8(out, codePointOf(conv, c, shift));
}

// UTF-16: one code unit, in the order asked for; a code point, as one unit
// or beyond the Basic Multilingual Plane as a surrogate pair.
template <bool BigEndian>
inline Out putUtf16Unit(Out out, char32_t unit) {
    out[BigEndian ? 1 : 0] = static_cast<std::uint8_t>(unit);
    out[BigEndian ? 0 : 1] = static_cast<std::uint8_t>(unit >> 8);
    return out + 2;
}
template <bool BigEndian>
inline Out putUtf16(Out out, char32_t u) {
    if (u < 0x10000) return putUtf16Unit<BigEndian>(out, u);
    u -= 0x10000;
    out = putUtf16Unit<BigEndian>(out, 0xD800 | u >> 10);
    return putUtf16Unit<BigEndian>(out, 0xDC00 | (u & 0x3FF));
}

template <bool BigEndian>
inline Out encodeUtf16(const Codec& conv, Out out, CharCode c, ShiftState& shift) {
    if (shift.writer.markPending) out = writeBom(out, shift, BigEndian ? utf16BeBom : utf16LeBom);
    if (c >= 0 && c < 0x80) return putUtf16Unit<BigEndian>(out, static_cast<char32_t>(c));
    return putUtf16<BigEndian>(out, codePointOf(conv, c, shift));
}

inline constexpr std::array<OutputEncoder, codeKindCount> outputEncoders{
    encodeEuc, encodeJis, encodeSjis, encodeEuc, encodeUtf8, encodeUtf16<false>, encodeUtf16<true>};

// JIS X 0213 outputs write single bytes and half-width katakana as the
// others do; any other character by its code point, or as the code of a
// base and mark joined. romanBytes: Shift_JIS-2004's single bytes for the
// yen sign and the overline.
inline std::int32_t x0213CodeOf(const Codec& conv, CharCode c, ShiftState& shift, bool romanBytes) {
    if (c >= x0213Char) return c - x0213Char;
    const char32_t u = codePointOf(conv, c, shift);
    if (romanBytes && isRomanOnly(u)) return u == 0xA5 ? 0x5C : 0x7E;
    if (const std::int32_t code = unicodeToX0213(u)) return code;
    const std::int32_t cell = jisX0208CellOf(u);  // U+2015, JIS X 0213's U+2014
    return cell != 0 ? cell : substitute(shift);
}

constexpr bool isByteOrKana(CharCode c) { return c <= 0xFF || (c <= 0xFFFF && isHalfWidthKanaForm(c)); }

inline Out encodeEucX0213(const Codec& conv, Out out, CharCode c, ShiftState& shift) {
    return putCodeBytes(out, isByteOrKana(c) ? c : x0213CodeOf(conv, c, shift, false));
}

inline Out encodeSjisX0213(const Codec& conv, Out out, CharCode c, ShiftState& shift) {
    if (!isByteOrKana(c)) c = x0213CodeOf(conv, c, shift, true);
    if (isByteOrKana(c)) return put(out, c);  // a kana's second byte
    return putTwo(out, x0213ToSjis(c));
}

// A plane 1 cell that JIS X 0208 has for the same character goes out as
// JIS X 0208 (in the kanji set of the settings), the rest of plane 1 after
// ESC $ ( Q, plane 2 after ESC $ ( P; the yen sign and the overline in JIS
// X 0201 Roman, as glibc writes them.
inline Out encodeJisX0213(const Codec& conv, Out out, CharCode c, ShiftState& shift) {
    if (isByteOrKana(c)) return encodeJis(conv, out, c, shift);
    std::int32_t code = c - x0213Char, inJisX0208 = 0;
    if (c < x0213Char) {
        const char32_t u = codePointOf(conv, c, shift);
        if (isRomanOnly(u))
            return put(ensureMode(out, shift, JisMode::ROMAJI, ESC_PAREN_J), u == 0xA5 ? 0x5C : 0x7E);
        code = unicodeToX0213(u);
        inJisX0208 = jisX0208CellOf(u);
        if (code == 0 && inJisX0208 == 0) code = substitute(shift);
    }
    if (inJisX0208 != 0 && (code == 0 || code == inJisX0208))
        return encodeJisKanji(conv, out, inJisX0208, shift);
    if (isHalfWidthKanaForm(code)) return encodeJis(conv, out, code, shift);
    if (code > 0xFFFF)
        return putTwo(ensureMode(out, shift, JisMode::X0213_PLANE2, ESC_DOLLAR_PAREN_P), code & 0x7F7F);
    return putTwo(ensureMode(out, shift, JisMode::X0213_PLANE1, ESC_DOLLAR_PAREN_Q), code & 0x7F7F);
}

inline constexpr std::array<OutputEncoder, codeKindCount> x0213Encoders{
    encodeEuc,  encodeJisX0213,     encodeSjisX0213,  encodeEucX0213,
    encodeUtf8, encodeUtf16<false>, encodeUtf16<true>};

}  // namespace zekt
