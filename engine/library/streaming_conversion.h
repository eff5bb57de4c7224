// One input at a time converted from a caller's pieces into a caller's
// room: the pass fed whole blocks, as a front end reading a file feeds it,
// so that however the input and the room are cut the bytes are the same.
// What the pass writes beyond the room waits here (at most what one block
// and the blocks kept for detection make), and is handed on first.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "codec.h"
#include "conversion_pass.h"

namespace zekt {

class StreamingConversion final : public Codec {
public:
    enum class Status { INPUT_EMPTY, OUTPUT_FULL, NOT_TEXT, NO_MEMORY, FINISHED };

    StreamingConversion(const CodecSettings& settings, bool checkOnly);

    // Takes from in and writes to out as far as both go, reading taken
    // and written. last: in holds the end of the input. FINISHED for input
    // after the end.
    Status convert(std::span<const std::uint8_t> in, std::size_t& taken, std::span<std::uint8_t> out,
                   std::size_t& written, bool last);
    // Ready for another input.
    void reset();
    // False when the pass's storage could not be had.
    bool ready() const { return stage_ != Stage::FAILED; }

    // After a complete input: the check's text; empty before, or when the
    // input was refused.
    const std::string& checkText() const { return checkText_; }
    std::int64_t substitutes() const { return substitutes_; }
    std::int64_t selectorsLeftOut() const { return selectorsLeftOut_; }
    // After a complete input: what detection found.
    CodeKind detectedCode() const { return detectedCode_; }
    ReturnKind detectedReturn() const { return detectedReturn_; }
    const DetectReport& report() const { return report_; }
    // Output kept for the caller beyond its room: at most what one block
    // and the blocks kept for detection make.
    std::size_t held() const { return waiting_.size(); }

private:
    enum class Stage { FRESH, BEGUN, COMPLETE, REFUSED, FAILED };

    Status step(std::span<const std::uint8_t> in, std::size_t& taken, bool last);
    void writeBlock(const std::uint8_t* data, int count) override;
    // Hands waiting output on into the room.
    void drain();
    void noteHead(std::span<const std::uint8_t> bytes, std::int64_t position);
    bool begin(bool inputEnded);
    // Hands the gathered block to the pass; the stage follows its result.
    void passBlock(const std::uint8_t* data, std::size_t count, bool last);
    void complete();

    const bool checkOnly_;
    std::optional<ConversionPass> pass_;
    Stage stage_ = Stage::FRESH;
    std::size_t blockSize_ = 0;
    std::vector<std::uint8_t> block_;  // the block being gathered, and the pass's slack after it
    std::size_t gathered_ = 0;
    std::int64_t offset_ = 0;          // of the block in the input
    std::array<int, 2> head_{-1, -1};  // the input's first two bytes (-1: none)
    int headKnown_ = 0;
    std::span<std::uint8_t> room_;  // the caller's, during convert
    std::size_t roomUsed_ = 0;
    std::vector<std::uint8_t> waiting_;  // output beyond the caller's room
    std::size_t handedOn_ = 0;           // of waiting_
    std::string checkText_;
    std::int64_t substitutes_ = 0;
    std::int64_t selectorsLeftOut_ = 0;
    CodeKind detectedCode_ = CodeKind::ASCII;
    ReturnKind detectedReturn_ = ReturnKind::NONE;
    DetectReport report_;
};

}  // namespace zekt
