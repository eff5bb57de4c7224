// The front end over the runtime library's streams that both programs
// derive from: the bytes and blocks of the file in hand, the check words,
// whether a stream has failed and where the standard output goes. Each
// program adds its own print.
#pragma once

#include "converter.h"

namespace zekt {

class StdioConverter : public Converter {
public:
    int readByte() override { return getc_unlocked(input); }
    void writeByte(int c) override { putc_unlocked(c, output); }
    // Whatever the input's descriptor has, up to capacity: text from a pipe
    // is converted as it comes, not when a large block has filled.
    int readBlock(std::uint8_t* data, int capacity) override;
    void writeBlock(const std::uint8_t* data, int count) override;
    bool inputFailed() override { return input != nullptr && std::ferror(input) != 0; }
    bool outputFailed() override { return output != nullptr && std::ferror(output) != 0; }
    bool standardOutputIs(dev_t device, ino_t inode) override;

    // At the end of a run: writes what is still buffered for the standard
    // output (check lines, help); false, after its message, if that failed.
    bool finishStandardOutput();
};

}  // namespace zekt
