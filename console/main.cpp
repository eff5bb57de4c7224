// zekt: converts each named file, or the standard input, onto the standard
// output.
#include "console_converter.h"

int main(int argc, char** argv) {
    zekt::ConsoleConverter converter;
    return converter.run(argc, argv);
}
