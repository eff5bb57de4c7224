// Combining voiced and semi-voiced marks after kana, before a legacy
// output: joined into the composed character (as NFC makes it) where the
// output has it, else the substitute as before. UTF-8: か E3818B, は E381AF,
// う E38186, ウ E382A6, ゝ E3829D; U+3099 E38299, U+309A E3829A.
#include "output_checks.h"

namespace zekt::testing {
namespace {

TEST(KanaMarks, Vectors) {
    const std::vector<std::string> toEuc{"-U8", "-e"};
    expectVectors({
        {toEuc, "E3818B E38299 E381AF E3829A E382A6 E38299 E3829D E38299", "A4AC A4D1 A5F4 A1B6"},
        // No composed character in the output, none at all, nothing to join.
        {toEuc, "E38186 E38299 E3818B E3829A", "A4A6 A2AE A4AB A2AE"},
        {toEuc, "E38299 61 E38299 E3818B E38299 E38299", "A2AE 61 A2AE A4AC A2AE"},
        {toEuc, "E3818B EFB880 E38299", "A4AB A2AE"},  // as NFC: the selector blocks it
        // U+404B has the continuation bytes of か, but not its lead.
        {toEuc, "E4818B E38299", "A2AE A2AE"},
        {{"-U8", "-s"}, "E3818B E38299", "82AA"},
        {{"-U8", "-j"}, "E3818B E38299", "1B2442 242C 1B2842"},
        {{"-U8", "-e", "-xMS"}, "E3818B E38299", "A4AC"},
        {{"-U16LE", "-e"}, "4B30 9930", "A4AC"},
        {{"-U8", "-e", "-X"}, "E3818B E38299", "A4AB A2AE"},
        {{"-U8", "-u8"}, "E3818B E38299", "E3818B E38299"},
        // Long enough for the block path's runs of mixed text.
        {toEuc, "6162636465666768 E3818B E38299 E3818B 6162636465666768 E381AF E3829A 6162636465666768",
         "6162636465666768 A4AC A4AB 6162636465666768 A4D1 6162636465666768"},
    });
}

// Past the output buffer's first flushes (か U+3099, again and again).
TEST(KanaMarks, AcrossOutputBuffers) {
    std::string input, output;
    for (int i = 0; i < 100000; ++i) {
        input += "\xE3\x81\x8B\xE3\x82\x99";
        output += "\xA4\xAC";
    }
    for (const bool perByte : {false, true}) {
        MemoryConverter conv(input);
        conv.perByte = perByte;
        runOptions(conv, {"-U8", "-e"});
        EXPECT_TRUE(conv.outputBytes == output);
        EXPECT_EQ(conv.substitutes, 0);
    }
}

}  // namespace
}  // namespace zekt::testing
