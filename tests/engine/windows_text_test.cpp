// Windows text (code page 932) through the whole engine, against glibc's
// CP932: every code read, every character written, nothing lost between
// Shift-JIS and UTF-8 or from UTF-8 to itself, and every substitute counted.
// 〓 is 81 AC in Shift-JIS, A2 AE in EUC, E3 80 93 in UTF-8.
#include <map>

#include "output_checks.h"

namespace zekt::testing {
namespace {

// Every two-byte code that glibc's CP932 reads, as one text.
std::string everyCp932Code() {
    const Iconv toUtf8("UTF-8", "CP932");
    std::string text;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead >= 0xA0 && lead <= 0xDF) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            if (trail != 0x7F && toUtf8(bytesOf(lead << 8 | trail))) text += bytesOf(lead << 8 | trail);
    }
    return text;
}

std::string utf8Of(char32_t cp) {
    std::string out;
    if (cp < 0x80) return {static_cast<char>(cp)};
    if (cp < 0x800) return {static_cast<char>(0xC0 | cp >> 6), static_cast<char>(0x80 | (cp & 0x3F))};
    if (cp < 0x10000)
        out += static_cast<char>(0xE0 | cp >> 12);
    else
        out += {static_cast<char>(0xF0 | cp >> 18), static_cast<char>(0x80 | ((cp >> 12) & 0x3F))};
    return out + static_cast<char>(0x80 | ((cp >> 6) & 0x3F)) + static_cast<char>(0x80 | (cp & 0x3F));
}

TEST(WindowsText, EveryCodeReadAsWindowsReadsIt) {
    const std::string codes = everyCp932Code();
    ASSERT_EQ(codes.size(), 2u * 9604);  // 7724 characters and 1880 user-defined: or the oracle is broken
    const auto utf8 = iconvText("UTF-8", "CP932", codes);
    ASSERT_TRUE(utf8);
    // Compared whole, not printed: the texts run to tens of kilobytes.
    EXPECT_TRUE(convertWith({"-S", "-u8", "-xMS"}, codes) == *utf8);
    EXPECT_TRUE(convertWith({"-u8", "-xMS"}, codes) == *utf8);  // detected
    EXPECT_TRUE(convertWith({"-S", "-s"}, codes) == codes);
    const std::string ibmKanji = codes.substr(codes.find("\xFA\x5C"));
    EXPECT_TRUE(convertWith({"-S", "-s", "-xNOWIN"}, ibmKanji) == ibmKanji);
}

TEST(WindowsText, EveryCharacterWrittenAsWindowsWritesIt) {
    const Iconv toCp932("CP932", "UTF-8");
    std::string utf8, cp932;
    for (char32_t cp = 0x80; cp <= 0xFFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        if (const auto code = toCp932(utf8Of(cp))) {
            utf8 += utf8Of(cp);
            cp932 += *code;
        }
    }
    ASSERT_GT(cp932.size(), 9000u);
    EXPECT_TRUE(convertWith({"-U8", "-s"}, utf8) == cp932);
    EXPECT_TRUE(convertWith({"-U8", "-s", "-xMS"}, utf8) == cp932);
}

// Microsoft's EUC writes each IBM code as the cell of the same character
// elsewhere in code page 932, which glibc reads back as that character.
TEST(WindowsText, IbmExtensionInEucIsTheCellOfItsCharacter) {
    const Iconv toUtf8("UTF-8", "CP932");
    std::map<std::string, int> rows;  // where the cells lie
    for (int code = 0xFA40; code <= 0xFC4B; ++code) {
        const std::string sjis = bytesOf(code);
        const auto character = toUtf8(sjis);
        if (!character) continue;
        const std::string euc = convertWith({"-S", "-e"}, sjis);
        ASSERT_EQ(euc.size(), 2u) << hex(sjis);
        EXPECT_EQ(toUtf8(convertWith({"-E", "-s"}, euc)), character) << hex(sjis);
        const int lead = static_cast<unsigned char>(euc[0]);
        ++rows[lead >= 0xF9 ? "NEC-selected" : lead == 0xAD ? "NEC row 13" : "JIS X 0208"];
    }
    EXPECT_EQ(rows,
              (std::map<std::string, int>{{"JIS X 0208", 2}, {"NEC row 13", 13}, {"NEC-selected", 373}}));
}

