// writeChar, the rarer paths of the encoders, and the output buffer.
#include <array>
#include <cstring>

#include "codec.h"
#include "exchanges.h"
#include "output_encoders.h"

namespace zekt {
namespace {

// The line end written for each output ReturnKind (NONE keeps the input's).
constexpr std::array<CharCode, 4> lineEndCodes{0, LF, CR, CRLF};

constexpr bool isLineEnd(CharCode c) { return c == LF || c == CR || c == CRLF; }

Out encode(const Codec& conv, Out out, CharCode c, ShiftState& shift) {
    return (conv.outputJisX0213 ? x0213Encoders : outputEncoders)[index(conv.outputCode)](conv, out, c,
                                                                                          shift);
}

}  // namespace

// Out of line: kana are rare next to the kanji and ASCII of JIS output.
Out encodeJisKana(const Codec& conv, Out out, CharCode c, ShiftState& shift) {
    switch (conv.jisKanaMode) {
        case JisMode::KANA7: out = ensureMode(out, shift, JisMode::KANA7, ESC_PAREN_I); break;
        case JisMode::KANA8: return put(returnToSingleByte(conv, out, shift), c);
        case JisMode::SISO: out = ensureMode(out, shift, JisMode::SISO, SO); break;
        default: break;
    }
    return put(out, c & 0x7F);
}

Out Codec::writeCharAt(Out out, CharCode c, ShiftState& shift) {
    if (isLineEnd(c) && outputReturn != ReturnKind::NONE) c = lineEndCodes[index(outputReturn)];
    if (exchangeWindows && c >= kNecRowFirst && c <= kNecRowLast) {
        const Spelling& spelling = necRowSpelling(c);
        if (!isEmpty(spelling)) return writeSpellingAt(*this, out, spelling, shift);
    }
    if (exchangeAscii) c = foldToAscii(c);
    if (exchangeKana) {
        c = widenKana(c, shift);
        if (c == 0) return out;
    }
    if (c == CRLF) return encode(*this, encode(*this, out, CR, shift), LF, shift);
    return encode(*this, out, c, shift);
}

void Codec::attachOutput(std::uint8_t* data, int capacity) {
    sink_.data = sink_.next = data;
    sink_.limit = data + capacity - maxCharBytes;
    sink_.flushed = 0;
}

void Codec::flushOutputBefore(Out keep) {
    const std::size_t kept = static_cast<std::size_t>(sink_.next - keep);
    flushOutput(keep);
    std::memmove(sink_.data, keep, kept);
    sink_.next = sink_.data + kept;
}

// Outside a pass (a test calling decodeByte, say) characters still have
// somewhere to go: a small buffer, flushed as it fills.
void Codec::detachOutput() { attachOutput(spare_.data(), static_cast<int>(spare_.size())); }

Out Codec::flushOutput(Out end) {
    if (end != sink_.data) {
        writeBlock(sink_.data, static_cast<int>(end - sink_.data));
        sink_.flushed += end - sink_.data;
        if (outputFailed()) outputFailed_ = true;
    }
    return sink_.data;
}

}  // namespace zekt
