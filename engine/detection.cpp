// Detection: the quiet scan of each block, the check of the raw bytes
// against UTF-8 while the input code is open, and the verdict.
#include "block_shortcuts.h"
#include "byte_classes.h"
#include "converter.h"

namespace zekt {
namespace {

// One raw byte against the UTF-8 encoding form. Any piece that is not
// well-formed (a sequence cut short, a byte that starts none) breaks it;
// the second byte of a 3- or 4-byte sequence, in its range, makes it wide.
void checkUtf8Byte(int b, Utf8Check& u, DetectReport& report) {
    if (u.needed > 0) {
        if (in(b, u.low, u.high)) {
            if (u.wideNext) report.wide = true;
            u = Utf8Check{.needed = u.needed - 1};
            return;
        }
        report.broken = true;
        u = Utf8Check{};
    }
    if (b < 0x80) return;
    const Utf8Lead lead = utf8Lead(b);
    if (lead.needed == 0) {
        report.broken = true;
        return;
    }
    u = Utf8Check{.needed = lead.needed, .low = lead.low, .high = lead.high, .wideNext = lead.needed >= 2};
}

// Once the bytes are both broken and wide, nothing more can change, and
// ASCII between sequences is passed over; the plain path checks every byte.
void checkUtf8(const InputBuffer& buffer, Utf8Check& u, DetectReport& report, bool shortcuts) {
    const std::uint8_t* p = buffer.data;
    const std::uint8_t* const end = p + buffer.count;
    while (p < end) {
        if (shortcuts) {
            if (report.broken && report.wide) break;
            if (u.needed == 0) p = skipAscii(p, end);
            if (p == end) break;
        }
        checkUtf8Byte(*p++, u, report);
    }
    if (buffer.last && u.needed > 0) report.broken = true;  // open at the end of the input
}

void scanPlain(Converter& conv, const InputBuffer& buffer, CodeKind kind, DecodeState& state,
               ReturnKind& returnKind, DetectReport& report) {
    ShiftState shift;  // the input's JIS mode restarts with every block
    for (int i = 0; i < buffer.count; ++i) conv.decodeByte(buffer.data[i], kind, returnKind, state, report, shift, true);
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
