// One conversion (or check) pass over the open input.
#include <algorithm>
#include <new>

#include "converter.h"
#include "input_converters.h"

namespace zekt {
namespace {

constexpr int CR = 0x0D;

bool allocate(InputBuffer& buffer, std::int32_t size) {
    buffer.capacity = std::max<std::int32_t>(size, 1);  // an empty block would never reach the end
    try {
        buffer.data = std::make_unique_for_overwrite<std::uint8_t[]>(buffer.capacity);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace

int Converter::convert(CodeKind* detectedCode, ReturnKind* detectedReturn, DetectReport* detected) {
    InputBuffer buffer;
    if (!allocate(buffer, bufferSize)) return 1;

    CodeKind kind = inputCode;
    ReturnKind returnKind = ReturnKind::NONE;
    DetectReport report;
    DecodeState scanState;
    DecodeState convertState;
    ShiftState shift;

    bool ended = false;
    while (!ended) {
        buffer.count = 0;
        ended = fillBlock(buffer) == -1;
        if (checkOnly) {
            // A verdict resting only on 8-bit bytes may still turn out Shift-JIS.
            if (kind == CodeKind::EUC && !report.eucOnly && inputCode != CodeKind::EUC)
                kind = CodeKind::ASCII;
            scanBlock(buffer, scanState, kind, returnKind, report);
            if (kind == CodeKind::NOT_TEXT) return 2;
            continue;
        }
        if (outputCode != CodeKind::ASCII) {
            scanBlock(buffer, scanState, kind, returnKind, report);
            if (kind == CodeKind::NOT_TEXT) return 2;
        }
        inputConverters[index(kind)](*this, buffer, convertState, shift);
    }

    if (!checkOnly) {
        // A CR held after SS3 belongs to the unfinished triple and goes with it.
        if (convertState.held == CR && convertState.heldPrefix == 0) writeChar(CR, shift);
        if (shift.pendingChar != 0) writeChar(0, shift);
        if (outputCode == CodeKind::JIS && shift.outMode != JisMode::ASCII) {
            writeByte(0x1B);
            writeByte(0x28);
            writeByte(0x42);
        }
    }

    if (detectedCode) *detectedCode = kind;
    if (detectedReturn) *detectedReturn = returnKind;
    if (detected) *detected = report;
    return 0;
}

}  // namespace zekt
