#include "stdio_converter.h"

#include <unistd.h>

#include <cerrno>

namespace zekt {

int StdioConverter::readBlock(std::uint8_t* data, int capacity) {
    for (;;) {
        const ssize_t n = read(fileno(input), data, static_cast<std::size_t>(capacity));
        if (n >= 0) return static_cast<int>(n);
        if (errno != EINTR) return -1;
    }
}

void StdioConverter::writeBlock(const std::uint8_t* data, int count) {
    fwrite_unlocked(data, 1, static_cast<std::size_t>(count), output);
}

bool StdioConverter::finishStandardOutput() {
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return true;
    print(1, "%s: %s.\n", standardOutputName, fileErrorText(CANNOT_WRITE));
    return false;
}

}  // namespace zekt
