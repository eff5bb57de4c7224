// The command line as typed values: which words are files, the settings
// and check mode each file gets, how the line ends and what is left over.
#include "command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zekt {
namespace {

// A file as "name|settings|c|o" (name "-" for the standard input).
std::string shown(const CommandLine::File& f) {
    return std::string(f.name ? f.name : "-") + "|" + f.settings + "|" + (f.check ? "c" : "") + "|" +
           (f.overwrite ? "o" : "");
}

TEST(CommandLine, WordsAsTypedValues) {
    using End = CommandLine::End;
    struct Case {
        std::vector<const char*> words;
        std::vector<std::string> files;
        End end;
        std::vector<std::string> unused;
    };
    const Case cases[] = {
        {{}, {}, End::FILES, {}},
        {{"-u8", "-lf"}, {}, End::FILES, {}},  // nothing left over: they apply to stdin
        {{"a", "-e", "b", "-lf"}, {"a|||", "b|-e||"}, End::FILES, {"-lf"}},
        {{"-c", "-", "-overwrite", "a"}, {"-||c|", "a||c|o"}, End::FILES, {}},
        {{"-f", "-c", "--", "-e", "-"}, {"-c|||", "-e|||", "-|||"}, End::FILES, {}},
        {{"a", "-h", "b"}, {"a|||"}, End::HELP, {}},
        {{"-v"}, {}, End::VERSION, {}},
        {{"--version"}, {}, End::VERSION_LINE, {}},
        {{"a", "-u8 -lf", "b"}, {"a|||"}, End::OPTION_ERROR, {}},
        {{"-C"}, {}, End::OPTION_ERROR, {}},
    };
    for (const Case& c : cases) {
        const CommandLine line = parseCommandLine(c.words);
        std::vector<std::string> files;
        for (const auto& f : line.files) files.push_back(shown(f));
        const std::string trace = ::testing::PrintToString(c.words);
        EXPECT_EQ(files, c.files) << trace;
        EXPECT_EQ(line.end, c.end) << trace;
        EXPECT_EQ(std::vector<std::string>(line.unused.begin(), line.unused.end()), c.unused) << trace;
    }
}

// ZektWin names its file after the option words: it gets the settings
// after them, and nothing is left over; a line that ends otherwise takes
// no file.
TEST(CommandLine, AFileAddedAfterTheWords) {
    const std::vector<const char*> words{"x", "-e", "-c"}, help{"-h"};
    const CommandLine line = parseCommandLine(words).withFile("d");
    ASSERT_EQ(line.files.size(), 2u);
    EXPECT_EQ(shown(line.files[1]), "d|-e|c|");
    EXPECT_TRUE(line.unused.empty());
    EXPECT_TRUE(parseCommandLine(help).withFile("d").files.empty());
}

}  // namespace
}  // namespace zekt
