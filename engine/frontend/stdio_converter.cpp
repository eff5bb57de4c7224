#include "stdio_converter.h"

#include <sys/stat.h>
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

// Only a regular file: a terminal or /dev/null read and written at once
// feeds nothing back.
bool StdioConverter::standardOutputIs(dev_t device, ino_t inode) {
    struct stat st {};
    return fstat(fileno(stdout), &st) == 0 && S_ISREG(st.st_mode) && st.st_dev == device &&
           st.st_ino == inode;
}

bool StdioConverter::finishStandardOutput() {
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return true;
    print(1, "%s: %s.\n", standardOutputName, fileErrorText(CANNOT_WRITE));
    return false;
}

}  // namespace zekt
