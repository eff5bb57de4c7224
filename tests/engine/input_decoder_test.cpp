// The input side: block reading, decodeByte, detection and its report.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "memory_converter.h"

namespace zekt::testing {
namespace {

using Flag = bool DetectReport::*;
using enum CodeKind;

DetectReport reportWith(std::initializer_list<Flag> flags) {
    DetectReport report;
    for (Flag flag : flags) report.*flag = true;
    return report;
}

// One pass, flattened to text so that a mismatch shows every difference.
std::string describePass(const std::vector<std::string>& options, std::string_view input,
                         int bufferSize) {
    MemoryConverter conv(input);
    conv.bufferSize = bufferSize;
    runOptions(conv, options);
    std::string flags;
    for (bool flag : {conv.report.eightBit, conv.report.binary, conv.report.jis, conv.report.ascii,
                      conv.report.romaji, conv.report.kana7, conv.report.jisKana8,
                      conv.report.kanaSiSo, conv.report.jis1978, conv.report.jis1983,
                      conv.report.nec, conv.report.jisEx1990, conv.report.jisUnknown,
                      conv.report.sjisLead, conv.report.kana8, conv.report.izon,
                      conv.report.eucOnly, conv.report.ss2Kana, conv.report.ss3Kanji})
        flags += flag ? '1' : '0';
    return "result " + std::to_string(conv.result) + " code " +
           std::to_string(index(conv.detectedCode)) + " return " +
           std::to_string(index(conv.detectedReturn)) + " flags " + flags + " output [" +
           hex(conv.outputBytes) + "]";
}

// Whatever straddles a block boundary must decode as if unsplit, so each
// vector is re-run with every block size from 1 to one past its length.
// Each vector shows its evidence in its first block, as detection is per block.
struct SplitCase {
    const char* name;
    std::vector<std::string> options;
    std::string input;
    std::string output;
    CodeKind code;
    ReturnKind ret;
};

std::vector<SplitCase> splitCases() {
    const std::string a1022(1022, 'a'), a1023(1023, 'a'), b1021(1021, 'b');
    return {
        {"CrLf", {"-lf"}, bytes("61 0D 0A 62"), bytes("61 0A 62"), ASCII, ReturnKind::CRLF},
        {"LoneCr", {"-lf"}, bytes("61 0D 62 0D"), bytes("61 0A 62 0A"), ASCII, ReturnKind::CR},
        {"AbcCrAtEnd", {}, "abc\r", "abc\r\n", ASCII, ReturnKind::CR},
        {"SjisPairs", {"-unix"}, bytes("82 A0 88 9F 0A"), bytes("A4 A2 B0 A1 0A"), SJIS,
         ReturnKind::LF},
        {"EucPairs", {"-lf"}, bytes("B0 A1 A4 A2 0A"), bytes("88 9F 82 A0 0A"), EUC,
         ReturnKind::LF},
        {"EucSs3AndSs2", {"-j", "-lf"}, bytes("B0 A1 8F B0 A1 8E B1 0A"),
         bytes("1B 24 42 30 21 1B 24 28 44 30 21 1B 28 49 31 1B 28 42 0A"), EUC, ReturnKind::LF},
        // The CR after SS3 belongs to the unfinished triple and is dropped with it.
        {"Ss3CrAtEnd", {"-E", "-e"}, bytes("B0 A1 8F 0D"), bytes("B0 A1"), EUC, ReturnKind::NONE},
        {"JisKanji", {"-e", "-lf"}, bytes("1B 24 42 30 21 1B 28 42 61 0A"), bytes("B0 A1 61 0A"),
         JIS, ReturnKind::LF},
        {"JisX0212", {"-e", "-lf"}, bytes("1B 24 28 44 30 21 1B 28 42 0A"), bytes("8F B0 A1 0A"),
         JIS, ReturnKind::LF},
        {"NecKanji", {"-e", "-lf"}, bytes("1B 4B 30 21 1B 48 61 0A"), bytes("B0 A1 61 0A"), JIS,
         ReturnKind::LF},
        {"JisKana", {"-e", "-lf"}, bytes("1B 28 49 31 1B 28 42 0E 32 0F 41 0A"),
         bytes("8E B1 8E B2 41 0A"), JIS, ReturnKind::LF},
        {"UnknownEscapes", {"-e", "-lf"},
         bytes("1B 26 40 1B 28 5A 61 1B 24 5A 30 21 1B 24 28 51 30 21 1B 28 42 0A"),
         bytes("1B 26 40 61 B0 A1 8F B0 A1 0A"), JIS, ReturnKind::LF},
        {"Exactly1024", {"-e", "-lf"}, a1022 + bytes("82 A0"), a1022 + bytes("A4 A2"), SJIS,
         ReturnKind::NONE},
        {"Exactly2048", {"-e", "-lf"}, a1023 + bytes("0D 0A 82 A0") + b1021,
         a1023 + bytes("0A A4 A2") + b1021, SJIS, ReturnKind::CRLF},
    };
}

TEST(InputDecoder, EverySplitDecodesAsUnsplit) {
    for (const SplitCase& c : splitCases()) {
        SCOPED_TRACE(c.name);
        MemoryConverter conv(c.input);
        runOptions(conv, c.options);
        EXPECT_EQ(hex(conv.outputBytes), hex(c.output));
        EXPECT_EQ(conv.detectedCode, c.code);
        EXPECT_EQ(conv.detectedReturn, c.ret);

        std::vector<std::string> check = c.options;
        check.push_back("-c");
        const std::string whole = describePass(c.options, c.input, 1024);
        const std::string wholeCheck = describePass(check, c.input, 1024);
        const int last = static_cast<int>(c.input.size()) + 1;
        for (int size = 1; size <= last; ++size) {
            SCOPED_TRACE("bufferSize " + std::to_string(size));
            ASSERT_EQ(describePass(c.options, c.input, size), whole);
            ASSERT_EQ(describePass(check, c.input, size), wholeCheck);
        }
    }
}

// decodeByte alone, byte by byte, with the writer in EUC and line ends kept.
struct DecodeCase {
    const char* name;
    CodeKind kind;
    std::string input;
    std::vector<RawCode> raws;  // the non-zero results
    std::string written;        // what decodeByte itself handed the writer
    JisMode mode;
    ReturnKind ret;
    DetectReport report;
    bool quiet = false;
};

TEST(InputDecoder, DecodeByteCases) {
    using R = DetectReport;
    const std::vector<DecodeCase> cases = {
        {"UnknownEscWrittenAlone", ASCII, bytes("1B 26 40 1B 24 42"), {0x26, 0x40}, bytes("1B"),
         JisMode::KANJI1983, ReturnKind::NONE, reportWith({&R::jis, &R::jis1983})},
        {"UnknownEscQuiet", ASCII, bytes("1B 26 0D 41"), {0x26, 0x41}, "", JisMode::ASCII,
         ReturnKind::CR, {}, true},
        {"Ex1990", ASCII, bytes("1B 24 28 44"), {}, "", JisMode::EX1990, ReturnKind::NONE,
         reportWith({&R::jis, &R::jisEx1990})},
        {"FourByteUnknown", ASCII, bytes("1B 24 28 51"), {}, "", JisMode::EX1990,
         ReturnKind::NONE, reportWith({&R::jis, &R::jisUnknown})},
        {"ParenUnknown", ASCII, bytes("1B 24 42 1B 28 5A"), {}, "", JisMode::ASCII,
         ReturnKind::NONE, reportWith({&R::jis, &R::jis1983, &R::jisUnknown})},
        {"DollarUnknown", ASCII, bytes("1B 24 5A"), {}, "", JisMode::KANJI1983, ReturnKind::NONE,
         reportWith({&R::jis, &R::jisUnknown})},
        {"NecPair", ASCII, bytes("1B 4B 30 21 1B 48 30"), {0x3021, 0x30}, "", JisMode::ASCII,
         ReturnKind::NONE, reportWith({&R::jis, &R::nec})},
        // Space is never paired; a first byte before LF is dropped.
        {"SpaceAndLfInKanji", ASCII, bytes("1B 24 40 20 30 21 30 0A"), {0x20, 0x3021, 0x0A}, "",
         JisMode::KANJI1978, ReturnKind::LF, reportWith({&R::jis, &R::jis1978})},
        {"SoSi", ASCII, bytes("0E 31 0F"), {0x31}, "", JisMode::ASCII, ReturnKind::NONE,
         reportWith({&R::jis, &R::kanaSiSo})},
        {"LeadThenCr", SJIS, bytes("82 0D 41"), {0x41}, bytes("0D"), JisMode::ASCII,
         ReturnKind::CR, reportWith({&R::eightBit, &R::sjisLead})},
        {"CrLf", ASCII, bytes("0D 0A"), {0x0D0A}, "", JisMode::ASCII, ReturnKind::CRLF, {}},
        {"LeadWithoutPartner", SJIS, bytes("82 20"), {0x20}, "", JisMode::ASCII,
         ReturnKind::NONE, reportWith({&R::eightBit, &R::sjisLead})},
        {"Ss3TakesLineEnds", EUC, bytes("8F 0A 0D"), {0x8F0A0D}, "", JisMode::ASCII,
         ReturnKind::NONE, reportWith({&R::eightBit, &R::ss3Kanji})},
        {"Ss3IsLeadOutsideEuc", SJIS, bytes("8F 40 A1"), {0x8F40, 0xA1}, "", JisMode::ASCII,
         ReturnKind::NONE, reportWith({&R::eightBit, &R::ss3Kanji, &R::kana8, &R::jisKana8})},
        {"KanaBytesPairInEuc", EUC, bytes("A1 A1 A1"), {0xA1A1}, "", JisMode::ASCII,
         ReturnKind::NONE, reportWith({&R::eightBit, &R::kana8, &R::jisKana8})},
        {"Ss2Kana", ASCII, bytes("8E B1"), {0x8EB1}, "", JisMode::ASCII, ReturnKind::NONE,
         reportWith({&R::eightBit, &R::ss2Kana})},
        {"NulYieldsNothing", ASCII, bytes("00 41 7F 80 A0"), {0x41, 0x7F, 0x80, 0xA0}, "",
         JisMode::ASCII, ReturnKind::NONE, reportWith({&R::binary, &R::eightBit})},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryConverter conv;
        conv.outputCode = EUC;
        conv.outputReturn = ReturnKind::NONE;
        DecodeState state;
        ShiftState shift;
        DetectReport report;
        ReturnKind ret = ReturnKind::NONE;
        std::vector<RawCode> raws;
        for (unsigned char b : c.input)
            if (RawCode r = conv.decodeByte(b, c.kind, ret, state, report, shift, c.quiet))
                raws.push_back(r);
        EXPECT_EQ(raws, c.raws);
        EXPECT_EQ(hex(conv.outputBytes), hex(c.written));
        EXPECT_EQ(shift.inMode, c.mode);
        EXPECT_EQ(ret, c.ret);
        EXPECT_TRUE(report == c.report);
    }
}

// Check mode on small inputs: the code and every flag of the report.
struct DetectCase {
    const char* name;
    std::vector<std::string> options;
    std::string input;
    CodeKind code;
    DetectReport report;
};

TEST(InputDecoder, DetectionAndReport) {
    using R = DetectReport;
    const std::vector<DetectCase> cases = {
        {"Ascii", {}, bytes("61 0A"), ASCII, {}},
        {"OneSoIsJis", {}, bytes("61 0E 62"), JIS, reportWith({&R::jis, &R::kanaSiSo})},
        {"SjisPair", {}, bytes("61 82 A0"), SJIS, reportWith({&R::eightBit, &R::sjisLead})},
        {"KanaBytesAreEuc", {}, bytes("61 B1 B2"), EUC,
         reportWith({&R::eightBit, &R::kana8, &R::jisKana8})},
        {"FirmEucAlsoIzon", {}, bytes("61 FE A1"), EUC,
         reportWith({&R::eightBit, &R::eucOnly, &R::izon})},
        {"Ss2IsEuc", {}, bytes("8E B1"), EUC, reportWith({&R::eightBit, &R::ss2Kana})},
        {"JisOutranksSjis", {}, bytes("82 A0 1B 28 4A"), JIS,
         reportWith({&R::eightBit, &R::sjisLead, &R::jis, &R::romaji})},
        {"SjisOutranksFirmEuc", {}, bytes("FE A1 82 A0"), SJIS,
         reportWith({&R::eightBit, &R::eucOnly, &R::izon, &R::sjisLead})},
        {"ForcedEucStays", {"-E"}, bytes("82 A0"), EUC, reportWith({&R::eightBit, &R::sjisLead})},
        {"ForcedSjisKeepsJisFlags", {"-S"}, bytes("1B 24 42 30 21"), SJIS,
         reportWith({&R::jis, &R::jis1983})},
        {"IzonNec", {}, bytes("87 40"), SJIS, reportWith({&R::eightBit, &R::sjisLead, &R::izon})},
        {"IzonIbm", {}, bytes("FA 40"), EUC, reportWith({&R::eightBit, &R::izon})},
        {"IzonLastNecSelected", {}, bytes("88 9E"), SJIS,
         reportWith({&R::eightBit, &R::sjisLead, &R::izon})},
        {"FirstKanjiNotIzon", {}, bytes("88 9F"), SJIS, reportWith({&R::eightBit, &R::sjisLead})},
        {"BinaryUnchecked", {"-nb"}, bytes("61 00"), ASCII, reportWith({&R::binary})},
    };
    for (const DetectCase& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryConverter conv(c.input);
        std::vector<std::string> options = c.options;
        options.push_back("-c");
        runOptions(conv, options);
        EXPECT_EQ(conv.result, 0);
        EXPECT_EQ(conv.detectedCode, c.code);
        EXPECT_TRUE(conv.report == c.report);
        EXPECT_EQ(conv.outputBytes, "");
    }
}

TEST(InputDecoder, BinaryControlBytes) {
    const std::vector<std::pair<int, bool>> cases = {
        {0x08, false}, {0x09, false}, {0x0B, false}, {0x0C, false}, {0x1A, false},
        {0x1C, false}, {0x1F, false}, {0x00, true},  {0x07, true},  {0x10, true},
        {0x19, true},  {0x7F, true},
    };
    for (const auto& [byte, binary] : cases) {
        SCOPED_TRACE(byte);
        const std::string input = "a" + std::string(1, static_cast<char>(byte)) + "b";
        MemoryConverter refused(input);
        runOptions(refused, {});
        EXPECT_EQ(refused.result, binary ? 2 : 0);
        MemoryConverter checked(input);
        runOptions(checked, {"-nb", "-c"});
        EXPECT_EQ(checked.report.binary, binary);
    }
}

TEST(InputDecoder, FillBlockEndsWithAnEmptyFill) {
    MemoryConverter conv("abcd");
    InputBuffer buffer{std::make_unique<std::uint8_t[]>(4), 0, 4};
    EXPECT_EQ(conv.fillBlock(buffer), 'd');
    EXPECT_EQ(buffer.count, 4);
    buffer.count = 0;
    EXPECT_EQ(conv.fillBlock(buffer), -1);
    EXPECT_EQ(buffer.count, 0);
}

TEST(InputDecoder, EmptyInput) {
    for (const auto& [options, code] : std::vector<std::pair<std::vector<std::string>, CodeKind>>{
             {{}, ASCII}, {{"-j", "-X"}, ASCII}, {{"-J", "-j"}, JIS}, {{"-c"}, ASCII}}) {
        MemoryConverter conv;
        runOptions(conv, options);
        EXPECT_EQ(conv.result, 0);
        EXPECT_EQ(conv.outputBytes, "");
        EXPECT_EQ(conv.detectedCode, code);
        EXPECT_EQ(conv.detectedReturn, ReturnKind::NONE);
        EXPECT_TRUE(conv.report == DetectReport{});
    }
}

}  // namespace
}  // namespace zekt::testing
