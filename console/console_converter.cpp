#include "console_converter.h"

#include <cstdarg>

namespace zekt {

void ConsoleConverter::print(int stream, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::vfprintf(stream == 1 ? stderr : stdout, format, args);
    va_end(args);
}

}  // namespace zekt
