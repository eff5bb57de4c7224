// The console front end: the engine over the standard streams, messages on
// the standard error.
#pragma once

#include "stdio_converter.h"

namespace zekt {

class ConsoleConverter final : public StdioConverter {
public:
    void print(int stream, const char* format, ...) override ZEKT_PRINTF(3, 4);
};

}  // namespace zekt
