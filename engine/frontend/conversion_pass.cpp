// One conversion (or check) pass over the open input: its blocks, read
// ahead in large reads or byte by byte, fed to the pass.
#include "conversion_pass.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "converter.h"

namespace zekt {
namespace {

// The block path reads about this much at a time, in whole blocks.
constexpr int readAhead = 1 << 16;

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

}  // namespace

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
    ConversionPass pass(*this, checkOnly);
    const int storageSize = BlockSource::storageFor(pass.blockSize(), perByte);
    const std::unique_ptr<std::uint8_t, decltype(&std::free)> storage(
        static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(storageSize + blockSlack))),
        &std::free);
    if (!pass.ready() || !storage) return NO_MEMORY;
    BlockSource source(*this, storage.get(), storageSize, pass.blockSize());
    pass.begin(pass.needsFirstTwo() ? source.firstTwo() : std::array<int, 2>{-1, -1});
    int result = DONE;
    for (InputBuffer block; result == DONE && source.next(block);)
        result = cancelFlag != nullptr && cancelFlag->load(std::memory_order_relaxed) ? PASS_CANCELLED
                                                                                      : pass.take(block);
    if (result == DONE) result = pass.finish();
    readError_ = source.readFailed();
    if (result != DONE) return result;
    if (detectedCode) *detectedCode = pass.detectedCode();
    if (detectedReturn) *detectedReturn = pass.detectedReturn();
    if (detected) *detected = pass.report();
    substitutes_ = pass.substitutes();
    return DONE;
}

}  // namespace zekt
