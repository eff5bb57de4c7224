// The engine's test double: a pass over in-memory bytes with any settings,
// the plain path's and the block size included, fed through the library's
// streaming conversion; and helpers to run option words over it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "codec.h"

namespace zekt::testing {

class MemoryConverter : public CodecSettings {
public:
    explicit MemoryConverter(std::string_view inputBytes = {}) : inputBytes(inputBytes) {}

    // One pass over inputBytes, fed whole into ample room.
    void convert();

    bool checkOnly = false;
    std::string inputBytes;
    std::string outputBytes;

    // Of the last pass: 0 done, 1 no memory, 2 not text.
    int result = -1;
    CodeKind detectedCode = CodeKind::ASCII;
    ReturnKind detectedReturn = ReturnKind::NONE;
    DetectReport report;
    std::int64_t substitutes = 0;
    std::int64_t selectorsLeftOut = 0;
};

// Bytes from hex text: "B0 A1 0A" (blanks ignored).
std::string bytes(std::string_view hex);
// Hex text of bytes, for readable failures: "B0 A1 0A".
std::string hex(std::string_view bytes);

// Applies the option words (with their dashes, -c included) to the
// converter's settings and runs a pass.
void runOptions(MemoryConverter& conv, const std::vector<std::string>& options);
// Just the output bytes of that pass.
std::string convertWith(const std::vector<std::string>& options, std::string_view input);

}  // namespace zekt::testing
