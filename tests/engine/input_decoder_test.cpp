// The input side: decodeByte, block boundaries, detection and its report.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "memory_converter.h"

namespace zekt::testing {
namespace {

using enum CodeKind;
using RK = ReturnKind;

// The names of the flags set, for expectations and readable failures.
std::string flags(const DetectReport& report) {
    using enum detect::Flag;
    static constexpr detect::Flag all[] = {
        EIGHT_BIT,   BINARY,    JIS,        ASCII_SEQ,   ROMAJI_SEQ, KANA7_SEQ, SI_SO,       JIS1978_SEQ,
        JIS1983_SEQ, NEC_SEQ,   EX1990_SEQ, UNKNOWN_SEQ, SJIS_LEAD,  KANA8,     IZON,        EUC_ONLY,
        SS2_KANA,    SS3_KANJI, BROKEN,     WIDE,        BOM,        SJIS_ONLY, JISX0213_SEQ};
    std::istringstream names(
        "eightBit binary jis ascii romaji kana7 kanaSiSo jis1978 jis1983 nec jisEx1990 jisUnknown sjisLead "
        "kana8 izon eucOnly ss2Kana ss3Kanji broken wide bom sjisOnly jisX0213");
    std::string text, name;
    for (const detect::Flag flag : all) {
        names >> name;
        if (report.has(flag)) text += (text.empty() ? "" : " ") + name;
    }
    return text;
}

// One pass as text, so that a mismatch shows every difference.
std::string describePass(std::vector<std::string> options, const std::string& input, int detectionBlockSize,
                         bool perByte = false) {
    MemoryConverter conv(input);
    conv.detectionBlockSize = detectionBlockSize;
    conv.perByte = perByte;
    runOptions(conv, options);
    return "result " + std::to_string(conv.result) + " code " + std::to_string(index(conv.detectedCode)) +
           " return " + std::to_string(index(conv.detectedReturn)) + " flags " + flags(conv.report) +
           " output [" + hex(conv.outputBytes) + "]";
}

// Whatever straddles a block boundary must decode as if unsplit, so each vector
// is converted and checked with every block size up to one past its length.
struct SplitCase {
    std::vector<std::string> options;
    const char* input;
    const char* output;
    CodeKind code;
    ReturnKind ret;
    int head = 0, tail = 0;  // 'a's around both, to reach 1024 and 2048 bytes
};

TEST(InputDecoder, EverySplitDecodesAsUnsplit) {
    const std::vector<SplitCase> cases = {
        // The last line end read is the one reported.
        {{"-lf"}, "61 0D 0A 62 0A 63 0D", "61 0A 62 0A 63 0A", ASCII, RK::CR},
        {{"-unix"}, "82 A0 88 9F 0A", "A4 A2 B0 A1 0A", SJIS, RK::LF},
        {{"-j"}, "B0A1 8FB0A1 8EB1", "1B2442 3021 1B242844 3021 1B2849 31 1B2842", EUC, RK::NONE},
        // The CR after SS3 belongs to the unfinished triple, written as the substitute.
        {{"-E", "-e"}, "B0 A1 8F 0D", "B0 A1 A2 AE", EUC, RK::NONE},
        {{"-e"}, "1B2440 3021 1B2442 3021 1B242844 3021", "B0A1 B0A1 8FB0A1", JIS, RK::NONE},
        {{"-e"}, "1B4B 3021 1B48 61 1B2849 31 1B284A 61 1B2842 62", "B0A1 61 8EB1 61 62", JIS, RK::NONE},
        {{"-e"}, "0E 32 0F 41", "8EB2 41", JIS, RK::NONE},
        {{"-e"}, "1B2640 1B285A 61 1B245A 3021 1B242852 3021", "1B2640 61 B0A1 8FB0A1", JIS, RK::NONE},
        {{"-J", "-e"}, "1B2849 31 20 60 B1 1B2442 3021", "8EB1 20 60 8EB1 B0A1", JIS, RK::NONE},
        {{"-S", "-e"}, "88 9F 87 40 B1 ED 40", "B0 A1 AD A1 8E B1 F9 A1", SJIS, RK::NONE},
        // Without output conversion nothing is scanned: forced JIS is written as read.
        {{"-nk", "-J"}, "1B2849 31 0E 32", "1B2849 31 0E 32", JIS, RK::NONE},
        {{"-e", "-lf"}, "82 A0", "A4 A2", SJIS, RK::NONE, 1022},
        {{"-e", "-lf"}, "0D 0A 82 A0", "0A A4 A2", SJIS, RK::CRLF, 1023, 1021},
        // A lone ESC at the end goes out like a lone CR, and so does an
        // unfinished sequence.
        {{"-e"}, "61 62 63 1B", "61 62 63 1B", ASCII, RK::NONE},
        {{"-e"}, "61 1B 24", "61 1B 24", ASCII, RK::NONE},
        {{"-e"}, "61 1B 28", "61 1B 28", ASCII, RK::NONE},
        {{"-e"}, "61 1B 24 28", "61 1B 24 28", ASCII, RK::NONE},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.input);
        const std::string head(c.head, 'a'), tail(c.tail, 'a'), input = head + bytes(c.input) + tail;
        MemoryConverter conv(input);
        runOptions(conv, c.options);
        EXPECT_EQ(hex(conv.outputBytes), hex(head + bytes(c.output) + tail));
        EXPECT_EQ(conv.detectedCode, c.code);
        EXPECT_EQ(conv.detectedReturn, c.ret);
        std::vector<std::string> check = c.options;
        check.push_back("-c");
        for (const auto& options : {c.options, check}) {
            const std::string whole = describePass(options, input, 1024);
            for (int size = 1; size <= static_cast<int>(input.size()) + 1; ++size)
                for (const bool perByte : {false, true})
                    ASSERT_EQ(describePass(options, input, size, perByte), whole) << "blocks of " << size;
        }
    }
}

// Escapes, held bytes and line ends in each reading, whole passes: the
// output (EUC, line ends kept) and the flags a check reports.
TEST(InputDecoder, HeldBytesAndEscapes) {
    const std::tuple<std::vector<std::string>, const char*, const char*, const char*> cases[] = {
        {{}, "1B 26 40 1B 24 42", "1B 26 40", "jis jis1983"},
        {{}, "1B 26 0D 41", "1B 26 0D 41", ""},
        {{}, "1B 24 28 44 1B 24 28 52", "", "jis jisEx1990 jisUnknown"},
        {{}, "1B 24 28 4F 1B 24 28 50 1B 24 28 51", "", "jis jisX0213"},
        {{}, "1B 24 42 1B 28 5A", "", "jis jis1983 jisUnknown"},
        {{}, "1B 24 5A", "", "jis jisUnknown"},
        {{}, "1B 4B 30 21 1B 48 30", "B0 A1 30", "jis nec"},
        // Space is never paired; a first byte before LF is the substitute.
        {{}, "1B 24 40 20 30 21 30 0A", "20 B0 A1 A2 AE 0A", "jis jis1978"},
        {{"-S"}, "82 0D 41", "A2 AE 0D 41", "eightBit sjisLead"},
        {{"-E"}, "8F 0A 0D", "8F 0A 0D", "eightBit ss3Kanji"},
        {{"-S"}, "8F 40 A1", "BD A1 8E A1", "eightBit sjisLead kana8 ss3Kanji"},
        {{"-E"}, "A1 A1 A1", "A1 A1 A2 AE", "eightBit kana8"},
        {{"-nb"}, "00 41 7F 80 A0", "41 7F 80 A0", "eightBit binary broken"},
    };
    for (const auto& [options, input, output, set] : cases) {
        SCOPED_TRACE(input);
        std::vector<std::string> convert = options, check = options;
        convert.insert(convert.end(), {"-e", "-nr"});
        check.push_back("-c");
        EXPECT_EQ(hex(convertWith(convert, bytes(input))), output);
        MemoryConverter conv(bytes(input));
        runOptions(conv, check);
        EXPECT_EQ(flags(conv.report), set);
    }
}

// Check mode: the code detected (JIS over Shift-JIS over EUC) and the flags.
TEST(InputDecoder, DetectionAndReport) {
    const std::vector<std::tuple<std::vector<std::string>, const char*, CodeKind, const char*>> cases = {
        {{"-c"}, "", ASCII, ""},
        {{"-c"}, "61 0E 62", JIS, "jis kanaSiSo"},
        {{"-c"}, "61 B1 B2", EUC, "eightBit kana8 broken"},
        {{"-c"}, "61 FE A1", EUC, "eightBit izon eucOnly broken"},
        {{"-c"}, "8E B1", EUC, "eightBit ss2Kana"},  // both read it (UTF-8 as a cut start); EUC stays
        {{"-c"}, "8F 6F 8F 8A", SJIS, "eightBit sjisLead ss3Kanji broken sjisOnly"},  // 出所
        {{"-c"}, "8E 40", SJIS, "eightBit sjisLead ss2Kana sjisOnly"},
        {{"-c"}, "61 8E E0 41", SJIS, "eightBit sjisLead ss2Kana broken sjisOnly"},  // E0: EUC but not kana
        {{"-c"}, "82 A0 1B 28 4A", JIS, "eightBit jis romaji sjisLead sjisOnly"},
        {{"-c"}, "FE A1 82 A0", SJIS, "eightBit sjisLead izon eucOnly broken"},
        {{"-c", "-E"}, "82 A0", EUC, "eightBit sjisLead"},
        {{"-c", "-S"}, "1B 24 42 30 21", SJIS, "jis jis1983"},
        {{"-c"}, "87 40", SJIS, "eightBit sjisLead izon sjisOnly"},
        {{"-c"}, "88 9F", SJIS, "eightBit sjisLead sjisOnly"},
        {{"-c"}, "FA 40", EUC, "eightBit izon broken"},
        // Controls that are text, and the flag -nb keeps (each edge byte: CheckLine.AtEachEdge).
        {{"-c"}, "08 09 0B 0C 1A 1F", ASCII, ""},
        {{"-c", "-nb"}, "00", ASCII, "binary"},
    };
    for (const auto& [options, input, code, set] : cases) {
        SCOPED_TRACE(input);
        MemoryConverter conv(bytes(input));
        runOptions(conv, options);
        EXPECT_EQ(conv.result, 0);
        EXPECT_EQ(conv.detectedCode, code);
        EXPECT_EQ(flags(conv.report), set);
        EXPECT_EQ(conv.outputBytes, "");
    }
}

// Shift-JIS whose only leads are the EUC single shifts: a trail that EUC
// would not take after them makes it Shift-JIS (時事, 出所 after a block's
// worth of ASCII), where EUC's reading of SS2 kana is left alone.
TEST(InputDecoder, SingleShiftLeadsInShiftJis) {
    const std::string ascii(1000, 'a');
    EXPECT_EQ(hex(convertWith({"-e", "-lf"}, bytes("8E 9E 8E 96 0A"))), "BB FE BB F6 0A");
    EXPECT_EQ(convertWith({"-e", "-lf"}, ascii + bytes("8F 6F 8F 8A") + std::string(5000, 'b')),
              ascii + bytes("BD D0 BD EA") + std::string(5000, 'b'));
    EXPECT_EQ(hex(convertWith({"-s", "-lf"}, bytes("8E B1 8E DF 0A"))), "B1 DF 0A");
}

}  // namespace
}  // namespace zekt::testing
