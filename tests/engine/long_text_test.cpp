// Long text through the block path: runs longer than a block and than the
// output buffer, in every code both ways, come out as glibc writes them
// and exactly as the plain per-byte path writes them.
#include "output_checks.h"

namespace zekt::testing {
namespace {

// Typed text: a long English run with no line end, lines where kanji and
// ASCII alternate every few characters, a long line of kanji and kana with
// full-width letters and two-byte UTF-8 characters; each round shifted by a
// few bytes, so that the runs meet every alignment.
std::string longText() {
    const std::string prose = "The quick brown fox jumps over the lazy dog, 0123456789 times; ";
    const std::string fields = "いっ,1285,1285,5622,名詞,一般,*,*,*,*,いっ,イッ,イッ\n";
    const std::string japanese = "日本語の文章を変換する。漢字と仮名、ＡＢＣの全角英字、αβγ×÷§";
    std::string text;
    for (int round = 0; text.size() < 200000; ++round) {
        text += std::string(static_cast<std::size_t>(round % 17), 'a');
        for (int k = 0; k < 60; ++k) text += prose;
        text += "\n";
        for (int k = 0; k < 40; ++k) text += fields;
        for (int k = 0; k < 40; ++k) text += japanese;
        text += "\r\n";
    }
    return text;
}

struct Form {
    const char* iconvName;
    const char* inputOption;
    const char* outputOption;
};

constexpr Form forms[] = {
    {"EUC-JP", "-E", "-e"},  {"SHIFT_JIS", "-S", "-s"},        {"ISO-2022-JP", "-J", "-j"},
    {"UTF-8", "-U8", "-u8"}, {"UTF-16LE", "-U16LE", "-u16le"}, {"UTF-16BE", "-U16BE", "-u16be"},
};

// What a pass found (code, line end, report flags) and wrote.
std::string passOutcome(const MemoryConverter& conv) {
    return std::to_string(conv.result) + " " + std::to_string(index(conv.detectedCode)) + " " +
           std::to_string(index(conv.detectedReturn)) + " " + std::to_string(conv.report.flags) + " " +
           conv.outputBytes;
}

std::string plainPath(const std::vector<std::string>& options, const std::string& input) {
    MemoryConverter conv(input);
    conv.perByte = true;
    runOptions(conv, options);
    return passOutcome(conv);
}

// The block path with vectors no wider than level.
std::string blockPath(const std::vector<std::string>& options, const std::string& input, VectorLevel level) {
    MemoryConverter conv(input);
    conv.vectorLevel = level;
    runOptions(conv, options);
    return passOutcome(conv);
}

// The block path with every kernel the machine has gives what the
// plain path gives.
void expectEveryWidthAsPlain(const std::vector<std::string>& options, const std::string& input) {
    SCOPED_TRACE(::testing::PrintToString(options));
    const std::string plain = plainPath(options, input);
    for (const Kernels& kernels : machineKernels())
        EXPECT_TRUE(blockPath(options, input, kernels.level) == plain)
            << "vector level " << static_cast<int>(kernels.level);
}

TEST(LongText, EveryDirectionAsGlibcAndThePlainPath) {
    const std::string text = longText();
    for (const Form& from : forms) {
        const std::optional<std::string> input = iconvText(from.iconvName, "UTF-8", text);
        ASSERT_TRUE(input) << from.iconvName;
        for (const Form& to : forms) {
            SCOPED_TRACE(std::string(from.inputOption) + " " + to.outputOption);
            const std::vector<std::string> options = {from.inputOption, to.outputOption, "-nr"};
            const std::string block = convertWith(options, *input);
            // glibc's JIS returns to ASCII before each line end; the block path
            // answers to the plain path there.
            if (std::string_view(to.outputOption) != "-j") {
                const std::optional<std::string> expected = iconvText(to.iconvName, "UTF-8", text);
                ASSERT_TRUE(expected);
                EXPECT_TRUE(block == *expected);  // not printed: 200 KB
            }
            expectEveryWidthAsPlain(options, *input);
            // Detected, and with the line ends rewritten.
            if (!std::string_view(from.inputOption).starts_with("-U16"))
                expectEveryWidthAsPlain({to.outputOption, "-cl"}, *input);
        }
        // Check mode: detected (the settled scans) and forced.
        expectEveryWidthAsPlain({"-c"}, *input);
        expectEveryWidthAsPlain({from.inputOption, "-c"}, *input);
    }
}

}  // namespace
}  // namespace zekt::testing
