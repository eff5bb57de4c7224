// The real zekt binary, run as a user would: arguments, standard input,
// files in a scratch directory; stdout, stderr and the exit status compared
// byte for byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "option_tables.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Outcome {
    std::string out;
    std::string err;
    int status = -1;
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A scratch directory per test; zekt runs inside it so that messages carry
// the short names the test gave. The streams go through files, not pipes,
// so that no amount of output can block the child.
class ZektCli : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "zekt-cli-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    void file(const std::string& name, std::string_view bytes) { writeFile(dir_ / name, bytes); }

    Outcome zekt(const std::vector<std::string>& args, std::string_view input = {},
                 const char* stdoutPath = nullptr) {
        writeFile(dir_ / ".stdin", input);
        const std::string outPath = stdoutPath ? stdoutPath : (dir_ / ".stdout").string();
        const std::string errPath = (dir_ / ".stderr").string();

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());
        posix_spawn_file_actions_addopen(&actions, 0, ".stdin", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

        std::vector<char*> argv{const_cast<char*>(ZEKT_BINARY)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);

        Outcome result;
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, ZEKT_BINARY, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(spawned, 0) << "cannot start " << ZEKT_BINARY;
        if (spawned != 0) return result;
        int wstatus = 0;
        waitpid(pid, &wstatus, 0);
        result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
        if (stdoutPath == nullptr) result.out = readFile(outPath);
        result.err = readFile(errPath);
        return result;
    }

    fs::path dir_;
};

const std::string optionError = "zekt: option error! Try, \n\"zekt -h\n\"";

// あ in each code, and the text a default run (SJIS, CR+LF) makes of "あ\n".
const std::string eucA = "\xA4\xA2\n";
const std::string sjisA = "\x82\xA0\r\n";
const std::string eucACrLf = "\xA4\xA2\r\n";

// --- help and version --------------------------------------------------------

TEST_F(ZektCli, HelpPrintsBannerLineFeedUsage) {
    for (const char* opt : {"-h", "-help"}) {
        // Later arguments are neither applied nor processed, stdin not read.
        const Outcome r = zekt({opt, "missing.txt", "-bogus"}, "stdin text\n");
        EXPECT_EQ(r.out, std::string(zekt::bannerText) + "\n" + zekt::usageText) << opt;
        EXPECT_EQ(r.err, "") << opt;
        EXPECT_EQ(r.status, 0) << opt;
    }
}

TEST_F(ZektCli, UsageTextHasItsFixedShape) {
    const std::string_view usage = zekt::usageText;
    EXPECT_EQ(std::count(usage.begin(), usage.end(), '\n'), 51);
    EXPECT_EQ(usage.back(), '\n');
    EXPECT_EQ(usage.substr(0, usage.find('\n')), "  usage: zekt [-option ... | filename ...] ");
    EXPECT_NE(usage.find(" -e\t\t: output EUC code\n"), std::string_view::npos);
    EXPECT_NE(usage.find(" -S ,-SJ, -MAC, -DOS\n                : input SJIS (MS-KANJI) code\n"),
              std::string_view::npos);
    EXPECT_NE(usage.find(" -v or -version\t: version information\n -h or -help\t: help (this message)\n"),
              std::string_view::npos);
}

TEST_F(ZektCli, VersionPrintsBannerWithoutLineFeed) {
    const std::string firstLine =
        "zekt - Japanese Code Converter:" + std::string(26, ' ') + "Version  2.2";
    for (const char* opt : {"-v", "-version"}) {
        const Outcome r = zekt({opt, "missing.txt"}, "stdin text\n");
        EXPECT_EQ(r.out, zekt::bannerText) << opt;
        EXPECT_EQ(r.out.substr(0, r.out.find('\n')), firstLine) << opt;
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << opt;
        EXPECT_NE(r.out.back(), '\n') << opt;
        EXPECT_EQ(r.err, "") << opt;
        EXPECT_EQ(r.status, 0) << opt;
    }
}

// --- option errors -----------------------------------------------------------

TEST_F(ZektCli, OptionErrorsStopTheRunWithStatus255) {
    file("a.txt", eucA);
    const std::vector<std::vector<std::string>> cases = {
        {"-Unix"}, {"-jkana7"}, {"-"}, {"-e "}, {"-E", "-zz", "a.txt"}, {"-e=1", "a.txt"}, {"-lfx"},
    };
    for (const auto& args : cases) {
        const Outcome r = zekt(args, eucA);
        EXPECT_EQ(r.err, optionError) << args.front();
        EXPECT_EQ(r.out, "") << args.front();  // neither stdin nor later files
        EXPECT_EQ(r.status, 255) << args.front();
    }
}

