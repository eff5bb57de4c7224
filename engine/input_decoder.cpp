// Block reading, the byte-at-a-time decoder shared by detection and
// conversion, and the per-block code detection.
#include <array>

#include "converter.h"

namespace zekt {
namespace {

constexpr int LF = 0x0A, CR = 0x0D, SO = 0x0E, SI = 0x0F, ESC = 0x1B, SS3 = 0x8F;

// Control bytes that mark binary input: 0x00-0x07 and 0x10-0x19.
constexpr std::array<bool, 32> binaryControlTable = [] {
    std::array<bool, 32> t{};
    for (int c = 0x00; c <= 0x07; ++c) t[c] = true;
    for (int c = 0x10; c <= 0x19; ++c) t[c] = true;
    return t;
}();

constexpr bool in(int v, int low, int high) { return v >= low && v <= high; }
constexpr bool isKanjiMode(JisMode m) { return m >= JisMode::KANJI1978 && m <= JisMode::EX1990; }
constexpr bool isSjisLead(int b) { return in(b, 0x81, 0x9F) || in(b, 0xE0, 0xFF); }
constexpr bool isSjisTrail(int b) { return in(b, 0x40, 0x7E) || in(b, 0x80, 0xFC); }

void markEscape(DetectReport& report, bool& flag) {
    flag = true;
    report.jis = true;
}

// The final byte of ESC $ ( x.
RawCode finishFourByteEscape(int c, DecodeState& state, DetectReport& report, ShiftState& shift) {
    markEscape(report, c == 'D' ? report.jisEx1990 : report.jisUnknown);
    shift.inMode = JisMode::EX1990;
    state = DecodeState{};
    return 0;
}

// The final byte of ESC $ x or ESC ( x.
RawCode finishEscape(int second, int c, DecodeState& state, DetectReport& report,
                     ShiftState& shift) {
    if (second == '$') {
        switch (c) {
            case '(': state = DecodeState{'(', '$', ESC}; return 0;
            case '@': markEscape(report, report.jis1978); shift.inMode = JisMode::KANJI1978; break;
            case 'B': markEscape(report, report.jis1983); shift.inMode = JisMode::KANJI1983; break;
            default: markEscape(report, report.jisUnknown); shift.inMode = JisMode::KANJI1983; break;
        }
    } else {
        switch (c) {
            case 'B': markEscape(report, report.ascii); shift.inMode = JisMode::ASCII; break;
            case 'I': markEscape(report, report.kana7); shift.inMode = JisMode::KANA7; break;
            case 'J': markEscape(report, report.romaji); shift.inMode = JisMode::ROMAJI; break;
            default: markEscape(report, report.jisUnknown); shift.inMode = JisMode::ASCII; break;
        }
    }
    return 0;
}

// A byte classified by its own value. Printable ASCII, the bulk of any
// text, is tested first.
RawCode decodeFreshByte(int c, CodeKind inputKind, ReturnKind& returnKind, DecodeState& state,
                        DetectReport& report, ShiftState& shift) {
    if (in(c, 0x20, 0x7E)) {
        if (!isKanjiMode(shift.inMode) || c == 0x20) return c;
        state.held = c;
        return 0;
    }
    if (c < 0x20) {
        switch (c) {
            case LF: returnKind = ReturnKind::LF; return LF;
            case CR: returnKind = ReturnKind::CR; state.held = CR; return 0;
            case SO: markEscape(report, report.kanaSiSo); shift.inMode = JisMode::SISO; return 0;
            case SI: markEscape(report, report.kanaSiSo); shift.inMode = JisMode::ASCII; return 0;
            case ESC: state.held = ESC; return 0;
            default:
                if (binaryControlTable[c]) report.binary = true;
                return c;  // a NUL yields nothing
        }
    }
    if (c == 0x7F) {
        report.binary = true;
        return c;
    }
    report.eightBit = true;
    if (c == 0x80 || c == 0xA0) return c;
    if (c <= 0x9F) {
        if (c == 0x8E)
            report.ss2Kana = true;
        else if (c == SS3)
            report.ss3Kanji = true;
        else
            report.sjisLead = true;
        state.held = c;
        return 0;
    }
    if (c <= 0xDF) {
        report.kana8 = report.jisKana8 = true;
        if (inputKind != CodeKind::EUC) return c;
        state.held = c;
        return 0;
    }
    if (c == 0xFD || c == 0xFE) report.eucOnly = true;
    state.held = c;
    return 0;
}

}  // namespace

int Converter::fillBlock(InputBuffer& buffer) {
    // Pointers in locals: a byte store may alias any field, which would make
    // the compiler reload them all for every byte.
    std::uint8_t* const start = buffer.data.get();
    std::uint8_t* const end = start + buffer.capacity;
    std::uint8_t* next = start + buffer.count;
    for (;;) {
        const int b = readByte();
        if (b < 0) {
            buffer.count = static_cast<int>(next - start);
            return -1;
        }
        *next++ = static_cast<std::uint8_t>(b);
        if (next >= end) {
            buffer.count = static_cast<int>(next - start);
            return b & 0xFF;
        }
    }
}

RawCode Converter::decodeByte(int c, CodeKind inputKind, ReturnKind& returnKind,
                              DecodeState& state, DetectReport& report, ShiftState& shift,
                              bool quiet) {
    // One test for the common case: nothing held.
    if ((state.heldPrefix | state.held) != 0) {
        if (state.heldPrefix != 0) {
            // heldEscape is only ever set together with heldPrefix '$'.
            if (state.heldEscape == ESC) return finishFourByteEscape(c, state, report, shift);
            const int held = state.held;
            const bool ss3 = state.heldPrefix == SS3;
            state.held = state.heldPrefix = 0;
            if (ss3) return 0x8F0000 + held * 0x100 + c;  // the two bytes are not tested
            return finishEscape(held, c, state, report, shift);
        }
        // Stage 3: one byte held.
        const int held = state.held;
        state.held = 0;
        if (held == CR) {
            if (c == LF) {
                returnKind = ReturnKind::CRLF;
                return 0x0D0A;
            }
            if (!quiet) writeChar(CR, shift);
        } else if (held == ESC) {
            if (c == '$' || c == '(') {
                state.heldPrefix = ESC;
                state.held = c;
                return 0;
            }
            if (c == 'K' || c == 'H') {
                markEscape(report, report.nec);
                shift.inMode = c == 'K' ? JisMode::NEC : JisMode::ASCII;
                return 0;
            }
            if (!quiet) writeChar(ESC, shift);
        } else if (held == SS3 && inputKind == CodeKind::EUC) {
            state.heldPrefix = SS3;
            state.held = c;
            return 0;
        } else if (in(held, 0x21, 0x7E) && in(c, 0x21, 0x7E)) {
            return held * 0x100 + c;
        } else if (isSjisLead(held) && isSjisTrail(c)) {
            const RawCode pair = held * 0x100 + c;
            if (in(pair, 0x8540, 0x889E) || pair >= 0xEB40) report.izon = true;
            return pair;
        } else if (in(held, 0xA1, 0xFE) && in(c, 0xA1, 0xFE)) {
            return held * 0x100 + c;
        }
        // No partner: the held byte is dropped and c starts afresh.
    }
    return decodeFreshByte(c, inputKind, returnKind, state, report, shift);
}

// Flattened so that decodeByte is inlined into the loop, with quiet known.
[[gnu::flatten]] void Converter::scanBlock(const InputBuffer& buffer, DecodeState& state,
                                           CodeKind& kind, ReturnKind& returnKind,
                                           DetectReport& report) {
    ShiftState shift;  // the input's JIS mode restarts with every block
    // Local copies stay in registers; through the references they would be
    // reloaded for every byte.
    DecodeState held = state;
    ReturnKind lastReturn = returnKind;
    const CodeKind inputKind = kind;
    const std::uint8_t* const bytes = buffer.data.get();
    for (int i = 0; i < buffer.count; ++i)
        decodeByte(bytes[i], inputKind, lastReturn, held, report, shift, true);
    state = held;
    returnKind = lastReturn;
    if (kind == CodeKind::ASCII) {
        if (report.jis)
            kind = CodeKind::JIS;
        else if (report.sjisLead)
            kind = CodeKind::SJIS;
        else if (report.eucOnly || report.eightBit)
            kind = CodeKind::EUC;
    }
    if (binaryCheck && report.binary) kind = CodeKind::NOT_TEXT;
}

}  // namespace zekt
