// Pieces of input that begin a character and never finish it: each is one
// substitute, written and counted, and the byte that ended it is read
// afresh; an escape sequence cut by the end is written as read.
#include <algorithm>

#include "output_checks.h"

namespace zekt::testing {
namespace {

struct Unfinished {
    std::vector<std::string> options;
    const char* input;
    const char* output;  // EUC, line ends kept; A2 AE is the substitute
    int substitutes;
};

const std::vector<Unfinished> unfinished = {
    // Shift-JIS: a lead at the end, a lead before a byte that is no trail
    {{"-S"}, "93 FA 96 7B 93", "C6 FC CB DC A2 AE", 1},
    {{"-S"}, "81 20", "A2 AE 20", 1},
    {{"-S"}, "FC", "A2 AE", 1},
    {{"-S"}, "FC FC", "A2 AE", 1},  // a pair with no character stays one substitute
    {{"-S"}, "81 0D 0A 41", "A2 AE 0D 0A 41", 1},
    // EUC: SS2 and SS3 alone, a lead before ASCII, SS3 with one byte
    {{"-E"}, "8E", "A2 AE", 1},
    {{"-E"}, "FE", "A2 AE", 1},
    {{"-E"}, "A1 20", "A2 AE 20", 1},
    {{"-E"}, "8F A2", "A2 AE", 1},
    {{"-E"}, "8F", "A2 AE", 1},
    {{"-E"}, "63 61 66 E9", "63 61 66 A2 AE", 1},  // Latin-1 read as EUC
    {{"-E"}, "B0 A1 B0", "B0 A1 A2 AE", 1},
    // JIS: a lone byte in a kanji run, before the return, a line end, a space
    {{"-J"}, "1B 24 42 30 21 30 1B 28 42", "B0 A1 A2 AE", 1},
    {{"-J"}, "1B 24 42 30 0A 30 21", "A2 AE 0A B0 A1", 1},
    {{"-J"}, "1B 24 42 30 20 30", "A2 AE 20 A2 AE", 2},
    // Detected: half-width kana in Shift-JIS read as EUC keeps its third byte
    {{}, "B1 B2 B3", "B1 B2 A2 AE", 1},
    // UTF-8 cut short, as before
    {{"-U8"}, "E3 81", "A2 AE", 1},
    // Escape sequences cut by the end are written as read, uncounted
    {{}, "61 1B 24", "61 1B 24", 0},
    {{}, "61 1B 28", "61 1B 28", 0},
    {{}, "61 1B 24 28", "61 1B 24 28", 0},
    // Bytes passed through stay as they are
    {{"-S"}, "80 A0", "80 A0", 0},
};

TEST(UnfinishedCharacters, EachIsOneSubstitute) {
    for (const auto& [options, input, output, substitutes] : unfinished) {
        std::vector<std::string> all = options;
        all.insert(all.end(), {"-e", "-nr"});
        expectAtEverySplit(all, input, output);
        MemoryConverter conv(bytes(input));
        runOptions(conv, all);
        EXPECT_EQ(conv.substitutes, substitutes) << input;
    }
}

// At the end of a 1024-byte block the held piece meets the next block's
// first byte, on the block path and the plain one alike.
TEST(UnfinishedCharacters, AtABlockEnd) {
    const std::vector<Unfinished> cases = {
        {{"-S"}, "93 FA 96 7B 93 | 0A", "C6 FC CB DC A2 AE 0A", 1},
        {{"-E"}, "A4 A2 A4 | 0A", "A4 A2 A2 AE 0A", 1},
        {{"-E"}, "8F | 0A", "A2 AE", 1},  // SS3 takes any byte as its second, then the end
        {{"-J"}, "1B 24 42 30 21 30 | 1B 28 42 0A", "B0 A1 A2 AE 0A", 1},
        // Half-width kana ending the first block, Shift-JIS kanji after
        {{}, "B1 B2 B3 | 8A BF", "8E B1 8E B2 8E B3 B4 C1", 0},
    };
    for (const auto& [options, input, output, substitutes] : cases) {
        std::vector<std::string> all = options;
        all.insert(all.end(), {"-e", "-nr"});
        const std::string text = input;
        const std::string first = bytes(text.substr(0, text.find('|'))),
                          second = bytes(text.substr(text.find('|') + 1));
        const std::string head(1024 - first.size(), 'a');
        for (const bool perByte : {false, true}) {
            MemoryConverter conv(head + first + second);
            conv.perByte = perByte;
            runOptions(conv, all);
            EXPECT_EQ(conv.outputBytes.substr(0, head.size()), head) << input;
            EXPECT_EQ(hex(conv.outputBytes.substr(head.size())), hex(bytes(output))) << input;
            EXPECT_EQ(conv.substitutes, substitutes) << input;
        }
    }
}

}  // namespace
}  // namespace zekt::testing
