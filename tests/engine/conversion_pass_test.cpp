// The conversion pass: per-block detection, refusal of binary input, the end
// of the output, the input converters, and front-end exceptions.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "memory_converter.h"

namespace zekt::testing {
namespace {

struct PassCase {
    const char* name;
    std::vector<std::string> options;
    std::string input;
    std::string output;
    int result = 0;
    int bufferSize = 1024;
};

void expectPass(const PassCase& c) {
    SCOPED_TRACE(c.name);
    MemoryConverter conv(c.input);
    conv.bufferSize = c.bufferSize;
    runOptions(conv, c.options);
    EXPECT_EQ(conv.result, c.result);
    EXPECT_EQ(hex(conv.outputBytes), hex(c.output));
}

// Three blocks of four: kanji, kanji then a kana the -X exchange holds back,
// and a NUL. What the first two blocks wrote stays, with no closing sequence
// and without the held kana.
const std::string threeBlocks = bytes("B0 A1 B0 A1  B0 A1 8E B6  00 41 41 41");

TEST(ConversionPass, BinaryInput) {
    const std::vector<PassCase> cases = {
        {"FirstBlock", {"-j"}, bytes("B0 A1 00"), "", 2},
        {"ThirdBlock", {"-j", "-X"}, threeBlocks, bytes("1B 24 42 30 21 30 21 30 21"), 2, 4},
        {"ThirdBlockUnchecked", {"-j", "-X", "-nb"}, threeBlocks,
         bytes("1B 24 42 30 21 30 21 30 21 25 2B 1B 28 42 41 41 41"), 0, 4},
        {"ThirdBlockNoConversion", {"-nk"}, threeBlocks,
         bytes("B0 A1 B0 A1 B0 A1 8E B6 41 41 41"), 0, 4},
        {"DelPassesUnchecked", {"-nb", "-e"}, bytes("61 7F 00 62"), bytes("61 7F 62")},
    };
    for (const PassCase& c : cases) expectPass(c);
}

// A first block of nothing but 0xA1..0xDF bytes gives only a provisional EUC
// verdict. The check withdraws it when the next block shows Shift-JIS; the
// conversion has already begun in EUC and stays there.
TEST(ConversionPass, ProvisionalEucVerdict) {
    std::string input;
    for (int i = 0; i < 512; ++i) input += bytes("B0 A1");
    input += bytes("82 A0 0A");

    MemoryConverter check(input);
    runOptions(check, {"-c"});
    EXPECT_EQ(check.result, 0);
    EXPECT_EQ(check.detectedCode, CodeKind::SJIS);
    EXPECT_EQ(check.outputBytes, "");

    MemoryConverter conv(input);
    runOptions(conv, {});
    EXPECT_EQ(conv.detectedCode, CodeKind::EUC);
    std::string expected;
    for (int i = 0; i < 512; ++i) expected += bytes("88 9F");
    expected += bytes("71 9E 0D 0A");  // 82 A0 taken as an EUC code
    EXPECT_EQ(hex(conv.outputBytes), hex(expected));

    // A firm verdict survives the check.
    MemoryConverter firm(bytes("FE A1") + input);
    runOptions(firm, {"-c"});
    EXPECT_EQ(firm.detectedCode, CodeKind::EUC);
}

// Output code 0: no scan, so nothing is detected or refused, escape sequences
// are consumed and pairs pass as read.
TEST(ConversionPass, NoKanjiConversion) {
    const std::vector<PassCase> cases = {
        {"JisLosesSequences", {"-nk"}, bytes("1B 24 42 30 21 1B 28 42 0A"), bytes("30 21 0D 0A")},
        {"SjisAndEucUnchanged", {"-nk"}, bytes("88 9F B0 A1"), bytes("88 9F B0 A1")},
        {"LineEndsKept", {"-nk", "-nr"}, bytes("61 0D 0A 62 0D"), bytes("61 0D 0A 62 0D")},
        {"ForcedJisInput", {"-nk", "-J"}, bytes("1B 28 49 31 0E 32"), bytes("8E B1 8E B2")},
        {"BinaryNotRefused", {"-nk"}, bytes("00 01 61"), bytes("01 61")},
    };
    for (const PassCase& c : cases) expectPass(c);

    MemoryConverter conv(bytes("82 A0 0A"));
    runOptions(conv, {"-nk"});
    EXPECT_EQ(conv.detectedCode, CodeKind::ASCII);
    EXPECT_EQ(conv.detectedReturn, ReturnKind::NONE);
    EXPECT_TRUE(conv.report == DetectReport{});
}

TEST(ConversionPass, InputConverters) {
    const std::vector<PassCase> cases = {
        {"JisKana7", {"-J", "-e"}, bytes("1B 28 49 31 20 60"), bytes("8E B1 20 60")},
        {"JisKana8", {"-J", "-e"}, bytes("B1 1B 24 42 30 21"), bytes("8E B1 B0 A1")},
        {"JisSiSo", {"-J", "-e"}, bytes("0E 31 0F 41"), bytes("8E B1 41")},
        {"JisNec", {"-J", "-e"}, bytes("1B 4B 30 21 1B 48 41"), bytes("B0 A1 41")},
        {"JisX0212", {"-J", "-e"}, bytes("1B 24 28 44 30 21 1B 24 42 30 21"),
         bytes("8F B0 A1 B0 A1")},
        {"JisX0212ToSjis", {"-J", "-s"}, bytes("1B 24 28 44 30 21"), bytes("81 AC")},
        {"SjisKanji", {"-S", "-e"}, bytes("88 9F 87 40 B1"), bytes("B0 A1 AD A1 8E B1")},
        {"SjisUserArea", {"-S", "-e"}, bytes("F0 40"), bytes("A2 AE")},
        {"SjisIbmExt", {"-S", "-e"}, bytes("FA 40"), bytes("A2 AE")},
        {"SjisIbmExtSpelled", {"-S", "-e", "-xNOWIN"}, bytes("FA 40"), bytes("69")},
        {"SjisVendorKanji", {"-S", "-e"}, bytes("ED 40"), bytes("F9 A1")},
        {"EucSs3", {"-E", "-s"}, bytes("8F B0 A1 8E B1"), bytes("81 AC B1")},
    };
    for (const PassCase& c : cases) expectPass(c);
}

TEST(ConversionPass, LineEndsAndClosing) {
    const std::vector<PassCase> cases = {
        {"MixedToLf", {"-lf"}, bytes("61 0D 0A 62 0A 63 0D"), bytes("61 0A 62 0A 63 0A")},
        {"MixedKept", {"-nr"}, bytes("61 0D 0A 62 0A 63 0D"), bytes("61 0D 0A 62 0A 63 0D")},
        {"AbcCr", {"-crlf"}, "abc\r", "abc\r\n"},
        {"EndsInKanji", {"-j"}, bytes("B0 A1"), bytes("1B 24 42 30 21 1B 28 42")},
        {"EndsWithLineEnd", {"-j"}, bytes("B0 A1 0A"), bytes("1B 24 42 30 21 1B 28 42 0D 0A")},
        {"RomajiClosedWithAscii", {"-jROMAJI"}, "a", bytes("1B 28 4A 61 1B 28 42")},
        {"PendingKanaFlushed", {"-X", "-e"}, bytes("8E B6"), bytes("A5 AB")},
    };
    for (const PassCase& c : cases) expectPass(c);

    MemoryConverter conv(bytes("61 0D 0A 62 0A 63 0D"));
    runOptions(conv, {"-lf"});
    EXPECT_EQ(conv.detectedReturn, ReturnKind::CR);
}

TEST(ConversionPass, OutPlacesMayBeNull) {
    for (int mask = 0; mask < 8; ++mask) {
        MemoryConverter conv(bytes("82 A0 0A"));
        CodeKind code = CodeKind::ASCII;
        ReturnKind ret = ReturnKind::NONE;
        DetectReport report;
        EXPECT_EQ(conv.convert(mask & 1 ? &code : nullptr, mask & 2 ? &ret : nullptr,
                               mask & 4 ? &report : nullptr),
                  0);
        EXPECT_EQ(hex(conv.outputBytes), "82 A0 0D 0A");
        EXPECT_EQ(code, mask & 1 ? CodeKind::SJIS : CodeKind::ASCII);
        EXPECT_EQ(ret, mask & 2 ? ReturnKind::LF : ReturnKind::NONE);
        EXPECT_EQ(report.sjisLead, (mask & 4) != 0);
    }
}

// A front end whose byte operations throw: the exception leaves convert, and
// the pass frees what it holds (ASan builds check that nothing leaks).
class ThrowingConverter : public MemoryConverter {
public:
    ThrowingConverter(std::string_view input, std::size_t readLimit, std::size_t writeLimit)
        : MemoryConverter(input), readLimit(readLimit), writeLimit(writeLimit) {}

