// Shared by the output-side engine tests: glibc's iconv as an oracle, and
// vectors that must not depend on where the input blocks split.
#pragma once

#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <tuple>
#include <utility>

#include "memory_converter.h"

namespace zekt::testing {

// One glibc conversion, opened once and reused: each text is converted
// alone and whole, or not at all.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) ADD_FAILURE() << "no iconv from " << from << " to " << to;
    }
    ~Iconv() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    std::optional<std::string> operator()(std::string_view text) const {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string in(text), out(in.size() * 4 + 16, '\0');
        char *inPtr = in.data(), *outPtr = out.data();
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

inline std::optional<std::string> iconvText(const char* to, const char* from, std::string_view text) {
    return Iconv(to, from)(text);
}

// A code's bytes, high byte first (none for 0), and back.
inline std::string bytesOf(std::int32_t code) {
    std::string bytes;
    for (int shift = 24; shift >= 0; shift -= 8)
        if (code >> shift) bytes += static_cast<char>((code >> shift) & 0xFF);
    return bytes;
}
inline std::int32_t codeOf(std::string_view bytes) {
    std::int32_t code = 0;
    for (const unsigned char byte : bytes) code = code << 8 | byte;
    return code;
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
            conv.detectionBlockSize = size;
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
