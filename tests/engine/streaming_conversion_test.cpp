// The library's streaming conversion against the plain path at small block
// sizes, where a first block shorter than two bytes must still see the
// byte order mark that decides UTF-16, however the pieces come.
#include "streaming_conversion.h"

#include <gtest/gtest.h>

#include <array>

#include "memory_converter.h"

namespace zekt::testing {
namespace {

std::string streamed(const std::string& input, int blockSize, std::size_t piece) {
    CodecSettings settings;
    settings.outputCode = CodeKind::UTF8;
    settings.outputReturn = ReturnKind::LF;
    settings.detectionBlockSize = blockSize;
    StreamingConversion conversion(settings, false);
    std::string out;
    std::array<std::uint8_t, 5> room{};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(input.data());
    for (std::size_t at = 0;;) {
        const std::size_t n = std::min(piece, input.size() - at);
        const bool last = at + n == input.size();
        std::size_t taken = 0, written = 0;
        const auto status = conversion.convert({bytes + at, n}, taken, room, written, last);
        out.append(room.data(), room.data() + written);
        at += taken;
        if (status == StreamingConversion::Status::INPUT_EMPTY && last && at == input.size()) return out;
        if (status == StreamingConversion::Status::INPUT_EMPTY && taken < n) return "input left untaken";
        if (status != StreamingConversion::Status::INPUT_EMPTY &&
            status != StreamingConversion::Status::OUTPUT_FULL)
            return "refused";
    }
}

TEST(StreamingConversion, SmallBlocksSeeTheByteOrderMark) {
    const std::string inputs[] = {bytes("FE FF 30 42 00 0A 00 41"), bytes("FF FE 42 30 0A 00 41 00"),
                                  bytes("A4 A2 0A 41"), bytes("FE")};
    for (const std::string& input : inputs)
        for (const int blockSize : {1, 2, 3, 1024}) {
            MemoryConverter plain(input);
            plain.perByte = true;
            plain.detectionBlockSize = blockSize;
            runOptions(plain, {"-u8", "-lf"});
            for (const std::size_t piece : {1, 2, 5})
                EXPECT_EQ(hex(streamed(input, blockSize, piece)), hex(plain.outputBytes))
                    << hex(input) << " block " << blockSize << " piece " << piece;
        }
}

}  // namespace
}  // namespace zekt::testing