TEST_F(ZektCli, OptionErrorAfterFileStillConvertsThatFile) {
    file("a.txt", eucA);
    const Outcome r = zekt({"a.txt", "-bogus", "a.txt"});
    EXPECT_EQ(r.out, sjisA);
    EXPECT_EQ(r.err, optionError);
    EXPECT_EQ(r.status, 255);
}

// --- settings, file names and standard input -------------------------------

struct RunCase {
    const char* name;
    std::vector<std::string> args;
    std::string input;  // standard input
    std::string out;
    std::string err;
};

TEST_F(ZektCli, ArgumentsApplyLeftToRight) {
    file("a.txt", eucA);
    file("b.txt", eucA);
    file("-c", eucA);
    file("-e", eucA);
    const std::vector<RunCase> cases = {
        {"no arguments read stdin", {}, eucA, sjisA, ""},
        {"settings hold only for later files", {"a.txt", "-e", "b.txt"}, "", sjisA + eucACrLf, ""},
        {"later of two options wins", {"-e", "-s", "a.txt"}, "", sjisA, ""},
        {"unix sets code and line end", {"-unix", "a.txt"}, "", eucA, ""},
        {"UNIX only forces the input", {"-UNIX", "a.txt"}, "", sjisA, ""},
        {"JIS mode waits for -j", {"-jROMAJI", "-e", "a.txt"}, "", eucACrLf, ""},
        {"-x changes nothing", {"-x", "a.txt"}, "", sjisA, ""},
        {"-nk -nr keep bytes", {"-nk", "-nr", "a.txt"}, "", eucA, ""},
        {"-c holds for later files", {"a.txt", "-c", "b.txt"}, "", sjisA + "b.txt: EUC [LF] \n", ""},
        {"-f names a file -c", {"-f", "-c"}, "", sjisA, ""},
        {"-- names a file -e", {"--", "-e", "-e", "a.txt"}, "", sjisA + eucACrLf, ""},
        {"-f only covers the next argument", {"-f", "-c", "-c", "a.txt"}, "", sjisA + "a.txt: EUC [LF] \n", ""},
        {"-f last reads stdin", {"-c", "-f"}, eucA, "(stdin): EUC [LF] \n", ""},
        {"-- last reads stdin", {"-e", "-lf", "--"}, eucA, eucA, ""},
        {"a named file means stdin is not read", {"a.txt"}, "stdin\n", sjisA, ""},
        {"missing file, run goes on", {"missing.txt", "a.txt"}, "", sjisA, "missing.txt: No such a file.\n"},
        {"missing file under a file", {"a.txt/x"}, "", "", "a.txt/x: No such a file.\n"},
        {"a directory", {"-c", "sub", "a.txt"}, "", "a.txt: EUC [LF] \n", "sub: Cannot open a file.\n"},
        {"empty name is no stdin", {"-c", ""}, eucA, "", ": No such a file.\n"},
    };
    fs::create_directory(dir_ / "sub");
    for (const RunCase& c : cases) {
        const Outcome r = zekt(c.args, c.input);
        EXPECT_EQ(r.out, c.out) << c.name;
        EXPECT_EQ(r.err, c.err) << c.name;
        EXPECT_EQ(r.status, 0) << c.name;
    }
}

// --- binary input ------------------------------------------------------------

TEST_F(ZektCli, BinaryInputIsRefused) {
    file("bin.dat", std::string("ab\0cd\n", 6));
    std::string late(1501, 'a');
    late.back() = '\x07';  // a binary byte in the second block
    file("late.dat", late);
    file("a.txt", eucA);
    const std::vector<RunCase> cases = {
        {"check prints no check line", {"-c", "bin.dat", "a.txt"}, "", "a.txt: EUC [LF] \n",
         "bin.dat: Not a text file.\n"},
        {"convert writes nothing", {"bin.dat", "a.txt"}, "", sjisA, "bin.dat: Not a text file.\n"},
        {"blocks before the refusal stay written", {"late.dat"}, "", std::string(1024, 'a'),
         "late.dat: Not a text file.\n"},
        {"stdin", {"-c"}, std::string("\x7F", 1), "", "(stdin): Not a text file.\n"},
        {"-nb lets it through", {"-nb", "-c", "late.dat"}, "", "late.dat: ASCII [No RET] \n", ""},
    };
    for (const RunCase& c : cases) {
        const Outcome r = zekt(c.args, c.input);
        EXPECT_EQ(r.out, c.out) << c.name;
        EXPECT_EQ(r.err, c.err) << c.name;
        EXPECT_EQ(r.status, 0) << c.name;
    }
}

// --- check lines -------------------------------------------------------------

struct CheckCase {
    std::string input;
    std::string line;  // after "(stdin): "
};

