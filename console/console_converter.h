// The console front end: the engine over the standard streams.
#pragma once

#include "converter.h"

namespace zekt {

class ConsoleConverter final : public Converter {
public:
    // One call per byte: straight to the stream buffer, no locking.
    int readByte() override { return getc_unlocked(input); }
    void writeByte(int c) override { putc_unlocked(c, output); }
    void print(int stream, const char* format, ...) override ZEKT_PRINTF(3, 4);
    void printFlag(bool flag, const char* word) override;
};

}  // namespace zekt
