// The JIS X 0213 codes against glibc's iconv, called at test time: every
// code it reads and every code point it writes, through the whole engine,
// each on a line of its own; then the rules of their own (combining pairs,
// composition, the escapes of JIS input, the way to the JIS X 0208 codes).
// UTF-8: か E3818B, U+309A E3829A, U+3099 E38299, 𠮟 F0A0AE9F, e 65,
// U+0301 CC81.
#include <algorithm>

#include "output_checks.h"

namespace zekt::testing {
namespace {

struct Lines {
    std::string input, expected;
    int refused = 0;  // codes or code points that glibc has nothing for
};

// Each item on a line of its own, and glibc's conversion of it; items glibc
// refuses are left out and counted.
template <typename Items>
Lines glibcLines(const Iconv& glibc, const Items& items) {
    Lines lines;
    for (const std::string& item : items) {
        const auto converted = glibc(item);
        if (!converted) {
            ++lines.refused;
            continue;
        }
        lines.input += item + "\n";
        lines.expected += *converted + "\n";
    }
    return lines;
}

// The first line where two texts differ, for a readable failure.
std::string firstDifference(const std::string& a, const std::string& b, const std::string& input) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (a[i] != b[i]) {
            const std::size_t inputLine = std::count(a.begin(), a.begin() + static_cast<long>(start), '\n');
            std::size_t at = 0;
            for (std::size_t k = 0; k < inputLine; ++k) at = input.find('\n', at) + 1;
            return "line " + std::to_string(inputLine + 1) + ": input " +
                   hex(input.substr(at, input.find('\n', at) - at)) + ", got " +
                   hex(a.substr(start, a.find('\n', start) - start)) + ", glibc " +
                   hex(b.substr(start, b.find('\n', start) - start));
        }
        if (a[i] == '\n') start = i + 1;
    }
    return a.size() == b.size() ? "" : "lengths differ";
}

std::vector<std::string> eucCodes() {
    std::vector<std::string> codes;
    for (int lead = 0xA1; lead <= 0xFE; ++lead)
        for (int trail = 0xA1; trail <= 0xFE; ++trail) {
            codes.push_back(bytesOf(lead << 8 | trail));
            codes.push_back(bytesOf(0x8F0000 | lead << 8 | trail));
        }
    for (int kana = 0xA1; kana <= 0xDF; ++kana) codes.push_back(bytesOf(0x8E00 | kana));
    return codes;
}

std::vector<std::string> sjisCodes() {
    std::vector<std::string> codes;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead >= 0xA0 && lead <= 0xDF) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            if (trail != 0x7F) codes.push_back(bytesOf(lead << 8 | trail));
    }
    for (int byte = 0x20; byte <= 0xDF; ++byte)
        if (byte < 0x7F || byte > 0xA0) codes.push_back(std::string(1, static_cast<char>(byte)));
    return codes;
}

std::string utf8Of(char32_t u) {
    const std::string utf32 = {static_cast<char>(u >> 24), static_cast<char>((u >> 16) & 0xFF),
                               static_cast<char>((u >> 8) & 0xFF), static_cast<char>(u & 0xFF)};
    return iconvText("UTF-8", "UTF-32BE", utf32).value_or("");
}

// Every code point from U+0080 below U+30000 but surrogates and variation
// selectors (left out before a legacy output), and the pairs of a base
// and a combining mark that glibc writes as one code.
std::vector<std::string> codePoints() {
    std::vector<std::string> points;
    for (char32_t u = 0x80; u < 0x30000; ++u)
        if ((u < 0xD800 || u > 0xDFFF) && (u < 0xFE00 || u > 0xFE0F)) points.push_back(utf8Of(u));
    for (const char* pair : {"\u304B\u309A", "\u31F7\u309A", "\u00E6\u0300", "\u0254\u0301", "\u02E9\u02E5",
                             "\u02E5\u02E9", "\u30C8\u309A", "\u025A\u0300"})
        points.emplace_back(pair);
    return points;
}

// The engine over lines, ample room and one pass: what it wrote and how
// many substitutes.
MemoryConverter converted(const std::vector<std::string>& options, const std::string& input) {
    MemoryConverter conv(input);
    runOptions(conv, options);
    return conv;
}

