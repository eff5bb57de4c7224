// zekt: converts each named file, or the standard input, onto the standard
// output.
#include <cstdio>

#include "console_converter.h"

int main(int argc, char** argv) {
    zekt::ConsoleConverter converter;
    const int result = converter.run(argc, argv);
    // Check lines and help text are still buffered when run returns; a
    // failed last write must not pass as success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        converter.print(1, "%s: %s.\n", "(stdout)", "Cannot write a file");
        return -1;
    }
    return result;
}
