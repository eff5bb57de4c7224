// One conversion (or check) pass over the open input through the library:
// the file read in large pieces, each handed to zekt_convert, whose output
// goes to the file's output as it comes.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>

#include "file_converter.h"

namespace zekt {
namespace {

// Reads and the library's output go this much at a time.
constexpr std::size_t pieceSize = 1 << 16;
constexpr std::size_t outputRoom = 4 * pieceSize;
// Output pieces from this size up are written directly.
constexpr std::size_t directWrite = 1 << 14;

}  // namespace

int FileConverter::readBlock(std::uint8_t* data, int capacity) {
    for (;;) {
        const ssize_t n = read(fileno(input_), data, static_cast<std::size_t>(capacity));
        if (n >= 0) return static_cast<int>(n);
        if (errno != EINTR) return -1;
    }
}

// A large piece goes to the descriptor itself, after what stdio holds:
// copying it into stdio's buffer first would cost as much as converting
// ASCII. Small ones gather there, so that many small files make few writes.
void FileConverter::writeBlock(const std::uint8_t* data, std::size_t count) {
    if (count < directWrite) {
        fwrite_unlocked(data, 1, count, output_);
        return;
    }
    if (std::fflush(output_) != 0) return;  // the stream keeps the error
    while (count > 0) {
        const ssize_t n = write(fileno(output_), data, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            writeErrno_ = n < 0 ? errno : ENOSPC;
            writeFailed_ = true;
            return;
        }
        data += n;
        count -= static_cast<std::size_t>(n);
    }
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
    writeFailed_ = false;
    substitutes_ = 0;
    selectorsLeftOut_ = 0;
    checkText_.clear();
    zekt_converter* const c = converterFor(check ? settings_ + " -c" : settings_);
    if (c == nullptr) return PASS_NO_MEMORY;
    // Room for what a piece usually makes (UTF-16 doubles ASCII), so that
    // little waits inside the library to be copied twice. Not cleared:
    // only what is read or written is looked at.
    if (!inBuffer_) {
        inBuffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(pieceSize);
        outBuffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(outputRoom);
    }
    std::int64_t readSoFar = 0;
    for (bool last = false; !last;) {
        if (cancelFlag != nullptr && cancelFlag->load(std::memory_order_relaxed)) return PASS_CANCELLED;
        const int n = readBlock(inBuffer_.get(), static_cast<int>(pieceSize));
        readError_ = n < 0;  // a read error ends the input like its end
        last = n <= 0;
        if (n > 0 && onRead) onRead(readSoFar += n);
        const std::size_t count = n > 0 ? static_cast<std::size_t>(n) : 0;
        for (std::size_t at = 0;;) {
            std::size_t taken = 0, written = 0;
            const int status = zekt_convert(c, inBuffer_.get() + at, count - at, &taken, outBuffer_.get(),
                                            outputRoom, &written, last);
            at += taken;
            if (written > 0) writeBlock(outBuffer_.get(), written);
            if (outputFailed()) {
                if (writeErrno_ == 0) writeErrno_ = errno;
                return PASS_WRITE_FAILED;
            }
            if (status == ZEKT_NOT_TEXT) return PASS_NOT_TEXT;
            if (status == ZEKT_ERROR_MEMORY) return PASS_NO_MEMORY;
            if (status == ZEKT_INPUT_EMPTY) break;
        }
    }
    substitutes_ = static_cast<std::int64_t>(zekt_substitutes(c));
    selectorsLeftOut_ = static_cast<std::int64_t>(zekt_selectors_left_out(c));
    checkText_ = converter_->checkText();
    return PASS_DONE;
}

}  // namespace zekt