TEST(WindowsText, Utf8ToUtf8KeepsEveryCharacter) {
    std::string text = "x";  // a mark only at the very start is dropped
    for (char32_t cp = 0x80; cp <= 0x10FFFF; cp += cp < 0x10000 ? 1 : 0x1FF) {
        if (cp < 0xD800 || cp > 0xDFFF) text += utf8Of(cp);
    }
    text += utf8Of(0x1F600) + utf8Of(0x10FFFF);
    for (const auto& options : std::vector<std::vector<std::string>>{{"-U8", "-u8"}, {"-U8", "-u8", "-xMS"}})
        EXPECT_TRUE(convertWith(options, text) == text) << ::testing::PrintToString(options);
}

TEST(WindowsText, Vectors) {
    expectVectors({
        // 髙橋 山﨑, from Windows, to every output.
        {{"-S", "-u8"}, "FB FC 8B B4 20 8E 52 FA B1", "E9AB99 E6A98B 20 E5B1B1 EFA891"},
        {{"-S", "-s"}, "FB FC F0 40 F9 FC FA 40", "FBFC F040 F9FC FA40"},
        {{"-S", "-j"}, "FB FC 8B B4", "1B2442 7C62 3636 1B2842"},
        // IBM codes to their cells, user-defined and unassigned codes to 〓.
        {{"-S", "-e"}, "FB FC FA 54 FA 5B FA 58 FA 4A F0 40 FC FC", "FCE2 A2CC A2E8 ADEA ADB5 A2AE A2AE"},
        {{"-S", "-u8"}, "F0 40 F9 FC FC FC", "EE8080 EE9D97 E38093"},
        // -xNOWIN spells what it has a spelling for; the rest passes.
        {{"-S", "-u8", "-xNOWIN"}, "FA 40 FA 54 FA 5C", "69 EFBFA2 E7BA8A"},
        {{"-S", "-e", "-xNOWIN"}, "FA 54 FA 5C", "A2CC F9A1"},
        // From UTF-8: code page 932's codes first (～ № 纊 髙 and private
        // use), then the JIS cells (〜 ‖), else 〓 (😀 ¦); -xMS alike.
        {{"-U8", "-s"},
         "EFBD9E E28496 E7BA8A E9AB99 EE8080 E3809C E28096 F09F9880 C2A6",
         "8160 8782 FA5C FBFC F040 8160 8161 81AC 81AC"},
        {{"-U8", "-s", "-xMS"}, "EFBD9E E7BA8A EFBFA4 E3809C", "8160 FA5C FA55 8160"},
        // JIS X 0212 from EUC, which Shift-JIS lacks: code page 932's code.
        {{"-E", "-s"}, "8FA2B7 8FD4E3 8FB0A1", "8160 FA5C 81AC"},
        // Under -xMS ¦ is U+FFE4, which code page 932 has, from EUC and JIS.
        {{"-E", "-s"}, "8FA2C3", "81AC"},
        {{"-E", "-s", "-xMS"}, "8FA2C3 8FA2B7", "FA55 8160"},
        {{"-J", "-s", "-xMS"}, "1B242844 2243 1B2842", "FA55"},
        // UTF-8 kept as read, bar the exchanges asked for.
        {{"-U8", "-u8"},
         "F09F9880 E28094 E288A5 EFBFA2 C2A5 EFBB BF C285",
         "F09F9880 E28094 E288A5 EFBFA2 C2A5 EFBBBF C285"},
        {{"-U8", "-u8", "-Z", "-X", "-xNOWIN"},
         "EFBCA1 EFBC8D EFBDB6 EFBE9E E291A0 E288A5 F09F9880",
         "41 2D E382AC 283129 E288A5 F09F9880"},
    });
}

// Every JIS X 0212 cell (EUC form) and what Shift-JIS output must hold for
// it: glibc's code for the cell read as glibcName, or 〓 where glibc has
// none. EUC-JP-MS also reads rows 83-94, which EUC-JP leaves empty, as the
// IBM extension and the user-defined area; zekt reads them as EUC-JP does
// (as nothing, on every route), so they are 〓 here too.
struct X0212Cells {
    std::vector<std::string> cells, expected;
    int substitutes = 0, microsoftRows = 0;
};
X0212Cells x0212CellsAsGlibcWrites(const char* glibcName) {
    const Iconv toCp932("CP932", glibcName), eucJp("UTF-8", "EUC-JP");
    X0212Cells t;
    for (int pair = 0xA1A1; pair <= 0xFEFE; ++pair) {
        if ((pair & 0xFF) < 0xA1 || (pair & 0xFF) == 0xFF) continue;
        const std::string cell = "\x8F" + bytesOf(pair);
        std::optional<std::string> code = toCp932(cell);
        if (code && !eucJp(cell)) {
            ++t.microsoftRows;
            code.reset();
        }
        t.cells.push_back(cell);
        t.expected.push_back(code.value_or("\x81\xAC"));
        t.substitutes += !code;
    }
    return t;
}

