// One conversion (or check) pass over the open input.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "as_read.h"
#include "converter.h"
#include "fast/block_shortcuts.h"
#include "input_converters.h"
#include "output_encoders.h"
#include "utf16_input.h"

namespace zekt {
namespace {

// The block path reads about this much at a time, in whole blocks, and
// gathers about this much output before handing it on.
constexpr int readAhead = 1 << 16;
constexpr int outputBytes = 1 << 16;

// The input as blocks of detectionBlockSize bytes, the last one short and possibly
// empty: filled through readByte on the plain path, carved out of large
// reads through readBlock on the block path.
class BlockSource {
public:
    BlockSource(Converter& conv, std::uint8_t* storage, int storageSize, int blockSize)
        : conv_(conv), storage_(storage), storageSize_(storageSize), blockSize_(blockSize) {}

    static int storageFor(int blockSize, bool perByte) {
        return perByte ? blockSize : blockSize * std::max(1, readAhead / blockSize);
    }

    // The first two bytes of the input (-1 past its end), read ahead of the
    // first block without changing where the blocks fall.
    std::array<int, 2> firstTwo() {
        std::array<int, 2> bytes{-1, -1};
        if (conv_.perByte) {
            while (peeked_ < 2) {
                const int b = conv_.readByte();
                if (b < 0) break;
                peek_[static_cast<std::size_t>(peeked_++)] = static_cast<std::uint8_t>(b);
            }
            for (int i = 0; i < peeked_; ++i)
                bytes[static_cast<std::size_t>(i)] = peek_[static_cast<std::size_t>(i)];
        } else {
            while (have_ - pos_ < 2 && !ended_) refill();
            for (int i = 0; i < std::min(2, have_ - pos_); ++i)
                bytes[static_cast<std::size_t>(i)] = storage_[pos_ + i];
        }
        return bytes;
    }

    // The next block; false once the last one has been given.
    bool next(InputBuffer& block) {
        if (done_) return false;
        block.capacity = blockSize_;
        block.start = offset_;
        if (conv_.perByte) {
            conv_.flushOutput();  // what is converted goes out before waiting for input
            block.data = storage_;
            block.count = takePeeked();
            block.last = block.count < blockSize_ && conv_.fillBlock(block) == -1;
        } else {
            while (have_ - pos_ < blockSize_ && !ended_) refill();
            block.data = storage_ + pos_;
            block.count = std::min(blockSize_, have_ - pos_);
            block.last = block.count < blockSize_;
            pos_ += block.count;
        }
        offset_ += block.count;
        done_ = block.last;
        return true;
    }

    bool readFailed() const { return readFailed_; }

private:
    // Bytes firstTwo read ahead, at the start of the block they belong to.
    int takePeeked() {
        const int n = std::min(peeked_ - peekTaken_, blockSize_);
        std::memcpy(storage_, peek_.data() + peekTaken_, static_cast<std::size_t>(n));
        peekTaken_ += n;
        return n;
    }

    void refill() {
        conv_.flushOutput();
        have_ -= pos_;
        std::memmove(storage_, storage_ + pos_, static_cast<std::size_t>(have_));
        pos_ = 0;
        const int n = conv_.readBlock(storage_ + have_, storageSize_ - have_);
        if (n > 0) {
            have_ += std::min(n, storageSize_ - have_);
            return;
        }
        ended_ = true;  // a read error ends the input like its end
        readFailed_ = n < 0;
    }

    Converter& conv_;
    std::uint8_t* const storage_;
    const int storageSize_;
    const int blockSize_;
    int have_ = 0, pos_ = 0;
    std::int64_t offset_ = 0;
    bool ended_ = false, done_ = false, readFailed_ = false;
    std::array<std::uint8_t, 2> peek_{};
    int peeked_ = 0, peekTaken_ = 0;
};

// The blocks as the converters read them: UTF-16 input as the UTF-8 it is
// read as, in blocks of its own, any other input as it comes.
class ReadSource {
public:
    ReadSource(BlockSource& source, std::uint8_t* transcoded, int room)
        : source_(source), transcoded_(transcoded), room_(room) {}

    void readUtf16(CodeKind order, VectorLevel level, bool perByte) {
        utf16_.emplace(order == CodeKind::UTF16BE, level, perByte);
    }

