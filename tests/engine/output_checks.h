// Shared by the output-side engine tests: glibc's iconv as an oracle, and a
// check that a conversion does not depend on where the input blocks split.
#pragma once

#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "memory_converter.h"

namespace zekt::testing {

// One iconv descriptor; a call converts a whole text or refuses it.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    std::optional<std::string> operator()(std::string_view text) const {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string in(text);
        std::string out(in.size() * 4 + 16, '\0');
        char* inPtr = in.data();
        char* outPtr = out.data();
        std::size_t inLeft = in.size(), outLeft = out.size();
        if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
            iconv(cd_, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
            return std::nullopt;
        out.resize(out.size() - outLeft);
        return out;
    }

private:
    iconv_t cd_;
};

// The two bytes of a pair code, high byte first.
inline std::string twoBytes(int code) {
    return {static_cast<char>((code >> 8) & 0xFF), static_cast<char>(code & 0xFF)};
}

// The output of one run with input blocks of bufferSize bytes.
inline std::string convertInBlocks(const std::vector<std::string>& options, std::string_view input,
                                   int bufferSize) {
    MemoryConverter conv(input);
    conv.bufferSize = bufferSize;
    runOptions(conv, options);
    return conv.outputBytes;
}

// Output (as hex) of the default block size, and the same with every block
// size from 1 to the input length, so that every byte offset is a boundary.
inline void expectAtEverySplit(const std::vector<std::string>& options, std::string_view inputHex,
                               std::string_view expectedHex) {
    const std::string input = bytes(inputHex);
    std::string line;
    for (const std::string& option : options) line += option + " ";
    SCOPED_TRACE(line + "input " + std::string(inputHex));
    const std::string expected = hex(bytes(expectedHex));  // any grouping of the digits
    EXPECT_EQ(hex(convertWith(options, input)), expected);
    for (int size = 1; size < static_cast<int>(input.size()); ++size)
        EXPECT_EQ(hex(convertInBlocks(options, input, size)), expected) << "blocks of " << size;
}

// A byte-exact vector: options, input hex, expected output hex.
struct Vector {
    std::vector<std::string> options;
    const char* input;
    const char* expected;
};

inline void expectVectors(const std::vector<Vector>& vectors) {
    for (const Vector& v : vectors) expectAtEverySplit(v.options, v.input, v.expected);
}

}  // namespace zekt::testing
