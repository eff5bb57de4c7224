// writeChar and the four output encoders.
#include <array>

#include "code_arithmetic.h"
#include "converter.h"
#include "exchanges.h"

namespace zekt {
namespace {

constexpr std::int32_t ESC_PAREN_B = 0x1B2842;  // ESC ( B
constexpr std::int32_t ESC_PAREN_J = 0x1B284A;  // ESC ( J
constexpr std::int32_t ESC_H = 0x1B48;          // ESC H
constexpr std::int32_t ESC_PAREN_I = 0x1B2849;  // ESC ( I
constexpr std::int32_t SO = 0x0E;
constexpr std::int32_t ESC_DOLLAR_AT = 0x1B2440;        // ESC $ @
constexpr std::int32_t ESC_DOLLAR_B = 0x1B2442;         // ESC $ B
constexpr std::int32_t ESC_K = 0x1B4B;                  // ESC K
constexpr std::int32_t ESC_DOLLAR_PAREN_D = 0x1B242844;  // ESC $ ( D

// The line end written for each output ReturnKind (NONE keeps the input's).
constexpr std::array<CharCode, 4> lineEndCodes{0, 0x0A, 0x0D, 0x0D0A};

constexpr bool isLineEnd(CharCode c) { return c == 0x0A || c == 0x0D || c == 0x0D0A; }
constexpr bool isHalfWidthKanaForm(CharCode c) { return ((c >> 8) & 0xFF) == 0x8E; }

// putCodeBytes of a v above 0xFF, out of line so that the single byte, the
// most common case, needs no saved registers.
[[gnu::noinline]] void putMultiByteCode(Converter& conv, std::int32_t v) {
    if (v > 0xFFFFFF) conv.writeByte((v >> 24) & 0xFF);
    if (v > 0xFFFF) conv.writeByte((v >> 16) & 0xFF);
    conv.writeByte((v >> 8) & 0xFF);
    conv.writeByte(v & 0xFF);
}

// EUC and "no conversion" both write the internal form as it is.
void encodeRaw(Converter& conv, CharCode c, ShiftState&) { conv.putCodeBytes(c); }
void encodeEuc(Converter& conv, CharCode c, ShiftState&) { conv.putCodeBytes(c); }

// Out of line, so that the single-byte path of encodeSjis, the most common
// by far, needs no saved registers.
[[gnu::noinline]] void encodeSjisPair(Converter& conv, CharCode c) {
    if (isHalfWidthKanaForm(c))
        conv.writeByte(c & 0xFF);
    else
        conv.putTwoBytes(eucToSjis(c));
}

void encodeSjis(Converter& conv, CharCode c, ShiftState&) {
    if (c > 0xFFFF) c = conv.substituteChar;  // JIS X 0212 has no Shift-JIS form
    if (c <= 0xFF)
        conv.writeByte(c);
    else
        encodeSjisPair(conv, c);
}

// Out of line: a change of mode is rare next to the characters written in it.
[[gnu::noinline]] void switchMode(Converter& conv, ShiftState& shift, JisMode mode,
                                  std::int32_t sequence) {
    conv.writeSequence(sequence);
    shift.outMode = mode;
}

void ensureMode(Converter& conv, ShiftState& shift, JisMode mode, std::int32_t sequence) {
    if (shift.outMode != mode) switchMode(conv, shift, mode, sequence);
}

void returnToSingleByte(Converter& conv, ShiftState& shift) {
    switch (conv.jisAsciiMode) {
        case JisMode::ASCII: ensureMode(conv, shift, JisMode::ASCII, ESC_PAREN_B); break;
        case JisMode::ROMAJI: ensureMode(conv, shift, JisMode::ROMAJI, ESC_PAREN_J); break;
        case JisMode::NEC: ensureMode(conv, shift, JisMode::ASCII, ESC_H); break;
        default: break;
    }
}

// encodeJisKana, encodeJisKanji and encodeJisSupplementary are kept out of
// line, so that their registers and code do not weigh on the single-byte
// path of encodeJis, the most common.
[[gnu::noinline]] void encodeJisKana(Converter& conv, CharCode c, ShiftState& shift) {
    switch (conv.jisKanaMode) {
        case JisMode::KANA7:
            ensureMode(conv, shift, JisMode::KANA7, ESC_PAREN_I);
            conv.writeByte(c & 0x7F);
            break;
        case JisMode::KANA8:
            returnToSingleByte(conv, shift);
            conv.writeByte(c & 0xFF);
            break;
        case JisMode::SISO:
            ensureMode(conv, shift, JisMode::SISO, SO);
            conv.writeByte(c & 0x7F);
            break;
        default: conv.writeByte(c & 0x7F); break;
    }
}

[[gnu::noinline]] void encodeJisKanji(Converter& conv, CharCode c, ShiftState& shift) {
    switch (conv.jisKanjiMode) {
        case JisMode::KANJI1978: ensureMode(conv, shift, JisMode::KANJI1978, ESC_DOLLAR_AT); break;
        case JisMode::KANJI1983: ensureMode(conv, shift, JisMode::KANJI1983, ESC_DOLLAR_B); break;
        case JisMode::NEC: ensureMode(conv, shift, JisMode::NEC, ESC_K); break;
        default: break;
    }
    conv.putTwoBytes(c & 0x7F7F);
}

[[gnu::noinline]] void encodeJisSupplementary(Converter& conv, CharCode c, ShiftState& shift) {
    ensureMode(conv, shift, JisMode::EX1990, ESC_DOLLAR_PAREN_D);
    conv.putTwoBytes(c & 0x7F7F);
}

void encodeJis(Converter& conv, CharCode c, ShiftState& shift) {
    if (c > 0xFFFF) {
        if (conv.jisKanjiMode != JisMode::NEC) {
            encodeJisSupplementary(conv, c, shift);
            return;
        }
        c = conv.substituteChar;  // NEC kanji has no supplementary set
    }
    if (c <= 0xFF) {
        const bool control = c >= 0x01 && c <= 0x1F;
        if (!control || conv.escapeBeforeControls) returnToSingleByte(conv, shift);
        conv.writeByte(c);
    } else if (isHalfWidthKanaForm(c)) {
        encodeJisKana(conv, c, shift);
    } else {
        encodeJisKanji(conv, c, shift);
    }
}

constexpr std::array<OutputEncoder, 4> outputEncoders{encodeRaw, encodeJis, encodeSjis, encodeEuc};
static_assert(outputEncoders.size() == index(CodeKind::EUC) + 1);

// The encoder of the output code, called directly rather than through a
// pointer, so that the compiler can inline it into the conversion loops.
void encode(CodeKind out, Converter& conv, CharCode c, ShiftState& shift) {
    switch (out) {
        case CodeKind::ASCII: return outputEncoders[0](conv, c, shift);
        case CodeKind::JIS: return outputEncoders[1](conv, c, shift);
        case CodeKind::SJIS: return outputEncoders[2](conv, c, shift);
        case CodeKind::EUC: return outputEncoders[3](conv, c, shift);
        case CodeKind::NOT_TEXT: break;  // never an output code
    }
}

}  // namespace

void Converter::putCodeBytes(std::int32_t v) {
    if (v > 0xFF)
        putMultiByteCode(*this, v);
    else
        writeByte(v & 0xFF);
}

void Converter::writeChar(CharCode c, ShiftState& shift) {
    if (isLineEnd(c) && outputReturn != ReturnKind::NONE) c = lineEndCodes[index(outputReturn)];
    if (exchangeWindows && c >= kNecRowFirst && c <= kNecRowLast) {
        const Spelling& spelling = necRowSpelling(c);
        if (!isEmpty(spelling)) {
            writeSpelling(*this, spelling, shift);
            return;
        }
    }
    if (exchangeAscii) c = foldToAscii(c);
    if (exchangeKana) {
        c = widenKana(c, shift);
        if (c == 0) return;
    }
    if (c == 0x0D0A) {
        encode(outputCode, *this, 0x0D, shift);
        encode(outputCode, *this, 0x0A, shift);
    } else {
        encode(outputCode, *this, c, shift);
    }
}

}  // namespace zekt
