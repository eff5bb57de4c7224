// The test front end: a Converter over in-memory bytes, and helpers to run
// whole command lines or single passes over them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "converter.h"

namespace zekt::testing {

class MemoryConverter : public Converter {
public:
    explicit MemoryConverter(std::string_view inputBytes = {}) : inputBytes(inputBytes) {}

    int readByte() override {
        if (position >= inputBytes.size()) return -1;
        return static_cast<unsigned char>(inputBytes[position++]);
    }
    void writeByte(int c) override { outputBytes.push_back(static_cast<char>(c & 0xFF)); }
    void print(int stream, const char* format, ...) override ZEKT_PRINTF(3, 4);
    // Every file (and the standard input) reads the same in-memory bytes.
    void processFile(bool check, const char* inputName, const char* outputName) override;

    std::string inputBytes;
    std::size_t position = 0;
    std::string outputBytes;  // what writeByte wrote
    std::string printed;      // normal output of print
    std::string errors;       // error output of print

    // Of the last pass that processFile ran.
    int passes = 0;
    int result = -1;
    CodeKind detectedCode = CodeKind::ASCII;
    ReturnKind detectedReturn = ReturnKind::NONE;
    DetectReport report;
};

// Bytes from hex text: "B0 A1 0A" (blanks ignored).
std::string bytes(std::string_view hex);
// Hex text of bytes, for readable failures: "B0 A1 0A".
std::string hex(std::string_view bytes);

// Runs the options (with their dashes, as on a command line) over the
// converter's input; returns what run returned.
int runOptions(MemoryConverter& conv, const std::vector<std::string>& options);
// Just the output bytes of that run.
std::string convertWith(const std::vector<std::string>& options, std::string_view input);

}  // namespace zekt::testing
