#include "streaming_conversion.h"

#include <algorithm>
#include <cstring>

#include "check_text.h"

namespace zekt {

StreamingConversion::StreamingConversion(const CodecSettings& settings, bool checkOnly)
    : checkOnly_(checkOnly) {
    static_cast<CodecSettings&>(*this) = settings;
    reset();
}

void StreamingConversion::reset() {
    pass_.reset();
    pass_.emplace(*this, checkOnly_);
    stage_ = pass_->ready() ? Stage::FRESH : Stage::FAILED;
    blockSize_ = static_cast<std::size_t>(pass_->blockSize());
    block_.assign(blockSize_ + blockSlack, 0);
    gathered_ = 0;
    offset_ = 0;
    head_ = {-1, -1};
    headKnown_ = 0;
    waiting_.clear();
    handedOn_ = 0;
    checkText_.clear();
    substitutes_ = 0;
    selectorsLeftOut_ = 0;
    detectedCode_ = CodeKind::ASCII;
    detectedReturn_ = ReturnKind::NONE;
    report_ = {};
    outputFailed_ = false;
}

// Straight into the caller's room as far as it goes; the rest waits for
// the next call. Output only waits once the room is full, so nothing
// written here can overtake it.
void StreamingConversion::writeBlock(const std::uint8_t* data, int count) {
    const auto n = static_cast<std::size_t>(count);
    const std::size_t fits = std::min(n, room_.size() - roomUsed_);
    if (fits > 0) std::memcpy(room_.data() + roomUsed_, data, fits);
    roomUsed_ += fits;
    waiting_.insert(waiting_.end(), data + fits, data + n);
}

void StreamingConversion::drain() {
    const std::size_t n = std::min(room_.size() - roomUsed_, waiting_.size() - handedOn_);
    if (n > 0) std::memcpy(room_.data() + roomUsed_, waiting_.data() + handedOn_, n);
    handedOn_ += n;
    roomUsed_ += n;
    if (handedOn_ == waiting_.size()) {
        waiting_.clear();
        handedOn_ = 0;
    }
}

// The input's first two bytes, as they come (taken, or looked at ahead of
// a full first block).
void StreamingConversion::noteHead(std::span<const std::uint8_t> bytes, std::int64_t position) {
    for (std::size_t i = 0; i < bytes.size() && position + static_cast<std::int64_t>(i) < 2; ++i) {
        head_[static_cast<std::size_t>(position) + i] = bytes[i];
        headKnown_ = std::max(headKnown_, static_cast<int>(position) + static_cast<int>(i) + 1);
    }
}

// The first two bytes of the input decide whether it is UTF-16, as a file's
// reader looks at them ahead of its first block. false while they are still
// to come and the input has not ended.
bool StreamingConversion::begin(bool inputEnded) {
    if (stage_ != Stage::FRESH) return true;
    if (pass_->needsFirstTwo() && headKnown_ < 2 && !inputEnded) return false;
    pass_->begin(head_);
    stage_ = Stage::BEGUN;
    return true;
}

void StreamingConversion::passBlock(const std::uint8_t* data, std::size_t count, bool last) {
    const InputBuffer block{.data = const_cast<std::uint8_t*>(data),
                            .count = static_cast<int>(count),
                            .capacity = static_cast<int>(blockSize_),
                            .start = offset_,
                            .last = last};
    offset_ += static_cast<std::int64_t>(count);
    if (pass_->take(block) != DONE) {
        stage_ = Stage::REFUSED;
        return;
    }
    if (last) complete();
}

void StreamingConversion::complete() {
    pass_->finish();
    checkText_ = zekt::checkText(pass_->detectedCode(), pass_->detectedReturn(), pass_->report());
    substitutes_ = pass_->substitutes();
    selectorsLeftOut_ = pass_->selectorsLeftOut();
    detectedCode_ = pass_->detectedCode();
    detectedReturn_ = pass_->detectedReturn();
    report_ = pass_->report();
    stage_ = Stage::COMPLETE;
}

StreamingConversion::Status StreamingConversion::convert(std::span<const std::uint8_t> in, std::size_t& taken,
                                                         std::span<std::uint8_t> out, std::size_t& written,
                                                         bool last) {
    room_ = out;
    roomUsed_ = 0;
    const Status status = step(in, taken, last);
    written = roomUsed_;
    room_ = {};
    return status;
}

StreamingConversion::Status StreamingConversion::step(std::span<const std::uint8_t> in, std::size_t& taken,
                                                      bool last) {
    taken = 0;
    if (stage_ == Stage::FAILED) return Status::NO_MEMORY;
    for (;;) {
        drain();
        if (!waiting_.empty()) return Status::OUTPUT_FULL;
        if (stage_ == Stage::REFUSED) return Status::NOT_TEXT;
        if (stage_ == Stage::COMPLETE) return taken < in.size() ? Status::FINISHED : Status::INPUT_EMPTY;
        // A whole block with the pass's slack after it is read where it
        // lies; anything else is gathered.
        if (gathered_ == 0 && in.size() - taken >= blockSize_ + blockSlack) {
            noteHead(in.subspan(taken, 2), offset_);
            if (!begin(false)) return Status::INPUT_EMPTY;
            passBlock(in.data() + taken, blockSize_, false);
            taken += blockSize_;
            continue;
        }
        const std::size_t n = std::min(in.size() - taken, blockSize_ - gathered_);
        std::memcpy(block_.data() + gathered_, in.data() + taken, n);
        noteHead(in.subspan(taken, n), offset_ + static_cast<std::int64_t>(gathered_));
        gathered_ += n;
        taken += n;
        const bool allTaken = taken == in.size();
        // A full block is never the last: the end comes as a short block,
        // empty if need be, as a file's does.
        if (gathered_ < blockSize_ && !(allTaken && last)) {
            // What is converted goes out before more input is waited for.
            if (begin(false)) pass_->handOnOutput();
            drain();
            return waiting_.empty() ? Status::INPUT_EMPTY : Status::OUTPUT_FULL;
        }
        // A first block shorter than two bytes waits for the second byte.
        if (gathered_ == blockSize_ && taken < in.size())
            noteHead(in.subspan(taken, 1), offset_ + static_cast<std::int64_t>(gathered_));
        if (!begin(allTaken && last)) return Status::INPUT_EMPTY;
        const std::size_t count = gathered_;
        gathered_ = 0;
        passBlock(block_.data(), count, count < blockSize_);
    }
}

}  // namespace zekt
