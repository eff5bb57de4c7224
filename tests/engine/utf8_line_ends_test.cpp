// UTF-8 to UTF-8 with a line end asked for: the block path copies
// well-formed text whole chunks at a time, and must still meet every line
// end, wherever it falls in a chunk, on every vector width.
#include "output_checks.h"

namespace zekt::testing {
namespace {

// Each CR LF, CR and LF as the line end given.
std::string withLineEnds(const std::string& text, const std::string& lineEnd) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
        if (text[at] == '\r' || text[at] == '\n')
            out += lineEnd;
        else
            out += text[at];
    }
    return out;
}

TEST(Utf8LineEnds, EveryLineEndInEveryChunkPosition) {
    const std::vector<std::pair<const char*, std::string>> options = {
        {"-lf", "\n"}, {"-cr", "\r"}, {"-crlf", "\r\n"}};
    std::string text;
    for (int n = 0; n < 40; ++n) {
        text += std::string(static_cast<std::size_t>(n), 'a') + "日本語" + std::string(n % 7, 'b');
        text += n % 3 == 0 ? "\r\n" : n % 3 == 1 ? "\n" : "\r";
    }
    for (const auto& [option, lineEnd] : options)
        for (const Kernels& kernels : machineKernels())
            for (const bool perByte : {false, true}) {
                const VectorLevel level = kernels.level;
                MemoryConverter conv(text);
                conv.vectorLevel = level;
                conv.perByte = perByte;
                runOptions(conv, {"-U8", "-u8", option});
                EXPECT_TRUE(conv.outputBytes == withLineEnds(text, lineEnd))
                    << option << " level " << static_cast<int>(level) << (perByte ? " per byte" : "");
            }
}

}  // namespace
}  // namespace zekt::testing