TEST_F(ZektCli, CheckLineNamesCodeLineEndAndDetails) {
    const std::vector<CheckCase> cases = {
        {"", "ASCII [No RET] "},
        {"plain\n", "ASCII [LF] "},
        {"a\rb\r", "ASCII [CR] "},
        {"a\nb\r\n", "ASCII [CRLF] "},
        {"a\r\nb\n", "ASCII [LF] "},  // the last line end counts
        // JIS: words in their fixed order whatever the order in the input.
        {"\x1B(B\x1B$B0!\n", "JIS [LF] JIS1983 ASCII "},
        {"\x1B(J\x1B$@0!\x1B(J\n", "JIS [LF] JIS1978 ROMAJI "},
        {"\x1B(I1\x1B(B\n", "JIS [LF] ASCII KANA7 "},
        {"\x0E" "1\x0F\n", "JIS [LF] KANA-SI/SO "},
        {"\x1BK-!\x1BH\n", "JIS [LF] NEC "},
        {"\x1B$(D0!\x1B(Z\n", "JIS [LF] JIS-EX1990 JIS???? "},
        {"\x1B$B0!\x1B(B\xB1\n", "JIS [LF] JIS1983 ASCII KANA8 "},
        {"\x1B$Z\x1B$@\x1B$B\x1B$(D\x1BK\x1B(B\x1B(J\x1B(I\xB1\x0E\n",
         "JIS [LF] JIS1978 JIS1983 JIS-EX1990 NEC ASCII ROMAJI KANA7 KANA8 KANA-SI/SO JIS???? "},
        // Shift-JIS.
        {"\x82\xA0\r\n", "SJIS [CRLF] "},
        {"\x82\xA0\xB1\r\n", "SJIS [CRLF] KANA8 "},
        {"\x87\x40\n", "SJIS [LF] IZON "},
        {"\xB1\x87\x40\xFA\x40\r", "SJIS [CR] KANA8 IZON "},
        // EUC.
        {"\xA4\xA2\n", "EUC [LF] "},
        {"\x8F\xB0\xA1\x8E\xB1\n", "EUC [LF] SS2-KANA SS3-KANJI "},
        {"\x8E\xB1\n", "EUC [LF] SS2-KANA "},
    };
    for (const CheckCase& c : cases) {
        const Outcome r = zekt({"-c"}, c.input);
        EXPECT_EQ(r.out, "(stdin): " + c.line + "\n") << c.line;
        EXPECT_EQ(r.err, "") << c.line;
        EXPECT_EQ(r.status, 0) << c.line;
    }
}

TEST_F(ZektCli, CheckModeWritesOnlyCheckLines) {
    file("a.txt", eucA);
    file("j.txt", "\x1B$B$\"\x1B(B\n");
    const Outcome r = zekt({"-c", "-e", "a.txt", "missing", "j.txt"});
    EXPECT_EQ(r.out, "a.txt: EUC [LF] \nj.txt: JIS [LF] JIS1983 ASCII \n");
    EXPECT_EQ(r.err, "missing: No such a file.\n");
    EXPECT_EQ(r.status, 0);
}

// The committed samples check as what they are.
TEST_F(ZektCli, SamplesCheckAsTheirCodes) {
    const fs::path samples = fs::path(__FILE__).parent_path() / ".." / ".." / "samples";
    if (!fs::exists(samples / "weather-sjis.txt")) GTEST_SKIP() << "samples not found at " << samples;
    for (const char* name : {"weather-sjis.txt", "shopping-euc.txt", "note-jis.txt"})
        fs::copy_file(samples / name, dir_ / name);
    const Outcome r = zekt({"-c", "weather-sjis.txt", "shopping-euc.txt", "note-jis.txt"});
    EXPECT_EQ(r.out,
              "weather-sjis.txt: SJIS [CRLF] IZON \n"
              "shopping-euc.txt: EUC [LF] SS2-KANA \n"
              "note-jis.txt: JIS [LF] JIS1983 ASCII \n");
    EXPECT_EQ(r.err, "");
}

// --- write failures ----------------------------------------------------------

TEST_F(ZektCli, WriteFailureOnStdoutEndsWithStatus255) {
    file("a.txt", eucA);
    // Check lines and help are still buffered at the end of the run: their
    // loss must show too.
    const std::vector<std::vector<std::string>> cases = {
        {"a.txt", "a.txt"}, {}, {"-c", "a.txt"}, {"-c", "a.txt", "a.txt"}, {"-h"},
    };
    for (const auto& args : cases) {
        const Outcome r = zekt(args, eucA, "/dev/full");
        EXPECT_EQ(r.err, "(stdout): Cannot write a file.\n") << args.size();  // once: the run stops
        EXPECT_EQ(r.status, 255) << args.size();
    }
    // Larger than the stream buffer: the failure shows while converting.
    const Outcome big = zekt({}, std::string(100000, 'x'), "/dev/full");
    EXPECT_EQ(big.err, "(stdout): Cannot write a file.\n");
    EXPECT_EQ(big.status, 255);
}

}  // namespace
