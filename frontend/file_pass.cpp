// One conversion (or check) pass over the open input through the library:
// the file read in large pieces, each handed to zekt_convert, whose output
// goes to the file's output as it comes.
#include <unistd.h>

#include <cerrno>
#include <new>

#include "file_converter.h"

namespace zekt {
namespace {

// Reads and the library's output go this much at a time.
constexpr std::size_t pieceSize = 1 << 16;

}  // namespace

int FileConverter::readBlock(std::uint8_t* data, int capacity) {
    for (;;) {
        const ssize_t n = read(fileno(input_), data, static_cast<std::size_t>(capacity));
        if (n >= 0) return static_cast<int>(n);
        if (errno != EINTR) return -1;
    }
}

void FileConverter::writeBlock(const std::uint8_t* data, std::size_t count) {
    fwrite_unlocked(data, 1, count, output_);
}

zekt_converter* FileConverter::converterFor(const std::string& words) {
    if (converter_ && converterWords_ == words) {
        if (zekt_converter_reset(converter_->get()) != ZEKT_OK) throw std::bad_alloc();
        return converter_->get();
    }
    converter_.reset();
    try {
        converter_ = std::make_unique<Converter>(words.c_str());
    } catch (const Error&) {
        // Short of memory: every word was taken alone, or could not be
        // told for the same shortage.
        return nullptr;
    }
    converterWords_ = words;
    return converter_->get();
}

int FileConverter::convert(bool check) {
    readError_ = false;
    substitutes_ = 0;
    checkText_.clear();
    zekt_converter* const c = converterFor(check ? settings_ + " -c" : settings_);
    if (c == nullptr) return PASS_NO_MEMORY;
    inBuffer_.resize(pieceSize);
    outBuffer_.resize(pieceSize);
    std::int64_t readSoFar = 0;
    for (bool last = false; !last;) {
        if (cancelFlag != nullptr && cancelFlag->load(std::memory_order_relaxed)) return PASS_CANCELLED;
        const int n = readBlock(inBuffer_.data(), static_cast<int>(inBuffer_.size()));
        readError_ = n < 0;  // a read error ends the input like its end
        last = n <= 0;
        if (n > 0 && onRead) onRead(readSoFar += n);
        const std::size_t count = n > 0 ? static_cast<std::size_t>(n) : 0;
        for (std::size_t at = 0;;) {
            std::size_t taken = 0, written = 0;
            const int status = zekt_convert(c, inBuffer_.data() + at, count - at, &taken, outBuffer_.data(),
                                            outBuffer_.size(), &written, last);
            at += taken;
            if (written > 0) writeBlock(outBuffer_.data(), written);
            if (outputFailed()) return PASS_WRITE_FAILED;
            if (status == ZEKT_NOT_TEXT) return PASS_NOT_TEXT;
            if (status == ZEKT_ERROR_MEMORY) return PASS_NO_MEMORY;
            if (status == ZEKT_INPUT_EMPTY) break;
        }
    }
    substitutes_ = static_cast<std::int64_t>(zekt_substitutes(c));
    checkText_ = converter_->checkText();
    return PASS_DONE;
}

}  // namespace zekt
