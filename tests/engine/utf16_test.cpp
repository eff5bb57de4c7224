// UTF-16 through the whole engine: every code point both ways against
// glibc, the byte order mark, surrogates and odd bytes, line ends and the
// binary check on code units. 〓 is E3 80 93 in UTF-8, 13 30 in UTF-16LE.
#include "output_checks.h"

namespace zekt::testing {
namespace {

// Every code point from U+0020 but the controls and surrogates, and a
// sample beyond the Basic Multilingual Plane, as UTF-8.
std::string everyCodePoint() {
    const Iconv fromUtf32("UTF-8", "UTF-32LE");
    std::string utf32;
    for (char32_t cp = 0x20; cp <= 0x10FFFF; cp += cp < 0x10000 ? 1 : 0x3FF) {
        if (cp == 0x7F || (cp >= 0xD800 && cp <= 0xDFFF)) continue;
        for (int shift = 0; shift < 32; shift += 8) utf32 += static_cast<char>(cp >> shift);
    }
    return fromUtf32(utf32).value_or("");
}

TEST(Utf16, EveryCodePointBothWaysAsGlibc) {
    const std::string utf8 = everyCodePoint();
    ASSERT_GT(utf8.size(), 180000u);  // or the oracle is broken
    const auto le = iconvText("UTF-16LE", "UTF-8", utf8), be = iconvText("UTF-16BE", "UTF-8", utf8);
    ASSERT_TRUE(le && be);
    // Compared whole, not printed: the texts run to hundreds of kilobytes.
    EXPECT_TRUE(convertWith({"-U16LE", "-u8"}, *le) == utf8);
    EXPECT_TRUE(convertWith({"-U16BE", "-u8"}, *be) == utf8);
    EXPECT_TRUE(convertWith({"-u8"}, "\xFF\xFE" + *le) == utf8);  // told by the mark
    EXPECT_TRUE(convertWith({"-U16", "-u8"}, "\xFE\xFF" + *be) == utf8);
    EXPECT_TRUE(convertWith({"-U8", "-u16le"}, utf8) == *le);
    EXPECT_TRUE(convertWith({"-U8", "-u16be"}, utf8) == *be);
    EXPECT_TRUE(convertWith({"-U8", "-u16"}, utf8) == "\xFF\xFE" + *le);
    EXPECT_TRUE(convertWith({"-U16LE", "-u16be"}, *le) == *be);
}

TEST(Utf16, Vectors) {
    expectVectors({
        // The mark decides and is dropped; without it only a forced code reads UTF-16.
        {{"-u8"}, "FF FE 42 30 41 00", "E38182 41"},
        {{"-u8"}, "FE FF 30 42 00 41", "E38182 41"},
        {{"-U16", "-u8"}, "42 30", "E38182"},
        {{"-U16", "-u8"}, "FE FF 30 42", "E38182"},
        {{"-U16LE", "-u8"}, "FF FE 42 30 FF FE", "E38182 EFBBBF"},
        {{"-U16BE", "-u8"}, "FF FE 30 42", "EFBFBE E38182"},
        // Surrogate pairs, unpaired surrogates and an odd byte at the end.
        {{"-U16LE", "-u8"}, "3D D8 00 DE", "F09F9880"},
        {{"-U16LE", "-u8"}, "3D D8 41 00 00 DE 3D D8", "E38093 41 E38093 E38093"},
        {{"-U16BE", "-u8"}, "D8 3D DE 00 00", "F09F9880 E38093"},
        // Line ends and NUL (without the binary check) as code units, also split
        // between blocks.
        {{"-U16LE", "-u8", "-lf"}, "0D 00 0A 00 0D 00 41 00 0A 00", "0A 0A 41 0A"},
        {{"-U16LE", "-u8", "-nr", "-nb"}, "0D 00 0A 00 0D 00 41 00 00 00 00 01", "0D0A 0D 41 C480"},
        {{"-U8", "-u16be", "-crlf"}, "41 0A", "0041 000D 000A"},
        // To and from the legacy codes, code page 932 included.
        {{"-U16LE", "-s"}, "42 30 5E FF D9 9A 3D D8 00 DE", "82A0 8160 FBFC 81AC"},
        {{"-S", "-u16"}, "82 A0 FB FC F0 40", "FFFE 4230 D99A 00E0"},
        {{"-E", "-u16be", "-X"}, "8E B6 8E DE", "30AC"},
        // Nothing written, nothing marked.
        {{"-E", "-u16"}, "", ""},
    });
}

// Check mode: the order the mark (or the option) gives and the mark
// reported; code units mark binary input as bytes do.
TEST(Utf16, CheckNamesTheOrderTheMarkAndBinaryUnits) {
    using enum CodeKind;
    const std::tuple<std::vector<std::string>, const char*, CodeKind, bool> cases[] = {
        {{"-c"}, "FF FE 41 00", UTF16LE, true},
        {{"-c"}, "FE FF 00 41 00 0A", UTF16BE, true},
        {{"-c", "-nb"}, "41 00", ASCII, false},  // no mark, no UTF-16
        {{"-c", "-U16"}, "41 00", UTF16LE, false},
        {{"-c", "-U16BE"}, "FE FF 00 41", UTF16BE, true},
        {{"-c", "-U16", "-nk"}, "FE FF 00 41", UTF16BE, true},  // -nk then a mark
        {{"-c"}, "FF FE 41 00 01 00", NOT_TEXT, false},
        {{"-c"}, "FF FE 41 00 7F 00", NOT_TEXT, false},
        {{"-c"}, "FF FE 41 00 00 01 01 41", UTF16LE, true},  // U+0100, U+4101: text
        {{"-c"}, "FE FF 00 41 00 0C", UTF16BE, true},        // a form feed is text
    };
    for (const auto& [options, input, code, bom] : cases) {
        SCOPED_TRACE(input);
        MemoryConverter conv(bytes(input));
        runOptions(conv, options);
        EXPECT_EQ(conv.result, code == NOT_TEXT ? 2 : 0);
        if (code == NOT_TEXT) continue;
        EXPECT_EQ(conv.detectedCode, code);
        EXPECT_EQ(conv.report.has(detect::BOM), bom);
    }
}

}  // namespace
}  // namespace zekt::testing