    bool next(InputBuffer& block) {
        if (!source_.next(block)) return false;
        if (!utf16_) return true;
        const int n =
            utf16_->transcode({block.data, static_cast<std::size_t>(block.count)}, transcoded_, block.last);
        block = {.data = transcoded_, .count = n, .capacity = room_, .start = offset_, .last = block.last};
        offset_ += n;
        return true;
    }

private:
    BlockSource& source_;
    std::uint8_t* const transcoded_;
    const int room_;
    std::optional<Utf16Transcoder> utf16_;
    std::int64_t offset_ = 0;
};

}  // namespace

// All the state of one pass; it owns the pass's one allocation (the input
// blocks, a block of UTF-16 input as read, the blocks kept while the code
// is open, then the output buffer) and
// lends the output buffer to the Converter for the pass's duration.
class ConversionPass {
public:
    explicit ConversionPass(Converter& conv)
        : conv_(conv),
          blockSize_(std::max<std::int32_t>(conv.detectionBlockSize,
                                            1)),  // an empty block would never reach the end
          inputSize_(BlockSource::storageFor(blockSize_, conv.perByte)),
          transcodedSize_(Utf16Transcoder::roomFor(blockSize_)),
          keptSize_(static_cast<int>(utf8Window) + blockSize_),
          storage_(allocate(inputSize_ + transcodedSize_ + keptSize_ + outputBytes)),
          source_(conv, storage_.get(), inputSize_, blockSize_),
          blocks_(source_, storage_.get() + inputSize_, transcodedSize_),
          inputCode_(isUtf16(conv.inputCode) ? CodeKind::UTF8 : conv.inputCode),
          kind_(inputCode_) {
        if (!storage_) return;
        conv.attachOutput(storage_.get() + inputSize_ + transcodedSize_ + keptSize_, outputBytes);
        shift_.writer.markPending = isUnicode(conv.outputCode) && conv.outputBom;
    }
    ~ConversionPass() { conv_.detachOutput(); }
    ConversionPass(const ConversionPass&) = delete;
    ConversionPass& operator=(const ConversionPass&) = delete;

    int run(CodeKind* detectedCode, ReturnKind* detectedReturn, DetectReport* detected) {
        if (!storage_) return NO_MEMORY;
        settleUtf16();
        const int result = passBlocks();
        conv_.readError_ = source_.readFailed();
        if (result != DONE) return result;
        if (detectedCode) *detectedCode = utf16Order_ != CodeKind::ASCII ? utf16Order_ : kind_;
        if (detectedReturn) *detectedReturn = returnKind_;
        if (detected) *detected = report_;
        conv_.substitutes_ = shift_.writer.substitutes;
        return DONE;
    }

private:
    struct Free {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    using Storage = std::unique_ptr<std::uint8_t[], Free>;

    // Without an exception: where memory is short, so may be the room for
    // the exception itself, and the process would abort.
    static Storage allocate(int size) {
        return Storage(static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(size))));
    }

    // Written as read (-nk): only an exchange needs the code known.
    bool asRead() const { return conv_.outputCode == CodeKind::AS_READ && !conv_.checkOnly; }
    bool scans() const { return !asRead() || anyExchange(conv_); }
    // Text written as read is never refused.
    bool refusesBinary() const { return conv_.binaryCheck && !asRead(); }

    // UTF-16 is read when forced, and told by its byte order mark at the
    // very start when detected (or when the mark is to pick the order);
    // it is then read as UTF-8, its code settled.
    void settleUtf16() {
        const bool detects = conv_.inputCode == CodeKind::DETECT && (scans() || asRead());
        if (!isUtf16(conv_.inputCode) && !detects) return;
        CodeKind order = conv_.inputCode;
        if (detects || conv_.inputMarkDecides) {
            const auto [first, second] = source_.firstTwo();
            const CodeKind marked = utf16MarkOrder(first, second);
            if (marked != CodeKind::ASCII || detects) order = marked;
        }
        if (order == CodeKind::ASCII) return;
        utf16Order_ = order;
        if (asRead()) {
            inputCode_ = kind_ = order;  // its code units as read
            return;
        }
        inputCode_ = kind_ = CodeKind::UTF8;
        blocks_.readUtf16(order, conv_.vectorLevel, conv_.perByte);
    }

