// Detection: the quiet scan of each block, the check of the raw bytes
// against UTF-8 while the input code is open, and the verdict.
#include <array>

#include "block_shortcuts.h"
#include "byte_classes.h"
#include "converter.h"

namespace zekt {
namespace {

// The UTF-8 encoding form as a table. A state says what the next byte must
// be; each byte gives the next state, with WIDE when it is the second byte
// of a 3- or 4-byte sequence, in its range, and BROKEN when the bytes stop
// being well-formed (a sequence cut short, a byte that starts none); a byte
// that cuts a sequence short is then read afresh.
enum Utf8State : std::uint8_t {
    IDLE,
    CONT1,      // one more 80-BF
    CONT2,      // two more 80-BF
    SECOND_E0,  // A0-BF, then one more
    SECOND_ED,  // 80-9F, then one more
    SECOND_E,   // 80-BF, then one more
    SECOND_F0,  // 90-BF, then two more
    SECOND_F4,  // 80-8F, then two more
    SECOND_F,   // 80-BF, then two more
    utf8States
};
constexpr std::uint8_t WIDE = 0x10, BROKEN = 0x20, STATE_MASK = 0x0F;

constexpr std::uint8_t startUtf8(int b) {
    if (b < 0x80) return IDLE;
    if (in(b, 0xC2, 0xDF)) return CONT1;
    if (b == 0xE0) return SECOND_E0;
    if (b == 0xED) return SECOND_ED;
    if (in(b, 0xE1, 0xEF)) return SECOND_E;
    if (b == 0xF0) return SECOND_F0;
    if (b == 0xF4) return SECOND_F4;
    if (in(b, 0xF1, 0xF3)) return SECOND_F;
    return IDLE | BROKEN;
}

constexpr std::uint8_t stepUtf8(int state, int b) {
    constexpr std::array<std::array<int, 3>, utf8States> expected{{
        {0, 0, 0},                   // IDLE: never continues
        {0x80, 0xBF, IDLE},          // CONT1
        {0x80, 0xBF, CONT1},         // CONT2
        {0xA0, 0xBF, CONT1 | WIDE},  // SECOND_E0
        {0x80, 0x9F, CONT1 | WIDE},  // SECOND_ED
        {0x80, 0xBF, CONT1 | WIDE},  // SECOND_E
        {0x90, 0xBF, CONT2 | WIDE},  // SECOND_F0
        {0x80, 0x8F, CONT2 | WIDE},  // SECOND_F4
        {0x80, 0xBF, CONT2 | WIDE},  // SECOND_F
    }};
    if (state == IDLE) return startUtf8(b);
    const auto [low, high, next] = expected[static_cast<std::size_t>(state)];
    return in(b, low, high) ? static_cast<std::uint8_t>(next) : startUtf8(b) | BROKEN;
}

constexpr std::array<std::array<std::uint8_t, 256>, utf8States> utf8Steps = [] {
    std::array<std::array<std::uint8_t, 256>, utf8States> t{};
    for (int state = 0; state < utf8States; ++state)
        for (int b = 0; b < 256; ++b)
            t[static_cast<std::size_t>(state)][static_cast<std::size_t>(b)] = stepUtf8(state, b);
    return t;
}();

// Passes over ASCII and the common well-formed sequences (two bytes, or
// three after E1-EC or EE-EF, where the continuations need only be 80-BF):
// the bulk of Japanese in UTF-8. Sets WIDE in seen for a three-byte one.
const std::uint8_t* skipCommonUtf8(const std::uint8_t* p, const std::uint8_t* end, std::uint8_t& seen) {
    const auto continues = [](int c) { return (c ^ 0x80) < 0x40; };
    bool wide = false;
    while (end - p >= 3) {
        const int b = p[0];
        if (b < 0x80) {
            p = p[1] < 0x80 ? skipAscii(p + 2, end) : p + 1;  // two in a row: likely a longer run
        } else if (b >= 0xE1 && b <= 0xEF && b != 0xED && continues(p[1]) && continues(p[2])) {
            wide = true;
            p += 3;
        } else if (b >= 0xC2 && b <= 0xDF && continues(p[1])) {
            p += 2;
        } else {
            break;
        }
    }
    if (wide) seen |= WIDE;
    return p;
}

// Once the bytes are both broken and wide nothing more can change, and
// ASCII between sequences is passed over; the plain path reads every byte.
void checkUtf8(const InputBuffer& buffer, Utf8Check& check, DetectReport& report, bool shortcuts) {
    const std::uint8_t* p = buffer.data;
    const std::uint8_t* const end = p + buffer.count;
    int state = check.state;
    std::uint8_t seen = 0;
    if (shortcuts && report.broken && report.wide) p = end;
    while (p < end) {
        if (shortcuts && state == IDLE) {
            bool wide = false;
            int open = 0;
            p = skipUtf8Vectors(p, end, open, wide);
            if (wide) seen |= WIDE;
            if (open != 0) {
                state = open == 1 ? CONT1 : SECOND_E;
                if (p == end) break;
                continue;
            }
            p = skipCommonUtf8(p, end, seen);
            if (p == end) break;
        }
        const std::uint8_t step = utf8Steps[static_cast<std::size_t>(state)][*p++];
        seen |= step;
        state = step & STATE_MASK;
    }
    if (buffer.last && state != IDLE) seen |= BROKEN;  // open at the end of the input
    if (seen & WIDE) report.wide = true;
    if (seen & BROKEN) report.broken = true;
    check.state = state;
}

void scanPlain(Converter& conv, const InputBuffer& buffer, CodeKind kind, DecodeState& state,
               ReturnKind& returnKind, DetectReport& report) {
    ShiftState shift;  // the input's JIS mode restarts with every block
    for (int i = 0; i < buffer.count; ++i)
        conv.decodeByte(buffer.data[i], kind, returnKind, state, report, shift, true);
}

// Evidence ranks JIS over UTF-8 over Shift-JIS over EUC; none leaves the
// code open.
CodeKind verdict(const DetectReport& r) {
    if (r.jis) return CodeKind::JIS;
    if (r.wide && !r.broken) return CodeKind::UTF8;
    if (r.sjisLead) return CodeKind::SJIS;
    if (r.eucOnly || r.eightBit) return CodeKind::EUC;
    return CodeKind::ASCII;
}

}  // namespace

void Converter::scanBlock(const InputBuffer& buffer, DecodeState& state, Utf8Check& utf8, CodeKind& kind,
                          ReturnKind& returnKind, DetectReport& report) {
    if (kind == CodeKind::ASCII) checkUtf8(buffer, utf8, report, !perByte);
    if (perByte)
        scanPlain(*this, buffer, kind, state, returnKind, report);
    else
        scanQuick(*this, buffer, kind, state, returnKind, report);
    if (kind == CodeKind::ASCII) kind = verdict(report);
    if (binaryCheck && report.binary) kind = CodeKind::NOT_TEXT;
}

}  // namespace zekt
