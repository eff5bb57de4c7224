// One conversion (or check) pass, fed block by block: detection with its
// window and the blocks kept while the code is open, UTF-16 read as UTF-8,
// the end of the output. The blocks come from a front end that reads a file
// or from a caller's buffers alike, so that both give the same bytes; the
// output goes through the codec.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>

#include "as_read.h"
#include "codec.h"
#include "utf16_input.h"

namespace zekt {

// The block path may read a byte past a block's end without taking it (the
// UTF-8 loop looks at the next lead before it checks for the end): storage
// that holds blocks has this much room after them.
inline constexpr int blockSlack = 16;

// Results of a pass.
enum PassResult : int { DONE = 0, NO_MEMORY = 1, NOT_TEXT = 2, WRITE_FAILED = 4, PASS_CANCELLED = 8 };

class ConversionPass {
public:
    // The codec's settings hold for the pass, whose output it takes.
    ConversionPass(Codec& codec, bool checkOnly);
    ~ConversionPass();
    ConversionPass(const ConversionPass&) = delete;
    ConversionPass& operator=(const ConversionPass&) = delete;

    // False when the pass's storage could not be had (NO_MEMORY).
    bool ready() const { return storage_ != nullptr; }
    // The size of every block but the last, which is shorter (or empty).
    int blockSize() const { return blockSize_; }
    // Whether begin reads the input's first two bytes: the byte order mark
    // of UTF-16 decides its reading.
    bool needsFirstTwo() const;
    // Before the first block; the bytes are -1 past the end of the input.
    void begin(std::array<int, 2> firstTwo);
    // One block as read. DONE, NOT_TEXT (the blocks before stay written)
    // or WRITE_FAILED.
    int take(const InputBuffer& block);
    // After the last block: DONE or WRITE_FAILED.
    int finish();
    // Hands on the output so far, while more input is awaited, but for a
    // character that a combining mark still to come may be joined with.
    void handOnOutput();

    // What the pass found: the input's code and line end, the detection's
    // flags, how many characters became the substitute and how many variation
    // selectors were left out.
    CodeKind detectedCode() const { return utf16Order_ != CodeKind::ASCII ? utf16Order_ : kind_; }
    ReturnKind detectedReturn() const { return returnKind_; }
    const DetectReport& report() const { return report_; }
    std::int64_t substitutes() const { return shift_.writer.substitutes; }
    std::int64_t selectorsLeftOut() const { return shift_.writer.selectorsLeftOut; }

private:
    struct Free {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    using Storage = std::unique_ptr<std::uint8_t[], Free>;

    bool asRead() const;
    bool scans() const;
    bool refusesBinary() const;
    bool detectsUtf16() const;
    InputBuffer asUtf8(const InputBuffer& block);
    void withdrawProvisionalVerdict();
    bool convertBlock(const InputBuffer& block);
    void convertWith(const InputBuffer& block, DetectReport& report, ReturnKind& returnKind);
    bool keep(const InputBuffer& block);
    void convertKept();
    std::uint8_t* kept() { return storage_.get() + transcodedSize_; }
    bool canFuse(const InputBuffer& block) const;
    void noteByteOrderMark(const InputBuffer& block);
    void finishOutput();
    void writeLeftHeld(const DecodeState& held);

    Codec& codec_;
    const bool checkOnly_;
    const Kernels& kernels_;  // of the settings' vector level, chosen once
    const int blockSize_, transcodedSize_, keptSize_;
    Storage storage_;

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
    std::optional<Utf16Transcoder> utf16_;
    std::int64_t transcodedOffset_ = 0;
};

}  // namespace zekt