    int passBlocks() {
        const bool scans = this->scans();
        InputBuffer block;
        while (blocks_.next(block)) {
            if (scans && block.start < static_cast<int>(utf8Bom.size())) noteByteOrderMark(block);
            if (conv_.checkOnly) {
                withdrawProvisionalVerdict();
                conv_.scanBlock(block, scanState_, forms_, kind_, returnKind_, report_, refusesBinary());
                if (kind_ == CodeKind::NOT_TEXT) return NOT_TEXT;
                continue;
            }
            if (!convertBlock(block)) {
                conv_.flushOutput();  // the blocks before the refused one stay written
                return NOT_TEXT;
            }
            if (conv_.outputFailed_) return WRITE_FAILED;
        }
        if (!conv_.checkOnly) finishOutput();
        conv_.flushOutput();
        return conv_.outputFailed_ ? WRITE_FAILED : DONE;
    }

    // A verdict resting only on 8-bit bytes (EUC) or on bytes that have
    // been well-formed so far (UTF-8 without its byte order mark) may still
    // change with the next block.
    void withdrawProvisionalVerdict() {
        const bool provisionalEuc = kind_ == CodeKind::EUC && !report_.has(detect::EUC_ONLY);
        const bool provisionalUtf8 = kind_ == CodeKind::UTF8 && !report_.has(detect::BOM);
        if ((provisionalEuc || provisionalUtf8) && inputCode_ != kind_) kind_ = CodeKind::ASCII;
    }

    // false if the block was refused as not text.
    bool convertBlock(const InputBuffer& block) {
        // Written as read, a settled code needs no more reading.
        if (asRead() && (!scans() || kind_ != CodeKind::ASCII)) {
            asRead_.convert(conv_, block, kind_);
            return true;
        }
        if (canFuse(block)) {
            convertWith(block, report_, returnKind_);
            scanState_ = convertState_;
            return true;
        }
        conv_.scanBlock(block, scanState_, forms_, kind_, returnKind_, report_, refusesBinary());
        if (kind_ == CodeKind::NOT_TEXT) return false;
        // 8-bit text with the code still open waits, kept, for the verdict.
        if (kind_ == CodeKind::ASCII && report_.has(detect::EIGHT_BIT) && keep(block)) return true;
        convertKept();
        convertWith(block, scratchReport_, scratchReturn_);
        return true;
    }

    void convertWith(const InputBuffer& block, DetectReport& report, ReturnKind& returnKind) {
        if (asRead())
            asRead_.convert(conv_, block, kind_);
        else
            converterOf(kind_)(conv_, block, convertState_, shift_, report, returnKind);
    }

    // false if there is no room, which the detection's window rules out.
    bool keep(const InputBuffer& block) {
        if (keptCount_ + block.count > keptSize_) return false;
        if (keptCount_ == 0) keptStart_ = block.start;
        std::memcpy(kept() + keptCount_, block.data, static_cast<std::size_t>(block.count));
        keptCount_ += block.count;
        return true;
    }

    // The kept blocks, as they were read, in the code now settled.
    void convertKept() {
        for (int done = 0; done < keptCount_; done += blockSize_) {
            const InputBuffer block{.data = kept() + done,
                                    .count = std::min(blockSize_, keptCount_ - done),
                                    .capacity = blockSize_,
                                    .start = keptStart_ + done};
            convertWith(block, scratchReport_, scratchReturn_);
        }
        keptCount_ = 0;
    }

    std::uint8_t* kept() { return storage_.get() + inputSize_ + transcodedSize_; }

    // Scan and conversion read a block alike once the code is settled and
    // they hold the same, so that one reading serves both. They may differ
    // in printable bytes read in a kanji mode, which the conversion pairs
    // and the scan, whose mode restarts at ASCII with every block, takes
    // one by one: neither way sets a flag or meets a line end, and a first
    // byte held over from there drops out before anything else alike. A
    // block that might be refused is scanned first, so that none of it is
    // written.
    bool canFuse(const InputBuffer& block) const {
        if (conv_.perByte || kind_ == CodeKind::ASCII) return false;
        const bool alike =
            scanState_ == convertState_ ||
            (kind_ != CodeKind::UTF8 && holdsAtMostJisByte(scanState_) && holdsAtMostJisByte(convertState_));
        return alike && !(refusesBinary() && mayMarkBinary(block, conv_.vectorLevel));
    }

