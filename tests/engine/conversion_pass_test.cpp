// The conversion pass: refusal of binary input and the provisional EUC
// verdict.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "memory_converter.h"

namespace zekt::testing {
namespace {

// Three blocks of four: kanji, kanji then a kana the -X exchange holds back, and a NUL.
// What the first two blocks wrote stays, with no closing sequence and without the held kana.
TEST(ConversionPass, BinaryInput) {
    const char* three = "B0 A1 B0 A1  B0 A1 8E B6  00 41 41 41";
    const std::vector<std::tuple<std::vector<std::string>, const char*, const char*, int>> cases = {
        {{"-j"}, "B0 A1 00", "", 2},
        {{"-j", "-X"}, three, "1B 24 42 30 21 30 21 30 21", 2},
        {{"-j", "-X", "-nb"}, three, "1B 24 42 30 21 30 21 30 21 25 2B 1B 28 42 41 41 41", 0},
        {{"-nk"}, three, three, 0},  // written as read, never refused
        {{"-nb", "-e"}, "61 7F 00 62", "61 7F 62", 0},
        {{"-j", "-X"}, "", "", 0},  // nothing held, nothing to close
    };
    for (const auto& [options, input, output, result] : cases) {
        SCOPED_TRACE(input);
        MemoryConverter conv(bytes(input));
        conv.detectionBlockSize = 4;
        runOptions(conv, options);
        EXPECT_EQ(conv.result, result);
        EXPECT_EQ(hex(conv.outputBytes), hex(bytes(output)));
    }
}

// A first block of nothing but 0xA1..0xDF bytes gives only a provisional EUC verdict.
// The check withdraws it when the next block shows Shift-JIS; the conversion has
// already begun in EUC and stays there.
TEST(ConversionPass, ProvisionalEucVerdict) {
    const std::string input = bytes("B0 A1 B0 A1  82 A0 0A");
    MemoryConverter check(input), conv(input), firm(bytes("FE A1 B0 A1") + input);
    for (MemoryConverter* c : {&check, &conv, &firm}) c->detectionBlockSize = 4;
    runOptions(check, {"-c"});
    runOptions(conv, {});
    runOptions(firm, {"-c"});
    EXPECT_EQ(check.result, 0);
    EXPECT_EQ(check.detectedCode, CodeKind::SJIS);
    EXPECT_EQ(conv.detectedCode, CodeKind::EUC);
    EXPECT_EQ(hex(conv.outputBytes), "88 9F 88 9F 71 9E 0D 0A");  // 82 A0 taken as an EUC code
    EXPECT_EQ(firm.detectedCode, CodeKind::EUC);                  // a firm verdict survives the check
}

}  // namespace
}  // namespace zekt::testing
