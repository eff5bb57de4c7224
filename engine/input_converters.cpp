// The four input converters: bytes of one block to characters for writeChar.
#include <array>

#include "code_arithmetic.h"
#include "converter.h"
#include "exchanges.h"
#include "input_converters.h"

namespace zekt {
namespace {

constexpr bool isKanaShift(JisMode m) { return m == JisMode::KANA7 || m == JisMode::SISO; }

// JIS: 7-bit kana after ESC ( I or SO, 8-bit kana, and 7-bit pairs that are
// JIS X 0212 after ESC $ ( D and JIS X 0208 otherwise.
CharCode jisCharCode(RawCode r, JisMode inMode) {
    if (r < 0x20 || r == 0x0D0A) return r;
    if (r >= 0x21 && r <= 0x5F && isKanaShift(inMode)) return r | 0x8E80;
    if (r >= 0xA1 && r <= 0xDF) return 0x8E00 | r;
    if (r <= 0xFF) return r;
    return inMode == JisMode::EX1990 ? r | 0x8F8080 : r | 0x8080;
}

// Runs decodeByte over the block and hands each result to emit(r, shift).
// Detection is not this pass's business: its report and line end are dropped.
// Flattened so that decodeByte and writeChar are inlined into the loop.
template <typename Emit>
[[gnu::flatten]] void convertBlock(Converter& conv, const InputBuffer& buffer, DecodeState& state,
                                   ShiftState& shift, CodeKind kind, Emit emit) {
    ReturnKind scratchReturn = ReturnKind::NONE;
    DetectReport scratchReport;
    DecodeState held = state;  // a local stays in registers across the writer's calls
    const std::uint8_t* const bytes = buffer.data.get();
    const int count = buffer.count;
    for (int i = 0; i < count; ++i) {
        const RawCode r = conv.decodeByte(bytes[i], kind, scratchReturn, held, scratchReport, shift, false);
        if (r != 0) emit(r, shift);
    }
    state = held;
}

void convertAsciiBlock(Converter& conv, const InputBuffer& buffer, DecodeState& state, ShiftState& shift) {
    convertBlock(conv, buffer, state, shift, CodeKind::ASCII,
                 [&conv](RawCode r, ShiftState& s) { conv.writeChar(r, s); });
}

void convertJisBlock(Converter& conv, const InputBuffer& buffer, DecodeState& state, ShiftState& shift) {
    convertBlock(conv, buffer, state, shift, CodeKind::JIS,
                 [&conv](RawCode r, ShiftState& s) { conv.writeChar(jisCharCode(r, s.inMode), s); });
}

void convertSjisBlock(Converter& conv, const InputBuffer& buffer, DecodeState& state, ShiftState& shift) {
    convertBlock(conv, buffer, state, shift, CodeKind::SJIS,
                 [&conv](RawCode r, ShiftState& s) { writeSjisChar(conv, r, s); });
}

void convertEucBlock(Converter& conv, const InputBuffer& buffer, DecodeState& state, ShiftState& shift) {
    convertBlock(conv, buffer, state, shift, CodeKind::EUC,
                 [&conv](RawCode r, ShiftState& s) { conv.writeChar(r, s); });
}

}  // namespace

void writeSjisChar(Converter& conv, RawCode r, ShiftState& shift) {
    if (r < 0x20 || r == 0x0D0A) {
        conv.writeChar(r, shift);
    } else if (r >= 0xA1 && r <= 0xDF) {
        conv.writeChar(0x8E00 | r, shift);
    } else if (r <= 0xFF) {
        conv.writeChar(r, shift);
    } else if (r <= 0xF03F) {
        conv.writeChar(sjisToEuc(r), shift);
    } else {
        // The user-defined area and the vendor codes have no portable form,
        // except the vendor codes the machine-dependent exchange can spell.
        if (conv.exchangeWindows && r >= kIbmExtFirst && r <= kIbmExtLast) {
            const Spelling& spelling = ibmExtSpelling(r);
            if (!isEmpty(spelling)) {
                writeSpelling(conv, spelling, shift);
                return;
            }
        }
        conv.writeChar(conv.substituteChar, shift);
    }
}

const std::array<InputConverter, 4> inputConverters{convertAsciiBlock, convertJisBlock,
                                                    convertSjisBlock, convertEucBlock};
static_assert(std::tuple_size_v<decltype(inputConverters)> == index(CodeKind::EUC) + 1);

}  // namespace zekt