TEST(JisX0213, EveryCodeGlibcReads) {
    struct Case {
        const char* glibc;
        std::vector<std::string> options;
        std::vector<std::string> codes;
    };
    for (const auto& [name, options, codes] : std::vector<Case>{
             {"EUC-JISX0213", {"-E2004", "-u8", "-lf"}, eucCodes()},
             {"SHIFT_JISX0213", {"-S2004", "-u8", "-lf"}, sjisCodes()},
         }) {
        SCOPED_TRACE(name);
        const Lines lines = glibcLines(Iconv("UTF-8", name), codes);
        ASSERT_GT(lines.input.size(), 11000u);
        const MemoryConverter conv = converted(options, lines.input);
        EXPECT_EQ(firstDifference(conv.outputBytes, lines.expected, lines.input), "");
        EXPECT_EQ(conv.substitutes, 0);
    }
}

TEST(JisX0213, EveryCodePointGlibcWrites) {
    const std::vector<std::string> points = codePoints();
    struct Case {
        const char* glibc;
        std::vector<std::string> options;
    };
    for (const auto& [name, options] : std::vector<Case>{
             {"EUC-JISX0213", {"-U8", "-e2004", "-lf"}},
             {"SHIFT_JISX0213", {"-U8", "-s2004", "-lf"}},
         }) {
        SCOPED_TRACE(name);
        const Lines lines = glibcLines(Iconv(name, "UTF-8"), points);
        ASSERT_GT(lines.input.size(), 11000u * 3);
        const MemoryConverter conv = converted(options, lines.input);
        EXPECT_EQ(firstDifference(conv.outputBytes, lines.expected, lines.input), "");
        EXPECT_EQ(conv.substitutes, 0);
        // What glibc refuses is the substitute, one for each, but U+2015:
        // JIS X 0208's 1-1-29, which JIS X 0213 reads as U+2014.
        std::string refused;
        for (const std::string& point : points)
            if (!Iconv(name, "UTF-8")(point) && point != "\u2015") refused += point;
        EXPECT_EQ(converted(options, refused).substitutes, lines.refused - 1);
    }
}

// -j2004 as glibc's ISO-2022-JP-3 reads it back, and glibc's ISO-2022-JP-3
// (ESC $ ( O, P and Q) read as JIS input, detected or forced.
TEST(JisX0213, Iso2022Jp2004BothWays) {
    const Lines lines = glibcLines(Iconv("ISO-2022-JP-3", "UTF-8"), codePoints());
    const std::string input = lines.input + "abc\n\uFF71\n";
    const MemoryConverter conv = converted({"-U8", "-j2004", "-lf"}, input);
    EXPECT_EQ(conv.substitutes, 0);
    const auto back = iconvText("UTF-8", "ISO-2022-JP-3", conv.outputBytes);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(firstDifference(*back, input, input), "");

    // Read back as JIS, bar the yen sign and the overline: glibc writes them
    // as JIS X 0201 Roman, which JIS input reads as ASCII.
    std::string jisLines;
    for (std::size_t at = 0; at < lines.input.size(); at = lines.input.find('\n', at) + 1) {
        const std::string line = lines.input.substr(at, lines.input.find('\n', at) + 1 - at);
        if (line != "\u00A5\n" && line != "\u203E\n") jisLines += line;
    }
    const std::string glibcJis = *iconvText("ISO-2022-JP-3", "UTF-8", jisLines);
    for (const auto& options : std::vector<std::vector<std::string>>{{"-u8", "-lf"}, {"-J", "-u8", "-lf"}}) {
        const MemoryConverter read = converted(options, glibcJis);
        EXPECT_EQ(firstDifference(read.outputBytes, jisLines, jisLines), "");
        EXPECT_EQ(read.substitutes, 0);
    }
}

