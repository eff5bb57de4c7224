// zekt: converts each named file, or the standard input, onto the standard
// output.
#include <unistd.h>

#include <cstdio>
#include <new>
#include <string_view>

#include "file_converter.h"

namespace {

constexpr std::size_t kStreamBuffer = 1 << 16;

// 64 KiB instead of the 4 KiB stdio picks: a large conversion spent a sixth
// of its time, and a pipe more than a third, in system calls. A terminal
// keeps its line buffering. stdio uses the buffer until exit, after main has
// returned, hence the static storage.
void enlargeBuffer(std::FILE* stream, char (&buffer)[kStreamBuffer]) {
    if (!isatty(fileno(stream))) std::setvbuf(stream, buffer, _IOFBF, kStreamBuffer);
}

}  // namespace

int main(int argc, char** argv) try {
    static char outputBuffer[kStreamBuffer];
    enlargeBuffer(stdout, outputBuffer);
    // Messages on the standard error, check lines and help on the output.
    zekt::FileConverter converter([](int stream, std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stream == 1 ? stderr : stdout);
    });
    const int result = converter.run(argc, argv);
    // Check lines and help text may still be buffered when run returns; a
    // failed last write must not pass as success. After a failure that
    // stopped the run, its message has been printed already.
    if (!converter.fatalError() && !converter.finishStandardOutput()) return -1;
    return result;
} catch (const std::bad_alloc&) {
    // Outside any file (a file's own failure is reported by the engine).
    std::fputs("zekt: No enough memory.\n", stderr);
    return -1;
}
