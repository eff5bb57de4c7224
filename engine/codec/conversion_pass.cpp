#include "conversion_pass.h"

#include <algorithm>
#include <cstring>

#include "fast/block_shortcuts.h"
#include "input_converters.h"
#include "output_encoders.h"

namespace zekt {
namespace {

// The output gathers about this much before the codec hands it on.
constexpr int outputBytes = 1 << 16;

bool holdsAtMostJisByte(const DecodeState& state) {
    return state.empty() || (state.holdsByte() && state.held >= 0x21 && state.held <= 0x7E);
}

}  // namespace

// The pass's one allocation: a block of UTF-16 input as UTF-8, the blocks
// kept while the code is open, then the output buffer, lent to the codec
// for the pass's duration. Without an exception: where memory is short, so
// may be the room for the exception itself, and the process would abort.
ConversionPass::ConversionPass(Codec& codec, bool checkOnly)
    : codec_(codec),
      checkOnly_(checkOnly),
      kernels_(kernelsFor(codec.vectorLevel)),
      blockSize_(std::max<std::int32_t>(codec.detectionBlockSize, 1)),  // an empty block would never end
      transcodedSize_(Utf16Transcoder::roomFor(blockSize_)),
      keptSize_(static_cast<int>(utf8Window) + blockSize_),
      storage_(static_cast<std::uint8_t*>(
          std::malloc(static_cast<std::size_t>(transcodedSize_ + keptSize_ + outputBytes)))),
      inputCode_(isUtf16(codec.inputCode) ? CodeKind::UTF8 : codec.inputCode),
      kind_(inputCode_) {
    if (!storage_) return;
    codec.attachOutput(storage_.get() + transcodedSize_ + keptSize_, outputBytes);
    shift_.writer.markPending = isUnicode(codec.outputCode) && codec.outputBom;
}

ConversionPass::~ConversionPass() { codec_.detachOutput(); }

// Written as read (-nk): only an exchange needs the code known.
bool ConversionPass::asRead() const { return codec_.outputCode == CodeKind::AS_READ && !checkOnly_; }
bool ConversionPass::scans() const { return !asRead() || anyExchange(codec_); }
// Text written as read is never refused.
bool ConversionPass::refusesBinary() const { return codec_.binaryCheck && !asRead(); }

bool ConversionPass::detectsUtf16() const {
    return codec_.inputCode == CodeKind::DETECT && (scans() || asRead());
}

bool ConversionPass::needsFirstTwo() const {
    return (isUtf16(codec_.inputCode) || detectsUtf16()) && (detectsUtf16() || codec_.inputMarkDecides);
}

// UTF-16 is read when forced, and told by its byte order mark at the very
// start when detected (or when the mark is to pick the order); it is then
// read as UTF-8, its code settled.
void ConversionPass::begin(std::array<int, 2> firstTwo) {
    const bool detects = detectsUtf16();
    if (!isUtf16(codec_.inputCode) && !detects) return;
    CodeKind order = codec_.inputCode;
    if (needsFirstTwo()) {
        const CodeKind marked = utf16MarkOrder(firstTwo[0], firstTwo[1]);
        if (marked != CodeKind::ASCII || detects) order = marked;
    }
    if (order == CodeKind::ASCII) return;
    utf16Order_ = order;
    if (asRead()) {
        inputCode_ = kind_ = order;  // its code units as read
        return;
    }
    inputCode_ = kind_ = CodeKind::UTF8;
    utf16_.emplace(order == CodeKind::UTF16BE, kernels_, codec_.perByte);
}

// UTF-16 input as the UTF-8 it is read as, in blocks of its own.
InputBuffer ConversionPass::asUtf8(const InputBuffer& block) {
    if (!utf16_) return block;
    std::uint8_t* const out = storage_.get();
    const int n = utf16_->transcode({block.data, static_cast<std::size_t>(block.count)}, out, block.last);
    const InputBuffer transcoded{
        .data = out, .count = n, .capacity = transcodedSize_, .start = transcodedOffset_, .last = block.last};
    transcodedOffset_ += n;
    return transcoded;
}

int ConversionPass::take(const InputBuffer& read) {
    const InputBuffer block = asUtf8(read);
    if (scans() && block.start < static_cast<int>(utf8Bom.size())) noteByteOrderMark(block);
    if (checkOnly_) {
        withdrawProvisionalVerdict();
        codec_.scanBlock(block, scanState_, forms_, kind_, returnKind_, report_, refusesBinary(), kernels_);
        return kind_ == CodeKind::NOT_TEXT ? NOT_TEXT : DONE;
    }
    if (!convertBlock(block)) {
        codec_.flushOutput();  // the blocks before the refused one stay written
        return NOT_TEXT;
    }
    return codec_.outputHasFailed() ? WRITE_FAILED : DONE;
}

int ConversionPass::finish() {
    if (!checkOnly_) finishOutput();
    codec_.flushOutput();
    return codec_.outputHasFailed() ? WRITE_FAILED : DONE;
}

// The kana noted for a mark (its two bytes) and, before a JIS X 0213
// output, the last character noted as a base stay in the buffer.
void ConversionPass::handOnOutput() {
    OutputSink& sink = codec_.sink();
    const WriterState& w = shift_.writer;
    const std::int64_t end = outputOffset(sink, sink.next);
    std::int64_t keep = end;
    if (w.kanaEnd == end) keep = std::min(keep, end - 2);
    if (w.baseEnd == end) keep = std::min(keep, w.baseStart);
    codec_.flushOutputBefore(sink.data + std::max<std::int64_t>(keep - sink.flushed, 0));
}

// A verdict resting only on 8-bit bytes (EUC) or on bytes that have been
// well-formed so far (UTF-8 without its byte order mark) may still change
// with the next block.
void ConversionPass::withdrawProvisionalVerdict() {
    const bool provisionalEuc = kind_ == CodeKind::EUC && !report_.has(detect::EUC_ONLY);
    const bool provisionalUtf8 = kind_ == CodeKind::UTF8 && !report_.has(detect::BOM);
    if ((provisionalEuc || provisionalUtf8) && inputCode_ != kind_) kind_ = CodeKind::ASCII;
}

// false if the block was refused as not text.
bool ConversionPass::convertBlock(const InputBuffer& block) {
    // Written as read, a settled code needs no more reading.
    if (asRead() && (!scans() || kind_ != CodeKind::ASCII)) {
        asRead_.convert(codec_, block, kind_);
        return true;
    }
    if (canFuse(block)) {
        convertWith(block, report_, returnKind_);
        scanState_ = convertState_;
        return true;
    }
    codec_.scanBlock(block, scanState_, forms_, kind_, returnKind_, report_, refusesBinary(), kernels_);
    if (kind_ == CodeKind::NOT_TEXT) return false;
    // 8-bit text with the code still open waits, kept, for the verdict.
    if (kind_ == CodeKind::ASCII && report_.has(detect::EIGHT_BIT) && keep(block)) return true;
    convertKept();
    convertWith(block, scratchReport_, scratchReturn_);
    return true;
}

void ConversionPass::convertWith(const InputBuffer& block, DetectReport& report, ReturnKind& returnKind) {
    if (asRead()) {
        asRead_.convert(codec_, block, kind_);
        return;
    }
    const bool x0213 = codec_.outputJisX0213 || (codec_.inputJisX0213 && kind_ != CodeKind::JIS);
    const InputConverter convert = x0213            ? x0213Converter(codec_, kind_)
                                   : codec_.perByte ? inputConverters[index(kind_)]
                                                    : quickConverter(kind_, codec_.outputCode);
    convert(codec_, block, convertState_, shift_, report, returnKind);
}

// false if there is no room, which the detection's window rules out.
bool ConversionPass::keep(const InputBuffer& block) {
    if (keptCount_ + block.count > keptSize_) return false;
    if (keptCount_ == 0) keptStart_ = block.start;
    std::memcpy(kept() + keptCount_, block.data, static_cast<std::size_t>(block.count));
    keptCount_ += block.count;
    return true;
}

// The kept blocks, as they were read, in the code now settled.
void ConversionPass::convertKept() {
    for (int done = 0; done < keptCount_; done += blockSize_) {
        const InputBuffer block{.data = kept() + done,
                                .count = std::min(blockSize_, keptCount_ - done),
                                .capacity = blockSize_,
                                .start = keptStart_ + done};
        convertWith(block, scratchReport_, scratchReturn_);
    }
    keptCount_ = 0;
}

// Scan and conversion read a block alike once the code is settled and they
// hold the same, so that one reading serves both. They may differ in
// printable bytes read in a kanji mode, which the conversion pairs and the
// scan, whose mode restarts at ASCII with every block, takes one by one:
// neither way sets a flag or meets a line end, and a first byte held over
// from there drops out before anything else alike. A block that might be
// refused is scanned first, so that none of it is written.
bool ConversionPass::canFuse(const InputBuffer& block) const {
    if (codec_.perByte || kind_ == CodeKind::ASCII) return false;
    const bool alike =
        scanState_ == convertState_ ||
        (kind_ != CodeKind::UTF8 && holdsAtMostJisByte(scanState_) && holdsAtMostJisByte(convertState_));
    return alike && !(refusesBinary() && kernels_.mayMarkBinary(block.data, block.data + block.count));
}

// The mark counts only at the very start of the input.
void ConversionPass::noteByteOrderMark(const InputBuffer& block) {
    for (int i = 0; i < block.count && block.start + i < static_cast<int>(utf8Bom.size()); ++i) {
        if (bomMatched_ == block.start + i && block.data[i] == utf8Bom[bomMatched_]) ++bomMatched_;
    }
    if (bomMatched_ == static_cast<int>(utf8Bom.size())) report_.set(detect::BOM);
}

// What the input left held, the kana held back, and the return to ASCII
// (ESC ( B, whatever the single-byte set) of JIS output left in any other
// set; output already in ASCII gets none.
void ConversionPass::finishOutput() {
    if (asRead()) return asRead_.finish(codec_, kind_);
    writeLeftHeld(convertState_);
    if (shift_.writer.heldKana != 0) codec_.writeChar(0, shift_);
    if (codec_.outputCode == CodeKind::JIS && shift_.output.mode != JisMode::ASCII) {
        OutputSink& sink = codec_.sink();
        sink.next = putCodeBytes(codec_.room(sink.next), ESC_PAREN_B);
    }
}

// What the end of the input left unfinished: a lone CR or ESC, or an escape
// sequence cut short, as read; a character begun, as the substitute, so
// that no byte vanishes unreported.
void ConversionPass::writeLeftHeld(const DecodeState& held) {
    if (held.holdsLoneCr() || held.holdsLoneEsc()) {
        codec_.writeChar(held.held, shift_);
    } else if (held.holdsByte() || held.inTriple() || held.inUtf8Sequence()) {
        codec_.writeChar(substitute(shift_), shift_);
    } else if (held.inEscape()) {
        codec_.writeChar(ESC, shift_);
        codec_.writeChar(held.held, shift_);
    } else if (held.inFourByteEscape()) {
        for (const CharCode c : {ESC, CharCode{'$'}, CharCode{'('}}) codec_.writeChar(c, shift_);
    }
}

}  // namespace zekt