TEST(JisX0213, Vectors) {
    expectVectors({
        // A base and a mark that one code stands for, either way.
        {{"-U8", "-e2004"}, "E3818B E3829A", "A4F7"},
        {{"-U8", "-s2004"}, "E3818B E3829A", "82F5"},
        {{"-E2004", "-u8"}, "A4F7 A6F8", "E3818B E3829A E387B7 E3829A"},
        {{"-S2004", "-e2004"}, "82F5", "A4F7"},
        // Composition: e + U+0301 is é; two marks, where the first composes.
        {{"-U8", "-e2004"}, "65 CC81", "A9DF"},
        {{"-U8", "-e2004"}, "65 CC81 CC81", "A9DF ABDA"},
        {{"-U8", "-e2004"}, "75 CC88 CC81", "A8FA"},
        {{"-U8", "-e2004"}, "E3818B E38299", "A4AC"},
        {{"-U8", "-e2004"}, "78 CC81", "78 ABDA"},
        // A mark after a line end, or after a character the output lacks.
        {{"-U8", "-e2004", "-lf"}, "0A CC81", "0A ABDA"},
        {{"-U8", "-e2004"}, "F09F9880 CC81", "A2AE ABDA"},
        // The kana exchange holds each character back: nothing is joined.
        {{"-U8", "-e2004", "-X"}, "E38182 E3818B E3829A", "A4A2 A4AB A2AE"},
        // Variation selectors: left out after a character the output has.
        {{"-U8", "-e2004"}, "F09F9880 EFB88F E8919B F3A08480", "A2AE A2AE B3EB"},
        // The JIS set in force before the base is in force again.
        {{"-U8", "-j2004"}, "E38182 E3818B E3829A", "1B2442 2422 1B242851 2477 1B2842"},
        {{"-U8", "-j2004"}, "65 CC81", "1B242851 295F 1B2842"},
        {{"-U8", "-j2004"}, "F0A0AE9F 61", "1B242851 4F54 1B2842 61"},
        {{"-U8", "-j2004"}, "F0A08289", "1B242850 2121 1B2842"},
        // A JIS output word keeps JIS output in its JIS X 0213 form only if it was.
        {{"-U8", "-j2004", "-jKANA8"}, "F0A0AE9F", "1B242851 4F54 1B2842"},
        {{"-U8", "-s2004", "-jKANA8"}, "F0A0AE9F", "1B2442 222E 1B2842"},
        // Shift_JIS-2004's yen sign and overline: as glibc to Unicode, as
        // the same bytes to a legacy output.
        {{"-S2004", "-u8"}, "5C 7E", "C2A5 E280BE"},
        {{"-S2004", "-e2004"}, "5C 7E", "5C 7E"},
        {{"-U8", "-s2004"}, "C2A5 E280BE 5C 7E", "5C 7E 5C 7E"},
        // U+2015 as JIS X 0208's 1-1-29.
        {{"-U8", "-e2004"}, "E28095 E28094", "A1BD A1BD"},
        {{"-U8", "-s2004"}, "E28095", "815C"},
        {{"-U8", "-j2004"}, "E28095 E28094", "1B2442 213D 1B242851 213D 1B2842"},
        // Half-width katakana, line ends and ASCII as in the other codes.
        {{"-E2004", "-s2004", "-crlf"}, "8EB1 0A 41", "B1 0D0A 41"},
        {{"-S2004", "-j2004"}, "B1", "1B2849 31 1B2842"},
        // To the JIS X 0208 codes: what they have is kept, else substitutes.
        {{"-S2004", "-e"}, "82A0 9873 82F5", "A4A2 A2AE A4AB A2AE"},
        {{"-E2004", "-s"}, "B0A1 CFD4", "889F 81AC"},
        // Undefined codes are substitutes; a lone lead stays one.
        {{"-E2004", "-u8"}, "8FA2A1", "E38093"},
        {{"-S2004", "-u8"}, "81", "E38093"},
        // JIS input: the escapes of JIS X 0213 in detected JIS, in every mode.
        {{"-u8"}, "1B242851 2477 1B2842 61", "E3818B E3829A 61"},
        {{"-u8"}, "1B24284F 4F54 1B242850 2121 1B2842", "F0A0AE9F F0A08289"},
        {{"-e"}, "1B242851 3021 2477 1B2842", "B0A1 A4AB A2AE"},
        {{"-nk", "-lf"}, "1B242850 2121 0D0A 2121", "1B242850 2121 0A 2121"},
    });
}

TEST(JisX0213, CheckWord) {
    MemoryConverter conv(bytes("1B242851 2477 1B2842 0A"));
    conv.checkOnly = true;
    conv.convert();
    EXPECT_TRUE(conv.report.has(detect::JISX0213_SEQ));
    MemoryConverter other(bytes("1B242844 2477 1B2842 0A"));
    other.checkOnly = true;
    other.convert();
    EXPECT_FALSE(other.report.has(detect::JISX0213_SEQ));
}

