// Block reading and decodeByte, the byte-at-a-time reading that detection
// and conversion share: JIS escapes and shifts, Shift-JIS, EUC and JIS
// pairs, EUC triples, UTF-8 sequences and line ends.
#include "input_decoder.h"

#include "byte_classes.h"
#include "jis_sequences.h"

namespace zekt {
namespace {

void markEscape(DetectReport& report, detect::Flag flag) { report.flags |= flag | detect::JIS; }

RawCode takeEffect(JisEffect effect, DetectReport& report, InputShift& shift) {
    markEscape(report, effect.flag);
    shift.mode = effect.mode;
    return 0;
}

// The final byte of ESC $ ( x: JIS X 0213's planes (O and Q plane 1, its
// 2000 and 2004 editions), else JIS X 0212 or an unknown set read as it.
RawCode finishFourByteEscape(int c, DecodeState& state, DetectReport& report, InputShift& shift) {
    state = DecodeState{};
    if (c == 'O' || c == 'Q' || c == 'P') {
        markEscape(report, detect::JISX0213_SEQ);
        shift.mode = c == 'P' ? JisMode::X0213_PLANE2 : JisMode::X0213_PLANE1;
        return 0;
    }
    markEscape(report, c == 'D' ? detect::EX1990_SEQ : detect::UNKNOWN_SEQ);
    shift.mode = JisMode::EX1990;
    return 0;
}

// The final byte of ESC $ x or ESC ( x. An unknown one still selects a set:
// JIS X 0208 after ESC $, ASCII after ESC (.
RawCode finishEscape(int second, int c, DecodeState& state, DetectReport& report, InputShift& shift) {
    if (second == '$' && c == '(') {
        state = DecodeState::fourByteEscape();
        return 0;
    }
    if (const std::optional<JisEffect> known = knownEscape(second, c))
        return takeEffect(*known, report, shift);
    markEscape(report, detect::UNKNOWN_SEQ);
    shift.mode = second == '$' ? JisMode::KANJI1983 : JisMode::ASCII;
    return 0;
}

// A control byte other than those that switch or hold: itself (a NUL
// yields nothing), and binary evidence if the table marks it.
RawCode plainControl(int c, DetectReport& report) {
    if (marksBinary(c)) report.set(detect::BINARY);
    return c;
}

// A byte classified by its own value. Printable ASCII, the bulk of any
// text, is tested first.
RawCode decodeFreshByte(int c, CodeKind inputKind, ReturnKind& returnKind, DecodeState& state,
                        DetectReport& report, InputShift& shift) {
    if (in(c, 0x20, 0x7E)) {
        if (!isKanjiMode(shift.mode) || c == 0x20) return c;
        state = DecodeState::holding(c);
        return 0;
    }
    if (c < 0x20) {
        switch (c) {
            case LF: returnKind = ReturnKind::LF; return LF;
            case CR:
                returnKind = ReturnKind::CR;
                state = DecodeState::holding(CR);
                return 0;
            case SO:
            case SI: return takeEffect(shiftByte(c), report, shift);
            case ESC: state = DecodeState::holding(ESC); return 0;
            default: return plainControl(c, report);
        }
    }
    if (c == DEL) return plainControl(c, report);
    report.flags |= freshHighByteFlags(c);
    if (!holdsHighByte(c, inputKind == CodeKind::EUC)) return c;
    state = DecodeState::holding(c);
    return 0;
}

// A fresh byte of UTF-8 input: below 0x80 as in the other codes, except
// that ESC, SO and SI are plain control characters; a lead byte opens a
// sequence; any other byte is ill-formed on its own.
RawCode decodeFreshUtf8(int c, ReturnKind& returnKind, DecodeState& state, DetectReport& report) {
    if (c >= 0x80) {
        report.set(detect::EIGHT_BIT);
        const Utf8Lead lead = utf8Lead(c);
        if (lead.needed == 0) return illFormed;
        state = DecodeState::utf8(c & (0x7F >> (lead.needed + 1)), lead.needed, lead.low, lead.high);
        return 0;
    }
    if (c == LF) {
        returnKind = ReturnKind::LF;
        return LF;
    }
    if (c == CR) {
        returnKind = ReturnKind::CR;
        state = DecodeState::holding(CR);
        return 0;
    }
    return c < 0x20 || c == DEL ? plainControl(c, report) : c;
}

// A continuation byte in the range allowed: a finished character, or 0.
RawCode continueUtf8(int c, DecodeState& state) {
    const int bits = state.utf8Bits() << 6 | (c & 0x3F);
    const int needed = state.utf8Needed() - 1;
    state = needed == 0 ? DecodeState{} : DecodeState::utf8(bits, needed, 0x80, 0xBF);
    return needed == 0 ? utf8Char | bits : 0;
}

// What an undecided block left held, as UTF-8 reads it: a lone CR, or the
// bytes of an escape sequence that UTF-8 does not know. (Such a block holds
// no 8-bit byte: those wait, kept, for the verdict.)
void addCarried(StandAlone& alone, const DecodeState& carried) {
    if (carried.holdsLoneCr() || carried.holdsLoneEsc()) {
        alone.add(carried.held);
    } else if (carried.inEscape()) {
        alone.add(ESC);
        alone.add(carried.held);
    } else if (carried.inFourByteEscape()) {
        for (const RawCode r : {ESC, RawCode{'$'}, RawCode{'('}}) alone.add(r);
    }
}

RawCode decodeUtf8Byte(int c, ReturnKind& returnKind, DecodeState& state, DetectReport& report,
                       StandAlone* alone) {
    if (!state.empty()) {
        if (state.inUtf8Sequence()) {
            if (state.utf8Allows(c)) return continueUtf8(c, state);
            // The sequence so far is one ill-formed piece; c starts afresh.
            state = DecodeState{};
            if (alone != nullptr) alone->add(illFormed);
        } else {
            const DecodeState carried = state;
            state = DecodeState{};
            if (carried.holdsLoneCr() && c == LF) {
                returnKind = ReturnKind::CRLF;
                return CRLF;
            }
            if (alone != nullptr) addCarried(*alone, carried);
        }
    }
    return decodeFreshUtf8(c, returnKind, state, report);
}

}  // namespace

RawCode decodeByte(int c, CodeKind inputKind, ReturnKind& returnKind, DecodeState& state,
                   DetectReport& report, InputShift& shift, StandAlone* alone) {
    if (inputKind == CodeKind::UTF8) return decodeUtf8Byte(c, returnKind, state, report, alone);
    // One test for the common case: nothing held.
    if (!state.empty()) {
        if (!state.holdsByte()) {
            if (state.inFourByteEscape()) return finishFourByteEscape(c, state, report, shift);
            const DecodeState before = state;
            state = DecodeState{};
            if (before.inTriple()) return SS3 << 16 | before.held << 8 | c;  // the two bytes are not tested
            return finishEscape(before.held, c, state, report, shift);
        }
        // One byte held.
        const int held = state.held;
        state = DecodeState{};
        if (held == CR) {
            if (c == LF) {
                returnKind = ReturnKind::CRLF;
                return CRLF;
            }
            if (alone != nullptr) alone->add(CR);
        } else if (held == ESC) {
            if (c == '$' || c == '(') {
                state = DecodeState::escape(c);
                return 0;
            }
            if (isNecEscape(c)) return takeEffect(necEscape(c), report, shift);
            if (alone != nullptr) alone->add(ESC);
        } else {
            report.flags |= pairFlags(held, c);
            if (held == SS3 && inputKind == CodeKind::EUC) {
                state = DecodeState::triple(c);
                return 0;
            }
            if (isJisByte(held) && isJisByte(c)) return held * 0x100 + c;
            if (isSjisLead(held) && isSjisTrail(c)) return held * 0x100 + c;
            if (isEucByte(held) && isEucByte(c)) return held * 0x100 + c;
            // No partner: the held byte is written as the substitute (so
            // that nothing vanishes unreported) and c starts afresh.
            if (alone != nullptr) alone->add(illFormed);
        }
    }
    return decodeFreshByte(c, inputKind, returnKind, state, report, shift);
}

}  // namespace zekt
