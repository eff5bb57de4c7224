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

std::string streamed(const std::string& input, int blockSize, std::size_t piece,
                     CodeKind output = CodeKind::UTF8) {
    CodecSettings settings;
    settings.outputCode = output;
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
// as when gathered one byte at a time, however the input is cut (a piece
// may hold whole blocks after a gathered start) and whatever the room.
// What waits beyond the room stays bounded by the output buffer.
TEST(StreamingConversion, BlocksReadInPlaceStayInTheInput) {
    std::string text;
    while (text.size() < 300000) text += "\xE6\xBC\xA2\xE5\xAD\x97 kanji\n";
    for (const std::size_t size : {1023, 1024, 1039, 1040, 1041, 2064, 4096, 5000, 300000})
        for (const CodeKind output : {CodeKind::UTF8, CodeKind::SJIS}) {
            const std::string input = text.substr(0, size);
            const std::string expected =
                size < 10000 || output != CodeKind::UTF8 ? streamed(input, 1024, 1, output) : input;
            auto exact = std::make_unique<std::uint8_t[]>(size);
            std::memcpy(exact.get(), input.data(), size);
            for (const std::size_t piece : {size, std::size_t{1500}, std::size_t{1041}})
                for (const std::size_t roomSize : {1, 7, 3000, 20000}) {
                    if (size > 10000 && roomSize < 3000) continue;
                    CodecSettings settings;
                    settings.outputCode = output;
                    settings.outputReturn = ReturnKind::LF;
                    StreamingConversion conversion(settings, false);
                    std::vector<std::uint8_t> room(roomSize);
                    std::string out;
                    std::size_t held = 0;
                    for (std::size_t at = 0;;) {
                        const std::size_t n = std::min(piece, size - at);
                        std::size_t taken = 0, written = 0;
                        const auto status =
                            conversion.convert({exact.get() + at, n}, taken, room, written, at + n == size);
                        out.append(room.begin(), room.begin() + static_cast<std::ptrdiff_t>(written));
                        at += taken;
                        held = std::max(held, conversion.held());
                        if (status != StreamingConversion::Status::OUTPUT_FULL && at == size) break;
                        if (status != StreamingConversion::Status::OUTPUT_FULL && taken < n) break;
                    }
                    EXPECT_EQ(out, expected) << "size " << size << " piece " << piece << " room " << roomSize;
                    EXPECT_LE(held, std::size_t{1} << 16) << "size " << size << " piece " << piece;
                }
        }
}

}  // namespace
}  // namespace zekt::testing
