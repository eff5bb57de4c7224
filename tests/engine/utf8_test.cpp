// UTF-8 through the whole engine: every cell against glibc both ways, the
// decoder's substitutes for ill-formed input, the byte order mark, and the
// detection. 〓 (the substitute) is E3 80 93 in UTF-8, A2 AE in EUC.
#include "output_checks.h"

namespace zekt::testing {
namespace {

// Every cell glibc's EUC-JP defines with the given first byte (SS3 for
// JIS X 0212) before the pair, as one text, and its UTF-8 form.
std::pair<std::string, std::string> definedCells(const std::string& prefix) {
    std::pair<std::string, std::string> texts;
    for (int code = 0xA1A1; code <= 0xFEFE; ++code) {
        if ((code & 0xFF) < 0xA1 || (code & 0xFF) == 0xFF) continue;
        const std::string cell = prefix + bytesOf(code);
        if (const auto utf8 = iconvText("UTF-8", "EUC-JP", cell)) {
            texts.first += cell;
            texts.second += *utf8;
        }
    }
    return texts;
}

TEST(Utf8, EveryCellBothWaysAsGlibc) {
    for (const auto& [prefix, cells] :
         {std::pair{std::string(), 6879u}, std::pair{std::string("\x8F"), 6067u}}) {
        const auto [euc, utf8] = definedCells(prefix);
        ASSERT_EQ(euc.size(), (prefix.size() + 2) * cells);  // or the oracle is broken
        EXPECT_EQ(convertWith({"-E", "-u8"}, euc), utf8);
        EXPECT_EQ(convertWith({"-U8", "-e"}, utf8), euc);
        EXPECT_EQ(convertWith({"-e"}, utf8), euc);  // detected
        // The Windows mapping keeps every cell but one, whose U+FF5E it gives
        // to the wave dash.
        std::string windows = euc;
        if (!prefix.empty()) windows.replace(windows.find("\x8F\xA2\xB7"), 3, "\xA1\xC1");
        EXPECT_EQ(convertWith({"-U8", "-e", "-xMS"}, convertWith({"-E", "-u8", "-xMS"}, euc)), windows);
    }
}

TEST(Utf8, Decoding) {
    const std::vector<std::string> in{"-U8", "-e"};
    expectVectors({
        {in, "E3 81 82 41 EF BD B1 E4 B8 82", "A4A2 41 8EB1 8FB0A1"},
        // The mark is dropped at the start only; glibc's one-way mappings; a C1
        // control and a character beyond the tables have no JIS code.
        {in, "EF BB BF E3 81 82 EF BB BF", "A4A2 A2AE"},
        {in, "C2 A5 E2 80 BE EF BD 9E C2 85 F0 9F 98 80", "5C 7E 8FA2B7 A2AE A2AE"},
        // Code page 932's characters: row 13, rows 89-92, the Windows forms.
        {in, "E2 91 A0 E7 82 BB EF BC 8D E2 88 A5 EF BF A4", "ADA1 F9A7 A1DD A1C2 FCFC"},
        {{"-U8", "-e", "-xMS"}, "EF BD 9E EF BF A4 E3 80 9C", "A1C1 8FA2C3 A1C1"},
        // One substitute for each maximal piece that is not well-formed.
        {in, "E3 81 41 C0 AF 80 F5 41", "A2AE 41 A2AE A2AE A2AE A2AE 41"},
        {in, "E0 80 80 ED A0 80", "A2AE A2AE A2AE A2AE A2AE A2AE"},
        {in, "F4 90 80 80 41", "A2AE A2AE A2AE A2AE 41"},
        {in, "41 E3", "41 A2AE"},
        {in, "F0 9F 98", "A2AE"},
        // ESC, SO and SI switch nothing; line ends as in any code.
        {in, "1B 24 42 0E 0F 41", "1B 24 42 0E 0F 41"},
        {{"-U8", "-e", "-lf"}, "41 0D 0A 42 0D 43 0D", "41 0A 42 0A 43 0A"},
    });
}

TEST(Utf8, Encoding) {
    const std::vector<std::string> out{"-E", "-u8"};
    expectVectors({
        {out, "A4 A2 8E B1 8F B0 A1 41", "E38182 EFBDB1 E4B882 41"},
        // Bytes and cells without a code point become the substitute.
        {out, "80 A0 A2 AF F5 A1 FD A1", "E38093 E38093 E38093 E38093 E38093"},
        {out, "AD A1 F9 A1 A1 C1", "E291A0 E7BA8A E3809C"},
        {{"-E", "-xMS", "-u8"}, "A1 C1 8F A2 C3 A2 CC", "EFBD9E EFBFA4 EFBFA2"},
        {{"-E", "-u8bom"}, "41", "EFBBBF 41"},
        {{"-E", "-u8bom", "-e"}, "41", "41"},
        {{"-E", "-u8bom", "-u8"}, "41", "41"},
        {{"-U8", "-u8"}, "E3 81 82 F0 9F 98 80", "E38182 F09F9880"},
        // Exchanges and JIS options as for every code.
        {{"-U8", "-u8", "-Z", "-X"}, "EF BC A1 EF BD B6 EF BE 9E", "41 E382AC"},
        {{"-E", "-u8", "-jKANA8"}, "A4 A2", "1B2442 2422 1B2842"},
    });
    EXPECT_EQ(convertWith({"-u8bom"}, ""), "");
}

// Check mode (the code of the whole input) and conversion (settled by the
// first block that shows evidence), with blocks of four bytes.
TEST(Utf8, Detection) {
    const std::vector<std::tuple<const char*, CodeKind, CodeKind, bool>> cases = {
        {"E3 81 82 0A", CodeKind::UTF8, CodeKind::UTF8, false},
        {"EF BB BF 41", CodeKind::UTF8, CodeKind::UTF8, true},
        {"C4 A3 C5 A2", CodeKind::EUC, CodeKind::EUC, false},                // two-byte UTF-8 only: not wide
        {"E3 81 82 1B 24 42", CodeKind::JIS, CodeKind::UTF8, false},         // JIS beats UTF-8
        {"E3 81 82 0A 82 A0 0A 41", CodeKind::SJIS, CodeKind::UTF8, false},  // broken later
        {"E3 81 82 E3 81", CodeKind::UTF8, CodeKind::UTF8, false},           // open at the end: cut
        {"61 61 61 61 E3 81 82 0A", CodeKind::UTF8, CodeKind::UTF8, false},
    };
    for (const auto& [input, checked, converted, bom] : cases) {
        SCOPED_TRACE(input);
        MemoryConverter check(bytes(input)), conv(bytes(input));
        check.detectionBlockSize = conv.detectionBlockSize = 4;
        runOptions(check, {"-c"});
        runOptions(conv, {});
        EXPECT_EQ(check.detectedCode, checked);
        EXPECT_EQ(check.report.has(detect::BOM), bom);
        EXPECT_EQ(conv.detectedCode, converted);
    }
    MemoryConverter forced(bytes("1B 24 42 E3 81 82"));
    runOptions(forced, {"-c", "-U8"});
    EXPECT_EQ(forced.detectedCode, CodeKind::UTF8);
    EXPECT_FALSE(forced.report.has(detect::JIS));
}

}  // namespace
}  // namespace zekt::testing