    int readByte() override {
        if (position >= readLimit) throw std::runtime_error("read");
        return MemoryConverter::readByte();
    }
    void writeByte(int c) override {
        if (outputBytes.size() >= writeLimit) throw std::runtime_error("write");
        MemoryConverter::writeByte(c);
    }

    std::size_t readLimit;
    std::size_t writeLimit;
};

TEST(ConversionPass, FrontEndExceptionsPropagate) {
    const std::string input = bytes("1B 24 42 30 21 30 21 1B 28 42 0D 0A 61 62 63 0D");
    for (std::size_t limit = 0; limit <= input.size(); ++limit) {
        SCOPED_TRACE(limit);
        ThrowingConverter reader(input, limit, SIZE_MAX);
        reader.bufferSize = 4;
        EXPECT_THROW(reader.convert(nullptr, nullptr, nullptr), std::runtime_error);

        ThrowingConverter writer(input, SIZE_MAX, limit);
        writer.outputCode = CodeKind::JIS;
        writer.exchangeKana = true;
        EXPECT_THROW(writer.convert(nullptr, nullptr, nullptr), std::runtime_error);
        // The same object runs a clean pass afterwards.
        writer.position = 0;
        writer.writeLimit = SIZE_MAX;
        writer.outputBytes.clear();
        EXPECT_EQ(writer.convert(nullptr, nullptr, nullptr), 0);
        EXPECT_EQ(hex(writer.outputBytes),
                  "1B 24 42 30 21 30 21 1B 28 42 0D 0A 61 62 63 0D 0A");
    }
}

}  // namespace
}  // namespace zekt::testing
