#include "memory_converter.h"

#include <cstdarg>
#include <cstdio>
#include <stdexcept>

#include "format_text.h"

namespace zekt::testing {

void MemoryConverter::print(int stream, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    (stream == 1 ? errors : printed) += formatText(format, args);
    va_end(args);
}

void MemoryConverter::processFile(bool, const char*, const char*) {
    position = 0;
    ++passes;
    result = convert(&detectedCode, &detectedReturn, &report);
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

int runOptions(MemoryConverter& conv, const std::vector<std::string>& options) {
    std::vector<const char*> argv{"zekt"};
    for (const std::string& option : options) argv.push_back(option.c_str());
    return conv.run(static_cast<int>(argv.size()), argv.data());
}

std::string convertWith(const std::vector<std::string>& options, std::string_view input) {
    MemoryConverter conv(input);
    runOptions(conv, options);
    return conv.outputBytes;
}

}  // namespace zekt::testing
