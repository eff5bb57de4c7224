#include "memory_converter.h"

#include <cstdint>
#include <stdexcept>

#include "option_words.h"
#include "streaming_conversion.h"

namespace zekt::testing {

void MemoryConverter::convert() {
    StreamingConversion conversion(*this, checkOnly);
    outputBytes.clear();
    const auto* in = reinterpret_cast<const std::uint8_t*>(inputBytes.data());
    std::vector<std::uint8_t> room(1 << 16);
    std::size_t at = 0;
    for (;;) {
        std::size_t taken = 0, written = 0;
        const auto status = conversion.convert({in + at, inputBytes.size() - at}, taken, room, written, true);
        outputBytes.append(room.begin(), room.begin() + static_cast<std::ptrdiff_t>(written));
        at += taken;
        if (status == StreamingConversion::Status::OUTPUT_FULL) continue;
        result = status == StreamingConversion::Status::INPUT_EMPTY ? 0
                 : status == StreamingConversion::Status::NOT_TEXT  ? 2
                                                                    : 1;
        break;
    }
    detectedCode = conversion.detectedCode();
    detectedReturn = conversion.detectedReturn();
    report = conversion.report();
    substitutes = conversion.substitutes();
    selectorsLeftOut = conversion.selectorsLeftOut();
}

std::string bytes(std::string_view hexText) {
    std::string out;
    int nibbles = 0, value = 0;
    for (char ch : hexText) {
        if (ch == ' ') continue;
        int digit;
        if (ch >= '0' && ch <= '9')
            digit = ch - '0';
        else if (ch >= 'A' && ch <= 'F')
            digit = ch - 'A' + 10;
        else if (ch >= 'a' && ch <= 'f')
            digit = ch - 'a' + 10;
        else
            throw std::invalid_argument("not hex: " + std::string(hexText));
        value = value * 16 + digit;
        if (++nibbles == 2) {
            out.push_back(static_cast<char>(value));
            nibbles = value = 0;
        }
    }
    if (nibbles != 0) throw std::invalid_argument("odd hex: " + std::string(hexText));
    return out;
}

std::string hex(std::string_view data) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : data) {
        if (!out.empty()) out.push_back(' ');
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0xF]);
    }
    return out;
}

void runOptions(MemoryConverter& conv, const std::vector<std::string>& options) {
    for (const std::string& option : options) {
        const OptionWord kind = applyOptionWord(conv, option.c_str() + 1);
        if (kind == OptionWord::CHECK) conv.checkOnly = true;
        if (kind != OptionWord::SETTING && kind != OptionWord::CHECK)
            throw std::invalid_argument("not a setting: " + option);
    }
    conv.convert();
}

std::string convertWith(const std::vector<std::string>& options, std::string_view input) {
    MemoryConverter conv(input);
    runOptions(conv, options);
    return conv.outputBytes;
}

}  // namespace zekt::testing
