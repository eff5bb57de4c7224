// The library's streaming conversion against the plain path at small block
// sizes, where a first block shorter than two bytes must still see the
// byte order mark that decides UTF-16, however the pieces come.
#include "streaming_conversion.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <vector>

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

// Whole blocks are read where they lie in the caller's input: never past
// its end (the sanitizers watch the exact-size copy), and to the same bytes
// as when gathered one byte at a time, whatever the room.
TEST(StreamingConversion, BlocksReadInPlaceStayInTheInput) {
    std::string text;
    while (text.size() < 5000) text += "\xE6\xBC\xA2\xE5\xAD\x97 kanji\n";
    for (const std::size_t size : {1023, 1024, 1039, 1040, 1041, 2064, 4096, 5000}) {
        const std::string input = text.substr(0, size);
        const std::string expected = streamed(input, 1024, 1);
        auto exact = std::make_unique<std::uint8_t[]>(size);
        std::memcpy(exact.get(), input.data(), size);
        for (const std::size_t roomSize : {1, 7, 3000, 20000}) {
            CodecSettings settings;
            settings.outputCode = CodeKind::UTF8;
            settings.outputReturn = ReturnKind::LF;
            StreamingConversion conversion(settings, false);
            std::vector<std::uint8_t> room(roomSize);
            std::string out;
            std::size_t at = 0;
            for (int calls = 0; calls < 100000; ++calls) {
                std::size_t taken = 0, written = 0;
                const auto status =
                    conversion.convert({exact.get() + at, size - at}, taken, room, written, true);
                out.append(room.begin(), room.begin() + static_cast<std::ptrdiff_t>(written));
                at += taken;
                if (status != StreamingConversion::Status::OUTPUT_FULL) break;
            }
            EXPECT_EQ(out, expected) << "size " << size << " room " << roomSize;
        }
    }
}

}  // namespace
}  // namespace zekt::testing
