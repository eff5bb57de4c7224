// Converting in place loses nothing: a character the input began and never
// finished refuses the file like one the output cannot carry, and -nk with
// a line-end option changes the line ends and nothing else.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "scratch_dir.h"

namespace zekt::testing {
namespace {

int zekt(const ScratchDir& dir, const std::string& arguments) {
    const std::string command =
        "cd '" + dir.path().string() + "' && '" ZEKT_BINARY "' " + arguments + " >out 2>err";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(InPlaceLosses, UnfinishedCharacterRefusesTheFile) {
    const ScratchDir dir;
    const std::string sjis = "\x93\xFA\x96\x7B\x93";  // 日本 and a lone lead
    writeFile(dir.path() / "a.txt", sjis);
    EXPECT_EQ(zekt(dir, "-overwrite -u8 a.txt"), 255);
    EXPECT_EQ(readFile(dir.path() / "a.txt"), sjis);
    EXPECT_EQ(readFile(dir.path() / "err"),
              "a.txt: 1 character has no code in the output; the file is left as it was.\n");
    EXPECT_EQ(zekt(dir, "-S -u8 a.txt"), 0);
    EXPECT_EQ(readFile(dir.path() / "out"), "日本〓");
    EXPECT_EQ(readFile(dir.path() / "err"), "a.txt: 1 character replaced with the substitute mark.\n");
}

TEST(InPlaceLosses, UnfinishedCharacterOnStandardInput) {
    const ScratchDir dir;
    writeFile(dir.path() / "in", "\x93\xFA\x96\x7B\x93");
    EXPECT_EQ(zekt(dir, "-S -u8 < in"), 0);
    EXPECT_EQ(readFile(dir.path() / "out"), "日本〓");
    EXPECT_EQ(readFile(dir.path() / "err"), "(stdin): 1 character replaced with the substitute mark.\n");
}

TEST(InPlaceLosses, LineEndsOnlyWithNoKanjiConversion) {
    const ScratchDir dir;
    const std::vector<std::pair<std::string, std::string>> files = {
        {"euc.txt", "\xA4\xF3\r\n\xA4\xA2\r\n"},  // ん あ
        {"jis.txt", "a\x1B$B$\"\x1B(Bb\r\n"},     // escapes kept
        {"utf16.txt", std::string("\xFF\xFE"
                                  "a\0\r\0\n\0\xE5\x65\r\0\n\0",
                                  14)},  // as code units
        {"latin1.txt", "caf\xE9\r\n"},
    };
    const std::vector<std::string> lineFeeds = {"\xA4\xF3\n\xA4\xA2\n", "a\x1B$B$\"\x1B(Bb\n",
                                                std::string("\xFF\xFE"
                                                            "a\0\n\0\xE5\x65\n\0",
                                                            10),
                                                "caf\xE9\n"};
    for (const auto& [name, text] : files) writeFile(dir.path() / name, text);
    EXPECT_EQ(zekt(dir, "-overwrite -nk -lf euc.txt jis.txt utf16.txt latin1.txt"), 0);
    EXPECT_EQ(readFile(dir.path() / "err"), "");
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(readFile(dir.path() / files[i].first), lineFeeds[i]) << files[i].first;
}

// 葛 with U+E0100 and ♪ with U+FE0F: EUC keeps the characters and says what
// it left out; in place, the selectors count as losses.
TEST(InPlaceLosses, VariationSelectors) {
    const std::string text = "\xE8\x91\x9B\xF3\xA0\x84\x80\xE2\x99\xAA\xEF\xB8\x8F";
    struct Case {
        std::string input, arguments;
        int status;
        std::string out, err, fileAfter;
    };
    for (const auto& [input, arguments, status, out, err, fileAfter] : std::vector<Case>{
             {text, "-e a.txt", 0, "\xB3\xEB\xA2\xF6", "a.txt: 2 variation selectors left out.\n", text},
             {text.substr(0, 7), "-e a.txt", 0, "\xB3\xEB", "a.txt: 1 variation selector left out.\n", ""},
             {text + "\xF0\x9F\x98\x80", "-e a.txt", 0, "\xB3\xEB\xA2\xF6\xA2\xAE",
              "a.txt: 1 character replaced with the substitute mark.\n"
              "a.txt: 2 variation selectors left out.\n",
              ""},
             {text, "-overwrite -e a.txt", 255, "",
              "a.txt: 2 characters have no code in the output; the file is left as it was.\n", ""},
             {text + "\xF0\x9F\x98\x80", "-overwrite -e a.txt", 255, "",
              "a.txt: 3 characters have no code in the output; the file is left as it was.\n", ""},
             {text, "-u8 a.txt", 0, text, "", ""},
         }) {
        const ScratchDir dir;
        writeFile(dir.path() / "a.txt", input);
        EXPECT_EQ(zekt(dir, arguments), status) << arguments;
        EXPECT_EQ(readFile(dir.path() / "out"), out) << arguments;
        EXPECT_EQ(readFile(dir.path() / "err"), err) << arguments;
        EXPECT_EQ(readFile(dir.path() / "a.txt"), fileAfter.empty() ? input : fileAfter) << arguments;
    }
}

}  // namespace
}  // namespace zekt::testing
