// Detection of real files: a character cut by a block's end, UTF-8 with
// only two-byte sequences so far, EUC's own form, the byte order mark, and
// the first 8-bit byte around the block and window boundaries. Texts are
// typed in UTF-8 and made into each code by glibc's iconv.
#include "output_checks.h"

namespace zekt::testing {
namespace {

using enum CodeKind;

std::string encoded(CodeKind code, const std::string& utf8) {
    const char* name = code == SJIS  ? "SHIFT_JIS"
                       : code == EUC ? "EUC-JP"
                       : code == JIS ? "ISO-2022-JP"
                                     : "UTF-8";
    return iconvText(name, "UTF-8", utf8).value_or("");
}

struct Detected {
    CodeKind checked, converted;
    std::string output;
};

Detected detect(const std::string& input, int detectionBlockSize = 1024, bool perByte = false) {
    MemoryConverter check(input), conv(input);
    for (MemoryConverter* c : {&check, &conv}) {
        c->detectionBlockSize = detectionBlockSize;
        c->perByte = perByte;
    }
    runOptions(check, {"-c"});
    runOptions(conv, {"-u8", "-lf"});
    return {check.detectedCode, conv.detectedCode, conv.outputBytes};
}

// n sequences of two bytes: é.
std::string twoByteUtf8(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "é";
    return s;
}

const std::string substitute = "〓";
const std::string hashes(1023, '#');

// The faults that whole files showed: each converts to the typed text, at
// every block size, and the check names the code the conversion used.
TEST(Detection, RealFileCases) {
    const std::vector<std::tuple<const char*, std::string, std::string, CodeKind>> cases = {
        {"UTF-8 cut by the first block", hashes + "日本語のテキスト\n", hashes + "日本語のテキスト\n", UTF8},
        {"UTF-8, Latin first", "(c) © Café München\n息子\n", "(c) © Café München\n息子\n", UTF8},
        {"UTF-8 cut at the end", "日本語\xE3\x81", "日本語" + substitute, UTF8},
        {"UTF-8 cut at the start", "\x97\xA5本語のテキスト", substitute + substitute + "本語のテキスト",
         UTF8},
        {"byte order mark, stray byte", "\xEF\xBB\xBF日本語\x82\n", "日本語" + substitute + "\n", UTF8},
        {"Shift-JIS 上場", encoded(SJIS, "上場"), "上場", SJIS},
        {"Shift-JIS 失踪", encoded(SJIS, "失踪"), "失踪", SJIS},
        {"EUC", encoded(EUC, "日本語\n"), "日本語\n", EUC},
        {"Shift-JIS lead 0xFC", "a\xFC\x40\xFC\x4B", "a髜黑", SJIS},  // code page 932's last row
    };
    for (const auto& [name, input, output, code] : cases) {
        SCOPED_TRACE(name);
        const Detected d = detect(input);
        EXPECT_EQ(d.checked, code);
        EXPECT_EQ(d.converted, code);
        expectAtEverySplit({"-u8", "-lf"}, hex(input), hex(output));
    }
    // Shift-JIS whose first kanji has lead 0x8E, 0x8F or 0xE0 and up, cut
    // by the first block's end. At every split too, unless the pair is
    // also an EUC kana (自 8E A9): a block that ends after it is EUC.
    const std::string leads = "試取事字時自社書生濁";
    for (std::size_t i = 0; i < leads.size(); i += 3) {
        const std::string text = hashes + leads.substr(i, 3) + "験です\n", sjis = encoded(SJIS, text);
        SCOPED_TRACE(text.substr(hashes.size()));
        for (const bool perByte : {false, true}) {
            const Detected d = detect(sjis, 1024, perByte);
            EXPECT_EQ(d.checked, SJIS);
            EXPECT_EQ(d.converted, SJIS);
            EXPECT_EQ(d.output, text);
        }
        if (!iconvText("UTF-8", "EUC-JP", sjis.substr(hashes.size(), 2)))
            expectAtEverySplit({"-u8", "-lf"}, hex(sjis), hex(text));
    }
    // Half-width kana that EUC's form cannot hold settle Shift-JIS in the
    // first block; blocks that small EUC can still hold are provisional EUC.
    std::string kana;
    while (kana.size() < 1100) kana += "ｱｲｳ ｴｵ\n";
    const Detected d = detect(encoded(SJIS, kana + "漢字\n"));
    EXPECT_EQ(d.converted, SJIS);
    EXPECT_EQ(d.output, kana + "漢字\n");
}

// The first 8-bit byte (or escape) on either side of a block's end and of
// the 64 KiB window, in every code, on both paths.
TEST(Detection, FirstByteAroundBoundaries) {
    const std::string text = "試験の事、時事と濁りの字。アイ\n";
    for (const int start : {1020, 2044, 65530})
        for (int offset = start; offset <= start + 10; ++offset)
            for (const CodeKind code : {EUC, SJIS, JIS, UTF8})
                for (const bool perByte : {false, true}) {
                    SCOPED_TRACE(::testing::Message() << offset << " code " << index(code) << perByte);
                    const std::string ascii(static_cast<std::size_t>(offset), 'a');
                    const Detected d = detect(ascii + encoded(code, text), 1024, perByte);
                    EXPECT_EQ(d.checked, code);
                    EXPECT_EQ(d.converted, code);
                    EXPECT_EQ(d.output, ascii + text);
                }
}

// Two-byte UTF-8 sequences alone keep the code open for 64 KiB counted from
// the first of them; a wide sequence whose second byte comes before the
// block where that count is reached still makes it UTF-8, a later one not
// for the conversion.
TEST(Detection, Utf8Window) {
    const std::string tail = "あ\n";
    for (const bool perByte : {false, true}) {
        const Detected within = detect(twoByteUtf8(32767) + tail, 1024, perByte);
        EXPECT_EQ(within.converted, UTF8);
        EXPECT_EQ(within.output, twoByteUtf8(32767) + tail);
        const Detected beyond = detect(twoByteUtf8(32768) + tail, 1024, perByte);
        EXPECT_EQ(beyond.converted, EUC);
        EXPECT_EQ(beyond.checked, UTF8);  // the check withdraws provisional EUC
        EXPECT_EQ(beyond.output.substr(0, 3), iconvText("UTF-8", "EUC-JP", "\xC3\xA9"));
    }
    // To the end of the input, then settled from all it showed: Latin text
    // that stayed well-formed is UTF-8.
    EXPECT_EQ(detect("Café").converted, UTF8);
    EXPECT_EQ(detect("Café, " + encoded(SJIS, "漢字")).converted, SJIS);
}

// Latin text in UTF-8 that never shows a wide sequence: once the wait is
// over (the end of the input, or 64 KiB past its first 8-bit byte) it is
// UTF-8, checked and converted. What EUC and Shift-JIS can also be, with
// no ASCII beside it, or a sequence the end cuts, stays as it was.
TEST(Detection, LatinTextAtTheEndOfTheWait) {
    const std::string far(65537, 'x');
    const std::vector<std::tuple<const char*, std::string, CodeKind>> cases = {
        {"German", "Größe und Maße\n", UTF8},
        {"French", "un café, s'il vous plaît\n", UTF8},
        {"no-break spaces", "<td>\xC2\xA0</td><td>\xC2\xA0</td>\n", UTF8},
        {"copyright", "© 2026 zekt\n", UTF8},
        {"sign after a letter at the end", "abc©", UTF8},
        {"after a capital letter", "Mé\n", UTF8},
        {"times at the start", "×3\n", UTF8},
        {"Japanese after the window", "Café " + far + "日本語\n", UTF8},
        {"lead after the window", "naïve" + far + "\xC3\xA9", UTF8},
        // Not Latin text: a C1 control, no ASCII beside the pair, a cut end.
        {"C1 control", "abc\xC2\x80", EUC},
        {"EUC kanji alone", "\xC4\xB9", EUC},
        {"half-width kana alone", "\xC3\xBD", EUC},
        {"cut at the end", "a\xC3\xBD\xC4", EUC},
        {"cut at the start", encoded(SJIS, "静海"), SJIS},  // 90 C3 8A 43: a Latin pair inside
        {"Latin-1 é", "caf\xE9 ", EUC},
        {"broken later", "café, " + encoded(SJIS, "漢字"), SJIS},
    };
    for (const auto& [name, input, code] : cases) {
        SCOPED_TRACE(name);
        for (const bool perByte : {false, true}) {
            const Detected d = detect(input, 1024, perByte);
            EXPECT_EQ(d.checked, code);
            EXPECT_EQ(d.converted, code);
            if (code == UTF8) {
                EXPECT_TRUE(d.output == input);
            }
        }
    }
}

// A start cut inside a character needs three wide sequences for UTF-8; two
// leave the code to the other evidence.
TEST(Detection, CutStartNeedsThreeWideSequences) {
    for (const bool perByte : {false, true}) {
        EXPECT_EQ(detect("\x97\xA5本語の", 1024, perByte).converted, UTF8);
        EXPECT_EQ(detect("\x97\xA5本語の", 1024, perByte).checked, UTF8);
        EXPECT_EQ(detect("\x97\xA5本語", 1024, perByte).checked, SJIS);
        EXPECT_EQ(detect("\x97\xA5本語", 1024, perByte).converted, SJIS);
    }
}

// A lone wide character at every offset of the 16- and 32-byte chunks, with
// ASCII on both sides: UTF-8 on every vector width.
TEST(Detection, LoneWideCharacterAtEveryChunkOffset) {
    for (std::size_t before = 0; before <= 70; ++before) {
        const std::string text = std::string(before, 'a') + "円" + std::string(40, 'b');
        for (const Kernels& kernels : machineKernels()) {
            for (const char* option : {"-c", "-e"}) {
                MemoryConverter conv(text);
                conv.vectorLevel = kernels.level;
                runOptions(conv, {option, "-nr"});
                EXPECT_EQ(conv.detectedCode, UTF8) << before << " " << option;
                if (option[1] == 'e') {
                    EXPECT_EQ(conv.outputBytes, encoded(EUC, text)) << before;
                }
            }
        }
    }
}

// A binary byte while blocks are kept refuses the input: the blocks before
// the first 8-bit byte are written, the kept ones not.
TEST(Detection, BinaryInKeptBlocks) {
    const std::string ascii(2048, 'a');
    for (const bool perByte : {false, true}) {
        MemoryConverter conv(ascii + twoByteUtf8(1500) + '\0');
        conv.perByte = perByte;
        runOptions(conv, {"-u8", "-lf"});
        EXPECT_EQ(conv.result, 2);
        EXPECT_EQ(conv.outputBytes, ascii);
    }
}

}  // namespace
}  // namespace zekt::testing