// The cells as one text, EUC or JIS (in JIS X 0212's set), through zekt:
// the output and the count of 〓.
std::pair<std::string, std::int64_t> x0212Run(const std::vector<std::string>& cells, bool jis,
                                              const std::vector<std::string>& options, bool perByte) {
    std::string text = jis ? "\x1B$(D" : "";
    for (const std::string& cell : cells) text += jis ? bytesOf(codeOf(cell) & 0x7F7F) : cell;
    if (jis) text += "\x1B(B";
    MemoryConverter conv(text);
    conv.perByte = perByte;
    std::vector<std::string> all{jis ? "-J" : "-E"};
    all.insert(all.end(), options.begin(), options.end());
    runOptions(conv, all);
    return {conv.outputBytes, conv.substitutes};
}

// Without -xMS glibc's EUC-JP, with it EUC-JP-MS (¦ 0x2243 is then U+FFE4,
// FA 55), each then to CP932: from EUC and from JIS, on the block path and
// per byte, every 〓 counted.
TEST(WindowsText, EveryJisX0212CellToShiftJisAsGlibc) {
    struct Reading {
        std::vector<std::string> options;
        const char* glibcName;
        int written, microsoftRows;  // or the oracle is broken
    };
    // EUC-JP-MS's own cells: the IBM extension from 0x7373 to 0x747E, the
    // user-defined area in rows 85-94.
    constexpr int ibmCells = 12 + 94, userDefinedCells = 10 * 94;
    for (const auto& [options, glibcName, written, microsoftRows] :
         {Reading{{"-s"}, "EUC-JP", 281, 0},
          Reading{{"-s", "-xMS"}, "EUC-JP-MS", 282, ibmCells + userDefinedCells}}) {
        SCOPED_TRACE(glibcName);
        const X0212Cells t = x0212CellsAsGlibcWrites(glibcName);
        ASSERT_EQ(t.cells.size(), 94u * 94);
        ASSERT_EQ(94 * 94 - t.substitutes, written);
        ASSERT_EQ(t.microsoftRows, microsoftRows);
        std::string expected;
        for (const std::string& code : t.expected) expected += code;
        for (const bool jis : {false, true})
            for (const bool perByte : {false, true}) {
                SCOPED_TRACE(::testing::Message() << (jis ? "JIS" : "EUC") << (perByte ? ", per byte" : ""));
                const auto [output, substitutes] = x0212Run(t.cells, jis, options, perByte);
                EXPECT_EQ(substitutes, t.substitutes);
                if (output == expected) continue;                 // tens of kilobytes: not printed
                for (std::size_t i = 0; i < t.cells.size(); ++i)  // the cells that differ, one by one
                    EXPECT_EQ(hex(x0212Run({t.cells[i]}, jis, options, perByte).first), hex(t.expected[i]))
                        << hex(t.cells[i]);
            }
    }
}

TEST(WindowsText, SubstitutesAreCounted) {
    const std::tuple<std::vector<std::string>, const char*, int> cases[] = {
        {{"-U8", "-s"}, "F09F9880 C2A6 E38093 FF E3 81", 4},  // 😀 ¦, not the 〓 read, FF, the cut end
        {{"-S", "-e"}, "F0 40 FA 40 FC FC A2 AE", 2},
        {{"-S", "-u8"}, "80 FC FC", 2},
        {{"-E", "-j", "-jNEC"}, "8FB0A1", 1},
        {{"-E", "-s"}, "8FA2B7", 0},
        {{"-U8", "-u8"}, "F09F9880 ED A0 80", 3},
    };
    for (const auto& [options, input, count] : cases) {
        MemoryConverter conv(bytes(input));
        runOptions(conv, options);
        EXPECT_EQ(conv.substitutes, count) << ::testing::PrintToString(options) << " " << input;
    }
}

}  // namespace
}  // namespace zekt::testing
