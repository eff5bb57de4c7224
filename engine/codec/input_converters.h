// The input converters: what each input code makes of the RawCodes that
// decodeByte yields, as characters for the writer.
#pragma once

#include <array>

#include "code_arithmetic.h"
#include "codec.h"
#include "composition_tables.h"
#include "cp932_map.h"
#include "exchanges.h"
#include "jisx0213_map.h"
#include "output_encoders.h"
#include "unicode_map.h"

namespace zekt {

// Converts one block: every byte through decodeByte, every character to
// the writer. The report and line end are the scan's during a fused pass,
// scratch ones otherwise.
using InputConverter = void (*)(Codec&, const InputBuffer&, DecodeState&, ShiftState&, DetectReport&,
                                ReturnKind&);

// Indexed by the input CodeKind: the plain path, one decodeByte per byte.
extern const std::array<InputConverter, codeKindCount> inputConverters;
// The same for Shift_JIS-2004 and EUC-JIS-2004 input (SJIS and EUC).
extern const std::array<InputConverter, codeKindCount> x0213InputConverters;

// Writes a character through all of writeChar's steps.
struct WriteChar {
    Codec& conv;
    std::uint8_t* operator()(std::uint8_t* out, CharCode c, ShiftState& shift) const {
        return conv.writeCharAt(out, c, shift);
    }
};

constexpr bool isKanaShift(JisMode m) { return m == JisMode::KANA7 || m == JisMode::SISO; }

// JIS: 7-bit kana after ESC ( I or SO, 8-bit kana, and 7-bit pairs that are
// JIS X 0212 after ESC $ ( D and JIS X 0208 otherwise.
constexpr CharCode jisCharCode(RawCode r, JisMode inMode) {
    if (r < 0x20 || r == CRLF) return r;
    if (r >= 0x21 && r <= 0x5F && isKanaShift(inMode)) return r | 0x8E80;
    if (r >= 0xA1 && r <= 0xDF) return SS2 << 8 | r;
    if (r <= 0xFF) return r;
    return inMode == JisMode::EX1990 ? r | 0x8F8080 : r | 0x8080;
}

// A pair of JIS input read in one of JIS X 0213's planes.
constexpr bool isX0213Pair(RawCode r, JisMode inMode) {
    return isX0213Mode(inMode) && r > 0xFF && r != CRLF && r < utf8Char;
}

inline bool anyExchange(const Codec& conv) {
    return conv.exchangeAscii || conv.exchangeKana || conv.exchangeWindows;
}

// Whether an exchange that is on would rewrite the character c.
inline bool exchangeRewrites(const Codec& conv, CharCode c) {
    if (conv.exchangeAscii && foldToAscii(c) != c) return true;
    if (conv.exchangeKana && isHalfWidthKana(c)) return true;
    return conv.exchangeWindows && c >= kNecRowFirst && c <= kNecRowLast && !isEmpty(necRowSpelling(c));
}

// Shift-JIS writes JIS X 0208 as the arithmetic gives it, as code page 932
// does; from row 89 up code page 932 has codes of its own.
inline constexpr CharCode firstCellBeyondCp932Agreement = 0xF9A1;

// UTF-8: the JIS code of a code point, in EUC form. Unicode output carries
// every character as read (bar what an exchange rewrites), and Shift-JIS
// output carries what has no cell below row 89, for code page 932 to
// write. Otherwise a code point without a JIS code, and an ill-formed
// sequence, become the substitute.
inline CharCode utf8CharCode(const Codec& conv, RawCode r, ShiftState& shift) {
    if (r < utf8Char) return r;  // a byte below 0x80 or a line end
    if (r == illFormed) return substitute(shift);
    // Unicode and JIS X 0213 outputs take the code point itself.
    const bool byCodePoint = isUnicode(conv.outputCode) || conv.outputJisX0213;
    if (byCodePoint && !anyExchange(conv)) return r;
    const CharCode c = unicodeToEuc(static_cast<char32_t>(r - utf8Char), conv.windowsUnicode);
    if (byCodePoint) return c != 0 && exchangeRewrites(conv, c) ? c : r;
    switch (conv.outputCode) {
        case CodeKind::SJIS: return c != 0 && c < firstCellBeyondCp932Agreement ? c : r;
        default: return c != 0 ? c : substitute(shift);
    }
}

constexpr bool isVariationSelector(char32_t u) {
    return (u >= 0xFE00 && u <= 0xFE0F) || (u >= 0xE0100 && u <= 0xE01EF);
}

constexpr bool isLegacy(CodeKind kind) {
    return kind == CodeKind::JIS || kind == CodeKind::SJIS || kind == CodeKind::EUC;
}

constexpr bool isKanaMark(char32_t u) { return u == 0x3099 || u == 0x309A; }

// What canonical composition makes of a kana and a combining mark, or 0.
constexpr char32_t composedKana(char32_t kana, char32_t mark) {
    const char32_t i = kana - firstComposingKana;
    if (i >= voicedComposition.size()) return 0;
    return (mark == 0x3099 ? voicedComposition : semiVoicedComposition)[i];
}

constexpr bool takesKanaMark(char32_t u) {
    return composedKana(u, 0x3099) != 0 || composedKana(u, 0x309A) != 0;
}

// A kana whose composition JIS X 0208 has is a JIS X 0208 character itself,
// written as its cell: the block path finds it as the two bytes before a mark.
static_assert([] {
    for (char32_t kana = firstComposingKana; kana < firstComposingKana + voicedComposition.size(); ++kana)
        for (const char32_t mark : {U'\u3099', U'\u309A'}) {
            const std::int32_t composed = unicodeToEuc(composedKana(kana, mark), false);
            const std::int32_t cell = unicodeToEuc(kana, false);
            if (composed >= 0xA1A1 && composed <= 0xFEFE && !(cell >= 0xA1A1 && cell <= 0xFEFE)) return false;
        }
    return true;
}());

// The JIS X 0208 cell a legacy output writes for u, or 0 for any other.
inline CharCode kanjiCellOf(const Codec& conv, char32_t u) {
    const CharCode c = unicodeToEuc(u, conv.windowsUnicode);
    return c >= 0xA1A1 && c < firstCellBeyondCp932Agreement ? c : 0;
}

// Whether kana, written as its cell in the two bytes before out, joined the
// mark u: rewritten in place as the composed character, when the output has
// it and the bytes are still in the buffer (handOnOutput keeps them).
inline bool rewriteKana(const Codec& conv, std::uint8_t* out, char32_t kana, char32_t u, ShiftState& shift) {
    if (out - 2 < conv.sink().data) return false;
    const CharCode cell = kanjiCellOf(conv, composedKana(kana, u));
    if (cell == 0) return false;
    shift.writer.kanaEnd = -1;
    const CharCode code = conv.outputCode == CodeKind::SJIS  ? eucToSjis(cell)
                          : conv.outputCode == CodeKind::JIS ? cell & 0x7F7F
                                                             : cell;
    putTwo(out - 2, code);
    return true;
}

// The kana noted just before out, joined with the mark u.
inline bool joinKanaMark(const Codec& conv, std::uint8_t* out, char32_t u, ShiftState& shift) {
    return outputOffset(conv.sink(), out) == shift.writer.kanaEnd &&
           rewriteKana(conv, out, shift.writer.kana, u, shift);
}

// Before a JIS X 0213 output: whether the character just before out joined
// the combining mark u, as one code for both or as what canonical
// composition makes of them; it is then written again in its place, in the
// JIS set that was in force before it.
template <typename Write>
bool joinX0213Mark(const Codec& conv, std::uint8_t*& out, char32_t u, ShiftState& shift, Write write) {
    WriterState& w = shift.writer;
    const OutputSink& sink = conv.sink();
    if (w.baseEnd != outputOffset(sink, out) || w.baseStart < sink.flushed) return false;
    CharCode joined = 0;
    char32_t composed = 0;
    if (const std::int32_t code = x0213PairCode(w.base, u); code != 0) {
        joined = x0213Char | code;
    } else if ((composed = composedInX0213(w.base, u)) != 0) {
        joined = unicodeChar | static_cast<CharCode>(composed);
    } else {
        return false;
    }
    out = sink.data + (w.baseStart - sink.flushed);
    shift.output.mode = w.baseMode;
    out = write(out, joined, shift);
    w.base = composed;  // a composed character may join a further mark
    w.baseEnd = composed != 0 ? outputOffset(sink, out) : -1;
    return true;
}

// Before a JIS X 0213 output every character is noted, for a mark after it.
template <typename Write>
std::uint8_t* writeNotingBase(const Codec& conv, std::uint8_t* out, RawCode r, ShiftState& shift,
                              Write write) {
    // ASCII is its own code point; a line end's code is no base of a mark.
    const auto u = static_cast<char32_t>(r >= utf8Char ? r - utf8Char : r);
    if (r >= utf8Char && joinX0213Mark(conv, out, u, shift, write)) return out;
    WriterState& w = shift.writer;
    w.baseStart = outputOffset(conv.sink(), out);
    w.baseMode = shift.output.mode;
    const std::int64_t substitutes = w.substitutes;
    out = write(out, utf8CharCode(conv, r, shift), shift);
    const bool carried = w.substitutes == substitutes;  // the output had a code for it
    w.baseEnd = carried ? outputOffset(conv.sink(), out) : -1;
    w.base = u;
    if (!carried) w.uncarriedEnd = outputOffset(conv.sink(), out);
    return out;
}

// A character of UTF-8 input through write. Before a legacy output, a
// variation selector after a character that the output carries is left
// out and counted; the end of a character it does not carry is noted.
template <typename Write>
std::uint8_t* writeUtf8Char(const Codec& conv, std::uint8_t* out, RawCode r, ShiftState& shift, Write write) {
    if (!isLegacy(conv.outputCode)) return write(out, utf8CharCode(conv, r, shift), shift);
    if (isVariationSelector(static_cast<char32_t>(r - utf8Char)) &&
        outputOffset(conv.sink(), out) != shift.writer.uncarriedEnd) {
        ++shift.writer.selectorsLeftOut;
        shift.writer.kanaEnd = shift.writer.baseEnd = -1;  // a selector between them blocks composition
        return out;
    }
    // The kana exchange holds each character back a step: what a write
    // wrote is then the one before, and nothing is joined.
    if (conv.outputJisX0213 && !conv.exchangeKana) return writeNotingBase(conv, out, r, shift, write);
    const auto u = static_cast<char32_t>(r - utf8Char);
    if (isKanaMark(u) && joinKanaMark(conv, out, u, shift)) return out;
    // A substitute counted is a character the output has no code for.
    const std::int64_t substitutes = shift.writer.substitutes;
    out = write(out, utf8CharCode(conv, r, shift), shift);
    if (shift.writer.substitutes != substitutes) shift.writer.uncarriedEnd = outputOffset(conv.sink(), out);
    return out;
}

// The plain way of UTF-8 input: a kana that a mark may join, written as
// itself with no flush before the next character, is noted (not while the
// kana exchange holds characters back).
template <typename Write>
[[gnu::noinline]] std::uint8_t* writeUtf8Kana(Codec& conv, std::uint8_t* out, RawCode r, ShiftState& shift,
                                              Write write) {
    const auto u = static_cast<char32_t>(r - utf8Char);
    if (conv.outputJisX0213) {
        // The character a mark may replace stays in the buffer until the next.
        if (out > conv.sink().limit - maxCharBytes) out = conv.flushOutput(out);
        return writeUtf8Char(conv, out, r, shift, write);
    }
    if (!isLegacy(conv.outputCode) || conv.exchangeKana || !takesKanaMark(u) || kanjiCellOf(conv, u) == 0)
        return writeUtf8Char(conv, out, r, shift, write);
    if (out > conv.sink().limit - maxCharBytes) out = conv.flushOutput(out);
    out = writeUtf8Char(conv, out, r, shift, write);
    shift.writer.kanaEnd = outputOffset(conv.sink(), out);
    shift.writer.kana = u;
    return out;
}

// Shift-JIS: kana bytes, the EUC arithmetic for pairs, and from 0xF040 up
// the codes of code page 932 carried as they are (the vendor codes the
// machine-dependent exchange spells aside); the unassigned ones become the
// substitute.
template <typename Write>
std::uint8_t* emitSjis(Codec& conv, std::uint8_t* out, RawCode r, ShiftState& shift, Write write) {
    if (r < 0x20 || r == CRLF) return write(out, r, shift);
    if (r >= 0xA1 && r <= 0xDF) return write(out, SS2 << 8 | r, shift);
    if (r <= 0xFF) return write(out, r, shift);
    if (r <= 0xF03F) return write(out, sjisToEuc(r), shift);
    if (conv.exchangeWindows && r >= kIbmExtFirst && r <= kIbmExtLast && !isEmpty(ibmExtSpelling(r)))
        return writeSpellingAt(conv, out, ibmExtSpelling(r), shift);
    if (isWindowsExtension(r)) return write(out, windowsChar + r, shift);
    return write(out, substitute(shift), shift);
}

// A JIS X 0213 code of the input: its code point, or its base and mark,
// read as UTF-8 input's are; a code with none is the substitute.
template <typename Write>
std::uint8_t* emitX0213(Codec& conv, std::uint8_t* out, std::int32_t code, ShiftState& shift, Write write) {
    const CodePoints cps = x0213CodePoints(code);
    if (cps.first == 0) return write(out, substitute(shift), shift);
    out = writeUtf8Kana(conv, out, utf8Char | static_cast<RawCode>(cps.first), shift, write);
    if (cps.second == 0) return out;
    return writeUtf8Kana(conv, conv.room(out), utf8Char | static_cast<RawCode>(cps.second), shift, write);
}

// One RawCode of input code In, written at out. atInputStart: its last
// byte is the third of the input, so a byte order mark there is dropped.
template <CodeKind In, typename Write>
std::uint8_t* emitAt(Codec& conv, std::uint8_t* out, RawCode r, ShiftState& shift, bool atInputStart,
                     Write write) {
    if constexpr (In != CodeKind::UTF8) {
        if (r == illFormed) return write(out, substitute(shift), shift);
    }
    if constexpr (In == CodeKind::JIS) {
        if (isX0213Pair(r, shift.input.mode))
            return emitX0213(conv, out, (shift.input.mode == JisMode::X0213_PLANE2 ? 0x8F8080 : 0x8080) | r,
                             shift, write);
        return write(out, jisCharCode(r, shift.input.mode), shift);
    } else if constexpr (In == CodeKind::SJIS) {
        return emitSjis(conv, out, r, shift, write);
    } else if constexpr (In == CodeKind::UTF8) {
        if (atInputStart && r == (utf8Char | BYTE_ORDER_MARK)) return out;
        // A line end or ASCII (but where a mark may join it), and Unicode
        // output, take the character as it is: inline.
        if (r < utf8Char && !conv.outputJisX0213) return write(out, r, shift);
        if (!isLegacy(conv.outputCode)) return write(out, utf8CharCode(conv, r, shift), shift);
        return writeUtf8Kana(conv, out, r, shift, write);
    } else {
        return write(out, r, shift);  // ASCII and EUC: the RawCode is the character
    }
}

// One RawCode of Shift_JIS-2004 or EUC-JIS-2004 input. Shift_JIS-2004's
// single bytes 0x5C and 0x7E are JIS X 0201's yen sign and overline, as
// glibc reads them, where the output is Unicode; a legacy output has the
// same bytes, and keeps them.
template <CodeKind In, typename Write>
std::uint8_t* emitX0213At(Codec& conv, std::uint8_t* out, RawCode r, ShiftState& shift, Write write) {
    if (r > 0xFF && r != CRLF && r != illFormed && (In == CodeKind::SJIS || (r >> 8) != SS2))
        return emitX0213(conv, out, In == CodeKind::SJIS ? sjisToX0213(r) : r, shift, write);
    if (In == CodeKind::SJIS && isUnicode(conv.outputCode) && (r == 0x5C || r == 0x7E))
        return writeUtf8Kana(conv, out, utf8Char | (r == 0x5C ? 0xA5 : 0x203E), shift, write);
    return emitAt<In>(conv, out, r, shift, false, write);
}

}  // namespace zekt
