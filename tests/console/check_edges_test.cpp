// The check line of the real binary for the edge bytes of every code: the
// code each edge points to, its flags and the line end recorded, alone and
// after ASCII that puts it at other offsets of the block path's 16-byte loops.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "memory_converter.h"
#include "scratch_dir.h"

namespace zekt::testing {
namespace {

TEST(CheckLine, AtEachEdge) {
    // The line alone and, where it differs, after ASCII: a mark counts only
    // at the start, a lone pair at the start reads as EUC, and continuation
    // bytes only there end a character cut off.
    struct Case {
        const char* input;
        const char* line;
        const char* afterAscii = nullptr;
    };
    const Case cases[] = {
        // The line end recorded: the last one read, a CR in every code
        {"", "ASCII [No RET] "},
        {"61 0A 62 0D 0A", "ASCII [CRLF] "},
        {"61 0D 0A 62 0A", "ASCII [LF] "},
        {"82 A0 0D 0A", "SJIS [CRLF] "},
        {"E3 81 82 0A", "UTF8 [LF] "},
        {"EF BB BF E3 81 82 0D 0A", "UTF8 [CRLF] BOM ", "UTF8 [CRLF] "},
        {"82 A0 0D", "SJIS [CR] "},
        {"A4 A2 0D", "EUC [CR] "},
        {"1B 24 42 24 22 0D", "JIS [CR] JIS1983 "},
        {"E3 81 82 0D", "UTF8 [CR] "},
        {"FF FE 42 30 0D 00", "UTF16LE [CR] BOM ", "Not a text file."},
        {"0D", "ASCII [CR] "},
        {"61 0D 0A 62 0D", "ASCII [CR] "},
        {"61 0A 62 0D", "ASCII [CR] "},
        // Which code each edge byte or pair points to
        {"FD A1", "EUC [No RET] "},
        {"FD 40", "EUC [No RET] "},
        {"A4 A2 FD 40", "EUC [No RET] "},
        {"82 83 84 E3 81 82 E3 81 84 E3 81 86", "UTF8 [No RET] ", "SJIS [No RET] "},
        {"E3 81 82 C1 81 E3 81 84 E3 81 86 E3 81 88 E3 81 8A E3 81 8B", "SJIS [No RET] IZON "},
        {"FE A1", "EUC [No RET] "},
        {"82 A0 FD A1", "SJIS [No RET] IZON "},
        {"B0 A1 FD A1", "EUC [No RET] "},
        {"88 9F FE FE", "SJIS [No RET] "},
        {"88 9F 8E A1", "SJIS [No RET] "},
        {"B0 A1 88 9F", "SJIS [No RET] KANA8 "},
        {"82 A0 B1", "SJIS [No RET] KANA8 "},
        {"B1 B2 82 A0", "SJIS [No RET] KANA8 "},
        {"B0 A1 8F A1 A1 82 A0", "SJIS [No RET] KANA8 "},
        {"E3 81 82 82 A0", "SJIS [No RET] "},
        {"E3 81 82 B0 A1", "SJIS [No RET] KANA8 "},
        {"C2 A5 82 A0", "SJIS [No RET] KANA8 "},
        {"FC A1", "EUC [No RET] "},
        {"ED A0 80", "SJIS [No RET] IZON "},
        {"F0 8F BF BF", "EUC [No RET] ", "SJIS [No RET] KANA8 IZON "},
        {"F4 90 80 80", "SJIS [No RET] IZON "},
        {"F0 90 80 80", "UTF8 [No RET] "},
        {"C2 80", "EUC [No RET] "},
        {"E0 A0 80", "UTF8 [No RET] "},
        {"84 FC", "SJIS [No RET] "},
        {"85 40", "SJIS [No RET] IZON "},
        {"88 9E", "SJIS [No RET] IZON "},
        {"88 9F", "SJIS [No RET] "},
        {"EA FC", "EUC [No RET] "},
        {"EB 40", "EUC [No RET] ", "SJIS [No RET] IZON "},
        {"87 40", "SJIS [No RET] IZON "},
        {"FC FC", "EUC [No RET] "},
        {"8E A1", "EUC [No RET] SS2-KANA "},
        {"8E DF", "EUC [No RET] SS2-KANA "},
        {"8E E0", "SJIS [No RET] "},
        {"8F A1 A1", "EUC [No RET] SS3-KANJI "},
        {"AD A1", "EUC [No RET] "},
        // Each escape and shift, and the words in their fixed order whatever the input's
        {"1B 28 42 1B 24 42 30 21 0A", "JIS [LF] JIS1983 ASCII "},
        {"1B 24 42 30 21 1B 28 42 B1 0A", "JIS [LF] JIS1983 ASCII KANA8 "},
        {"1B 24 5A 1B 24 40 1B 24 42 1B 24 28 44 1B 4B 1B 28 42 1B 28 4A 1B 28 49 B1 0E 0A",
         "JIS [LF] JIS1978 JIS1983 JIS-EX1990 NEC ASCII ROMAJI KANA7 KANA8 KANA-SI/SO JIS???? "},
        {"B1 87 40 FA 40 0D", "SJIS [CR] KANA8 IZON "},
        {"8F B0 A1 8E B1 0A", "EUC [LF] SS2-KANA SS3-KANJI "},
        {"1B 28 49 21 5F 60", "JIS [No RET] KANA7 "},
        {"0E 21 0F", "JIS [No RET] KANA-SI/SO "},
        {"1B 24 40", "JIS [No RET] JIS1978 "},
        {"1B 24 42", "JIS [No RET] JIS1983 "},
        {"1B 4B", "JIS [No RET] NEC "},
        {"1B 28 4A", "JIS [No RET] ROMAJI "},
        {"1B 24 28 44 21 21", "JIS [No RET] JIS-EX1990 "},
        {"1B 24 28 52", "JIS [No RET] JIS???? "},
        {"1B 24 28 51", "JIS [No RET] JISX0213 "},
        // The control bytes each side of the binary ranges
        {"07", "Not a text file."},
        {"08", "ASCII [No RET] "},
        {"0E 0F", "JIS [No RET] KANA-SI/SO "},
        {"10", "Not a text file."},
        {"19", "Not a text file."},
        {"1A", "ASCII [No RET] "},
        {"1B", "ASCII [No RET] "},
        {"1F", "ASCII [No RET] "},
        {"7F", "Not a text file."},
        {"7E", "ASCII [No RET] "},
    };
    const ScratchDir scratch;
    std::string names, out, err;
    int n = 0;
    for (const auto& [input, alone, afterAscii] : cases)
        for (const std::size_t shift : {0, 17, 40}) {
            const std::string line = shift == 0 || afterAscii == nullptr ? alone : afterAscii;
            const std::string name = std::to_string(n++);
            writeFile(scratch.path() / name, std::string(shift, 'a') + bytes(input));
            names += " " + name;
            (line.ends_with(".") ? err : out) += name + ": " + line + "\n";
        }
    const std::string command =
        "cd '" + scratch.path().string() + "' && '" ZEKT_BINARY "' -c" + names + " >out 2>err";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 1);  // some edges are refused as binary
    EXPECT_EQ(readFile(scratch.path() / "out"), out);
    EXPECT_EQ(readFile(scratch.path() / "err"), err);
}

}  // namespace
}  // namespace zekt::testing
