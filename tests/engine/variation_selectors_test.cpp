// Variation selectors before a legacy output: left out after a character
// the output carries, else the substitute as before; Unicode keeps them.
// UTF-8: 葛 E8919B, 😀 F09F9880, 丂 E4B882 (JIS X 0212 only), ① E291A0,
// ♪ E299AA; U+FE00 EFB880, U+FE0F EFB88F, U+E0100 F3A08480.
#include "output_checks.h"

namespace zekt::testing {
namespace {

const std::vector<std::string> toEuc{"-U8", "-e", "-lf"};

TEST(VariationSelectors, Vectors) {
    expectVectors({
        {toEuc, "E8919B F3A08480 E8919B EFB880 EFB881", "B3EB B3EB"},
        // After a substitute, at the start, after ASCII, a line end, bad bytes.
        {toEuc, "F09F9880 EFB88F 61 EFB88F 0A EFB88F", "A2AE A2AE 61 0A"},
        {toEuc, "EFB88F 61 FF EFB88F", "A2AE 61 A2AE A2AE"},
        // The ends of both ranges, and their neighbours outside.
        {toEuc, "61 EFB7BF 61 EFB890 61 F3A083BF 61 F3A087B0 61 F3A087AF 61 EFB88F",
         "61 A2AE 61 A2AE 61 A2AE 61 A2AE 61 61"},
        {{"-U8", "-s"},
         "E291A0 EFB88E E7BA8A EFB880 E4B882 EFB880 E299AA EFB88F",
         "8740 FA5C 81AC 81AC 81F4"},
        {{"-U8", "-j"}, "E4B882 EFB880 E8919B EFB88F", "1B242844 3021 1B2442 336B 1B2842"},
        {{"-U8", "-jNEC"}, "E4B882 EFB880", "1B4B 222E 222E 1B2842"},
        {{"-U8", "-e", "-X"}, "F09F9880 EFB88F E8919B EFB88F", "A2AE A2AE B3EB"},
        {{"-U16LE", "-e"}, "5B84 40DB 00DD 3DD8 00DE 0FFE", "B3EB A2AE A2AE"},
        {{"-U8", "-u8"}, "E8919B F3A08480 F09F9880 EFB88F", "E8919B F3A08480 F09F9880 EFB88F"},
        // Long enough for the block path's runs of mixed text.
        {toEuc, "6162636465666768 E8919B EFB880 6162636465666768 F09F9880 EFB88F 6162636465666768696A",
         "6162636465666768 B3EB 6162636465666768 A2AE A2AE 6162636465666768696A"},
    });
}

TEST(VariationSelectors, Counted) {
    struct Case {
        std::vector<std::string> options;
        const char* input;
        std::int64_t selectors, substitutes;
    };
    for (const auto& [options, input, selectors, substitutes] : std::vector<Case>{
             {toEuc, "E8919B F3A08480 61 EFB88F EFB88E", 3, 0},
             {toEuc, "F09F9880 EFB88F", 0, 2},
             {{"-U8", "-u8"}, "E8919B F3A08480", 0, 0},
         }) {
        for (const bool perByte : {false, true}) {
            MemoryConverter conv(bytes(input));
            conv.perByte = perByte;
            runOptions(conv, options);
            EXPECT_EQ(conv.selectorsLeftOut, selectors) << input;
            EXPECT_EQ(conv.substitutes, substitutes) << input;
        }
    }
}

// Past the output buffer's first flushes (葛 U+FE00, again and again).
TEST(VariationSelectors, AcrossOutputBuffers) {
    std::string input, output;
    for (int i = 0; i < 100000; ++i) {
        input += "\xE8\x91\x9B\xEF\xB8\x80";
        output += "\xB3\xEB";
    }
    for (const bool perByte : {false, true}) {
        MemoryConverter conv(input);
        conv.perByte = perByte;
        runOptions(conv, toEuc);
        EXPECT_TRUE(conv.outputBytes == output);
        EXPECT_EQ(conv.selectorsLeftOut, 100000);
    }
}

}  // namespace
}  // namespace zekt::testing
