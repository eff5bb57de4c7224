// Shared by the output-side engine tests: glibc's iconv as an oracle, and
// vectors that must not depend on where the input blocks split.
#pragma once

#include <gtest/gtest.h>
#include <iconv.h>

#include <memory>
#include <optional>
#include <tuple>
#include <utility>

#include "memory_converter.h"

namespace zekt::testing {

// The whole text converted by glibc, or nothing if it refuses any of it.
inline std::optional<std::string> iconvText(const char* to, const char* from, std::string_view text) {
    const std::unique_ptr<void, int (*)(iconv_t)> cd(iconv_open(to, from), iconv_close);
    if (cd.get() == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string in(text), out(in.size() * 4 + 16, '\0');
    char *inPtr = in.data(), *outPtr = out.data();
    std::size_t inLeft = in.size(), outLeft = out.size();
    if (iconv(cd.get(), &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
        iconv(cd.get(), nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

// The two bytes of a pair code, high byte first, and back.
inline std::string twoBytes(int code) {
    return {static_cast<char>((code >> 8) & 0xFF), static_cast<char>(code & 0xFF)};
}
inline int pairOf(std::string_view two) {
    return static_cast<unsigned char>(two[0]) << 8 | static_cast<unsigned char>(two[1]);
}

// Output as hex at the default block size and at every size from 1 to the
// input length, so that every byte offset is once a block boundary; on the
// block path and on the plain per-byte path.
inline void expectAtEverySplit(const std::vector<std::string>& options, std::string_view inputHex,
                               std::string_view expectedHex) {
    SCOPED_TRACE(::testing::PrintToString(options) + " input " + std::string(inputHex));
    const std::string input = bytes(inputHex), expected = hex(bytes(expectedHex));
    EXPECT_EQ(hex(convertWith(options, input)), expected);
    for (const bool perByte : {false, true}) {
        for (int size = 1; size < static_cast<int>(input.size()); ++size) {
            MemoryConverter conv(input);
            conv.bufferSize = size;
            conv.perByte = perByte;
            runOptions(conv, options);
            EXPECT_EQ(hex(conv.outputBytes), expected)
                << "blocks of " << size << (perByte ? ", per byte" : "");
        }
    }
}

// Byte-exact vectors: options, input hex, expected output hex.
using Vector = std::tuple<std::vector<std::string>, const char*, const char*>;
inline void expectVectors(const std::vector<Vector>& vectors) {
    for (const auto& [options, input, expected] : vectors) expectAtEverySplit(options, input, expected);
}

}  // namespace zekt::testing