// The character a mark joins is written again where it lay, also where the
// output buffer was handed on just before it.
TEST(JisX0213, MarksAcrossOutputBuffers) {
    std::string input, expected;
    for (int i = 0; i < 50000; ++i) {
        input += i % 3 == 0 ? "\xE3\x81\x8B\xE3\x82\x9A" : i % 3 == 1 ? "e\xCC\x81" : "a";
        expected += i % 3 == 0 ? "\xA4\xF7" : i % 3 == 1 ? "\xA9\xDF" : "a";
    }
    const MemoryConverter conv = converted({"-U8", "-e2004"}, input);
    EXPECT_TRUE(conv.outputBytes == expected);
    EXPECT_EQ(conv.substitutes, 0);
}

}  // namespace
}  // namespace zekt::testing

namespace zekt::testing {
namespace {

// The block path of the JIS X 0213 codes against the plain way: the same
// bytes, flags, line end and counts at every block size here, over text
// that mixes what the loops take with what they leave.
TEST(JisX0213, BlockPathAsPlain) {
    const char* const pieces[] = {"abc ",
                                  "\u3042\u4E9C",
                                  "\u304B\u309A",
                                  "e\u0301",
                                  "\U00020B9F",
                                  "\u00A5\\~",
                                  "\n",
                                  "\r\n",
                                  "\uFF71",
                                  "\u2015",
                                  "\u845B\U000E0100",
                                  "\U0001F600",
                                  "\t",
                                  "x\u0301\u0301",
                                  "\u02E9\u02E5",
                                  "\u00E6\u0300",
                                  "\u30BB\u309A",
                                  "\xFF",
                                  "\x1B$B0!!!\x1B(B",
                                  "\u9ED1\u2460"};
    // The same pieces in each code, as far as glibc writes them.
    std::string utf8, euc, sjis;
    const Iconv toEuc("EUC-JISX0213", "UTF-8"), toSjis("SHIFT_JISX0213", "UTF-8");
    for (int i = 0; i < 400; ++i) {
        const std::string piece = pieces[(i * 7 + i / 17) % std::size(pieces)];
        utf8 += piece;
        euc += toEuc(piece).value_or(piece);
        sjis += toSjis(piece).value_or(piece);
    }
    // Text without control bytes, which the pass reads and scans in one go:
    // then the report is the block path's own.
    std::string quietUtf8;
    for (int i = 0; i < 300; ++i) quietUtf8 += "\u3042\u4E9C\u9ED1\u2460abc\n";
    const std::string quietEuc = *toEuc(quietUtf8), quietSjis = *toSjis(quietUtf8);
    struct Case {
        std::vector<std::string> options;
        std::string input;
    };
    for (const auto& [options, input] : std::vector<Case>{
             {{"-U8", "-e2004"}, utf8},
             {{"-U8", "-s2004", "-lf"}, utf8},
             {{"-U8", "-j2004"}, utf8},
             {{"-U8", "-j2004", "-jSISO", "-jROMAJI"}, utf8},
             {{"-U8", "-s2004", "-X"}, utf8},
             {{"-E2004", "-u8"}, euc},
             {{"-E2004", "-u16be", "-cr"}, euc},
             {{"-E2004", "-u8bom"}, euc},
             {{"-S2004", "-u16le"}, sjis},
             {{"-E2004", "-u8"}, quietEuc},
             {{"-S2004", "-u8"}, quietSjis},
             {{"-S2004", "-u8", "-Z"}, sjis},
         }) {
        MemoryConverter plain(input);
        plain.perByte = true;
        runOptions(plain, options);
        for (const int size : {1, 2, 3, 5, 64, 1000, 1024}) {
            MemoryConverter block(input);
            block.detectionBlockSize = size;
            runOptions(block, options);
            SCOPED_TRACE(::testing::PrintToString(options) + " blocks of " + std::to_string(size));
            EXPECT_EQ(hex(block.outputBytes), hex(plain.outputBytes));
            EXPECT_EQ(block.report, plain.report);
            EXPECT_EQ(block.detectedReturn, plain.detectedReturn);
            EXPECT_EQ(block.substitutes, plain.substitutes);
            EXPECT_EQ(block.selectorsLeftOut, plain.selectorsLeftOut);
        }
    }
}

}  // namespace
}  // namespace zekt::testing
