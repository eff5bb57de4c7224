// The plain input converters: one decodeByte per byte, each character
// through all of writeChar's steps.
#include "input_converters.h"

#include "input_decoder.h"

namespace zekt {
namespace {

template <CodeKind In, bool JisX0213 = false>
void convertBlock(Codec& conv, const InputBuffer& buffer, DecodeState& state, ShiftState& shift,
                  DetectReport& report, ReturnKind& returnKind) {
    StandAlone alone;
    OutputSink& sink = conv.sink();
    for (int i = 0; i < buffer.count; ++i) {
        const RawCode r = decodeByte(buffer.data[i], In, returnKind, state, report, shift.input, &alone);
        for (int k = 0; k < alone.count; ++k)
            sink.next = emitAt<In>(conv, conv.room(sink.next), alone.codes[k], shift, false, WriteChar{conv});
        alone.count = 0;
        if (r == 0) continue;
        if constexpr (JisX0213)
            sink.next = emitX0213At<In>(conv, conv.room(sink.next), r, shift, WriteChar{conv});
        else
            sink.next =
                emitAt<In>(conv, conv.room(sink.next), r, shift, buffer.start + i == 2, WriteChar{conv});
    }
}

}  // namespace

// UTF-16 input reaches the converters as the UTF-8 it is read as.
const std::array<InputConverter, codeKindCount> inputConverters{
    convertBlock<CodeKind::ASCII>, convertBlock<CodeKind::JIS>,  convertBlock<CodeKind::SJIS>,
    convertBlock<CodeKind::EUC>,   convertBlock<CodeKind::UTF8>, convertBlock<CodeKind::UTF8>,
    convertBlock<CodeKind::UTF8>};

const std::array<InputConverter, codeKindCount> x0213InputConverters{
    convertBlock<CodeKind::ASCII>,     convertBlock<CodeKind::JIS>,  convertBlock<CodeKind::SJIS, true>,
    convertBlock<CodeKind::EUC, true>, convertBlock<CodeKind::UTF8>, convertBlock<CodeKind::UTF8>,
    convertBlock<CodeKind::UTF8>};

}  // namespace zekt