    static bool holdsAtMostJisByte(const DecodeState& state) {
        return state.empty() || (state.holdsByte() && state.held >= 0x21 && state.held <= 0x7E);
    }

    InputConverter converterOf(CodeKind kind) const {
        return conv_.perByte ? inputConverters[index(kind)] : quickConverter(kind, conv_.outputCode);
    }

    // The mark counts only at the very start of the input.
    void noteByteOrderMark(const InputBuffer& block) {
        for (int i = 0; i < block.count && block.start + i < static_cast<int>(utf8Bom.size()); ++i) {
            if (bomMatched_ == block.start + i && block.data[i] == utf8Bom[bomMatched_]) ++bomMatched_;
        }
        if (bomMatched_ == static_cast<int>(utf8Bom.size())) report_.set(detect::BOM);
    }

    // What the input left held, the kana held back, and the return to ASCII
    // (ESC ( B, whatever the single-byte set) of JIS output left in any
    // other set; output already in ASCII gets none.
    void finishOutput() {
        if (asRead()) return asRead_.finish(conv_, kind_);
        writeLeftHeld(convertState_);
        if (shift_.writer.heldKana != 0) conv_.writeChar(0, shift_);
        if (conv_.outputCode == CodeKind::JIS && shift_.output.mode != JisMode::ASCII) {
            OutputSink& sink = conv_.sink();
            sink.next = putCodeBytes(conv_.room(sink.next), ESC_PAREN_B);
        }
    }

    // What the end of the input left unfinished: a lone CR or ESC, or an
    // escape sequence cut short, as read; a character begun, as the
    // substitute, so that no byte vanishes unreported.
    void writeLeftHeld(const DecodeState& held) {
        if (held.holdsLoneCr() || held.holdsLoneEsc()) {
            conv_.writeChar(held.held, shift_);
        } else if (held.holdsByte() || held.inTriple() || held.inUtf8Sequence()) {
            conv_.writeChar(substitute(shift_), shift_);
        } else if (held.inEscape()) {
            conv_.writeChar(ESC, shift_);
            conv_.writeChar(held.held, shift_);
        } else if (held.inFourByteEscape()) {
            for (const CharCode c : {ESC, CharCode{'$'}, CharCode{'('}}) conv_.writeChar(c, shift_);
        }
    }

    Converter& conv_;
    const int blockSize_, inputSize_, transcodedSize_, keptSize_;
    Storage storage_;
    BlockSource source_;
    ReadSource blocks_;

    CodeKind inputCode_;                     // forced, or ASCII while detecting; UTF-8 for UTF-16
    CodeKind utf16Order_ = CodeKind::ASCII;  // the input is UTF-16 in this order
    CodeKind kind_;
    ReturnKind returnKind_ = ReturnKind::NONE;
    DetectReport report_;
    DecodeState scanState_, convertState_;
    ShiftState shift_;
    FormCheck forms_;
    int bomMatched_ = 0;
    int keptCount_ = 0;
    std::int64_t keptStart_ = 0;
    AsReadWriter asRead_;
    DetectReport scratchReport_;  // what the conversion's own reading saw: dropped
    ReturnKind scratchReturn_ = ReturnKind::NONE;
};

int Converter::fillBlock(InputBuffer& buffer) {
    // Pointers in locals: a byte store may alias any field, which would make
    // the compiler reload them all for every byte.
    std::uint8_t* const start = buffer.data;
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

int Converter::readBlock(std::uint8_t* data, int capacity) {
    int count = 0;
    while (count < capacity) {
        const int b = readByte();
        if (b < 0) break;
        data[count++] = static_cast<std::uint8_t>(b);
    }
    return count;
}

void Converter::writeBlock(const std::uint8_t* data, int count) {
    for (int i = 0; i < count; ++i) writeByte(data[i]);
}

int Converter::convert(CodeKind* detectedCode, ReturnKind* detectedReturn, DetectReport* detected) {
    readError_ = false;
    outputFailed_ = false;
    substitutes_ = 0;
    ConversionPass pass(*this);
    return pass.run(detectedCode, detectedReturn, detected);
}

}  // namespace zekt
