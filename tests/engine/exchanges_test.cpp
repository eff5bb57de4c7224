// The three exchanges: kana joining, full-width ASCII folding, and the
// spellings of the machine-dependent characters, seen at the output.
#include "output_checks.h"

namespace zekt::testing {
namespace {

// Shift-JIS half-width kana in, EUC out. Each character leaves one step late,
// so the splits also cover a character held across a block boundary.
TEST(Exchanges, KanaJoining) {
    const std::vector<std::string> x{"-S", "-e", "-X"};
    expectVectors({
        {x, "61 B6 DE 62 B3 DE", "61 A5AC 62 A5F4"},
        {x, "CA DF DF B6 DE DE", "A5D1 A1AC A5AC A1AB"},
        // Marks that join nothing come out full-width; O, NA and MA border the voiced ranges.
        {x, "B5 DE C5 DE CF DE B6 DF 61 DE", "A5AA A1AB A5CA A1AB A5DE A1AB A5AB A1AC 61 A1AB"},
        // A line end waits its turn like any other character.
        {{"-S", "-e", "-X", "-lf"}, "B6 0D 0A DE", "A5AB 0A A1AB"},
        {{"-S", "-j", "-X", "-lf"}, "B1 0A", "1B2442 2522 1B2842 0A"},
        // Kana of every input form is widened.
        {{"-E", "-e", "-X"}, "8E B6 8E DE", "A5AC"},
        {{"-J", "-e", "-X"}, "1B 28 49 36 5E 1B 28 42 0E 36 5E 0F B6 DE", "A5AC A5AC A5AC"},
        // A spelling's last kana joins a following mark; a held kana goes out before a spelling.
        {{"-S", "-e", "-xNOWIN", "-X"}, "87 61 DE", "A5BB A5F3 A5C2"},
        {{"-S", "-e", "-xNOWIN", "-X"}, "B6 87 63", "A5AB A5B0 A5E9 A5E0"},
    });
}

// Rows 1 and 3, every cell: glibc names the character; the full-width forms
// of ASCII fold to ASCII, nine look-alikes fold too, everything else stays.
TEST(Exchanges, AsciiFoldOverRowsOneAndThree) {
    constexpr std::pair<CharCode, char> lookAlikes[] = {{0xA1AD, '\''}, {0xA1BD, '-'}, {0xA1C6, '`'},
                                                        {0xA1C7, '\''}, {0xA1C8, '"'}, {0xA1C9, '"'},
                                                        {0xA1D2, '<'},  {0xA1D3, '>'}, {0xA1DD, '-'}};
    std::string input, expected;
    for (int row : {0xA1, 0xA3}) {
        for (int col = 0xA1; col <= 0xFE; ++col) {
            const CharCode c = row << 8 | col;
            const auto wide = iconvText("UTF-32BE", "EUC-JP", bytesOf(c));
            const int u = wide && wide->size() == 4 ? codeOf(*wide) : 0;
            char ascii = u >= 0xFF01 && u <= 0xFF5E ? static_cast<char>(u - 0xFEE0) : 0;
            for (auto [code, alike] : lookAlikes) ascii = code == c ? alike : ascii;
            input += bytesOf(c);
            expected += ascii ? std::string(1, ascii) : bytesOf(c);
        }
    }
    EXPECT_EQ(hex(convertWith({"-E", "-e", "-Z"}, input)), hex(expected));
    expectAtEverySplit({"-E", "-j", "-Z"}, "A1 CA A3 E1 A1 CB", "28 61 29");
}

// Every half-width katakana widened, alone and before each sound mark.
// UTF-8 in and out, so that the expectations read as what they mean.
TEST(Exchanges, EveryKanaWidened) {
    const std::pair<const char*, const char*> cases[] = {
        {"｡｢｣､･ｦｧｨｩｪｫｬｭｮｯｰ", "。「」、・ヲァィゥェォャュョッー"},
        {"ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄ", "アイウエオカキクケコサシスセソタチツテト"},
        {"ﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝﾞﾟ", "ナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン゛゜"},
        {"ｳﾞｶﾞｷﾞｸﾞｹﾞｺﾞｻﾞｼﾞｽﾞｾﾞｿﾞﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞ", "ヴガギグゲゴザジズゼゾダヂヅデドバビブベボ"},
        {"ﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ", "パピプペポ"},
        {"ｱﾞｵﾞﾅﾞﾏﾞﾜﾞｦﾞｶﾟﾄﾟﾏﾟﾞﾟ", "ア゛オ゛ナ゛マ゛ワ゛ヲ゛カ゜ト゜マ゜゛゜"},  // marks that join nothing
    };
    for (const auto& [half, full] : cases) EXPECT_EQ(convertWith({"-U8", "-u8", "-X"}, half), full) << half;
}

// Row 13 cell by cell and the Shift-JIS vendor codes, spelled out, in
// UTF-8. Codes without a spelling stay (or, unassigned, become 〓).
TEST(Exchanges, MachineDependentSpellings) {
    std::string row13;
    for (int cell = 1; cell <= 94; ++cell) row13 += bytesOf(0x8700 | ((cell <= 63 ? 0x3F : 0x40) + cell));
    std::string vendor;
    for (int code = 0xFA40; code <= 0xFA5B; ++code) vendor += bytesOf(code);
    const std::tuple<std::vector<std::string>, std::string, std::string> cases[] = {
        {{"-S", "-u8", "-xNOWIN"},
         row13,
         "(1)(2)(3)(4)(5)(6)(7)(8)(9)(10)(11)(12)(13)(14)(15)(16)(17)(18)(19)(20)"
         "IIIIIIIVVVIVIIVIIIIXX〓"
         "ﾐﾘｷﾛｾﾝﾁﾒｰﾄﾙｸﾞﾗﾑﾄﾝｱｰﾙﾍｸﾀｰﾙﾘｯﾄﾙﾜｯﾄｶﾛﾘｰﾄﾞﾙｾﾝﾄﾊﾟｰｾﾝﾄﾐﾘﾊﾞｰﾙﾍﾟｰｼﾞ"
         "mmcmkmmgkgccm^2〓〓〓〓〓〓〓〓平成〝〟No.K.K.TEL(上)(中)(下)(左)(右)(株)(有)(代)明治大正昭和"
         "≒≡∫∮Σ√⊥∠∟⊿∵∩∪〓〓"},
        {{"-S", "-u8", "-xNOWIN"}, vendor, "iiiiiiivvviviiviiiixxIIIIIIIVVVIVIIVIIIIXX￢｜＇＂株No.TEL∵"},
        {{"-S", "-u8"}, bytes("87 40 FA 40 FA 58"), "①ⅰ㈱"},
        {{"-S", "-u8", "-xNOWIN", "-X"}, bytes("87 5F 87 63"), "ミリグラム"},
        {{"-S", "-u8", "-xNOWIN", "-Z"}, bytes("FA 55 87 8A"), "|(株)"},
        {{"-E", "-u8", "-xNOWIN"}, bytes("AD A1"), "(1)"},
        {{"-J", "-u8", "-xNOWIN"}, bytes("1B 24 42 2D 21 1B 28 42"), "(1)"},
    };
    for (const auto& [options, input, expected] : cases)
        EXPECT_EQ(convertWith(options, input), expected) << ::testing::PrintToString(options);
}

}  // namespace
}  // namespace zekt::testing
