// The real zekt binary, run as a user would: arguments, standard input,
// files in a scratch directory; stdout, stderr and the exit status compared
// byte for byte.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "flagged_folder.h"
#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using zekt::testing::readFile;
using zekt::testing::writeFile;

// The signals whose default action ends the process and that a user or the
// system sends: an in-place conversion they end leaves no temporary file.
constexpr int terminatingSignals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM, SIGPIPE,   SIGXFSZ,
                                      SIGXCPU, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF};

// Every name in a folder, hidden ones included.
std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) found.push_back(entry.path().filename());
    std::sort(found.begin(), found.end());
    return found;
}

struct Outcome {
    std::string out, err;
    int status = -1;
};

struct RunCase {
    const char* name;
    std::vector<std::string> args;
    std::string input;  // standard input
    std::string out, err;
    int status = 0;
};

// zekt runs inside a scratch directory so that messages carry short names;
// its streams go through files.
class ZektCli : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(scratch_.path().empty());
        dir_ = scratch_.path();
    }

    void file(const std::string& name, std::string_view bytes) { writeFile(dir_ / name, bytes); }

    // Arguments are single-quoted for the shell; none of them holds a quote.
    Outcome zekt(const std::vector<std::string>& args, std::string_view input = {}, bool toDevFull = false) {
        writeFile(dir_ / ".stdin", input);
        std::string command = "cd '" + dir_.string() + "' && '" + ZEKT_BINARY + "'";
        for (const std::string& a : args) command += " '" + a + "'";
        command += toDevFull ? " <.stdin >/dev/full 2>.stderr" : " <.stdin >.stdout 2>.stderr";
        const int status = std::system(command.c_str());
        return {toDevFull ? "" : readFile(dir_ / ".stdout"), readFile(dir_ / ".stderr"),
                WIFEXITED(status) ? WEXITSTATUS(status) : -1};
    }

    // A bash script run in the scratch directory, with ZEKT naming the
    // binary; its standard output and status.
    Outcome bash(const std::string& script) {
        writeFile(dir_ / ".script", "ZEKT='" + std::string(ZEKT_BINARY) + "'\n" + script);
        const std::string command = "cd '" + dir_.string() + "' && bash .script >.stdout 2>.stderr";
        const int status = std::system(command.c_str());
        return {readFile(dir_ / ".stdout"), readFile(dir_ / ".stderr"),
                WIFEXITED(status) ? WEXITSTATUS(status) : -1};
    }

    void expectRuns(const std::vector<RunCase>& cases) {
        for (const RunCase& c : cases) {
            const Outcome r = zekt(c.args, c.input);
            EXPECT_EQ(r.out, c.out) << c.name;
            EXPECT_EQ(r.err, c.err) << c.name;
            EXPECT_EQ(r.status, c.status) << c.name;
        }
    }

    // Hidden files in the scratch directory other than the test's own.
    std::vector<std::string> temporaryFiles() {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            const std::string name = entry.path().filename();
            if (name[0] == '.' && name != ".stdin" && name != ".stdout" && name != ".stderr" &&
                name != ".script")
                found.push_back(name);
        }
        return found;
    }

    // Runs zekt on args in the scratch directory, sig raised inside it as
    // it reads its file past the first block (see signal_on_read.cpp) and
    // started with ignored ignored (if not 0); its wait status. No core
    // file is written.
    int killHalfWay(int sig, const std::vector<std::string>& args, int ignored = 0, long past = 0) {
        const pid_t child = fork();
        if (child == 0) {
            for (int s : terminatingSignals) std::signal(s, s == ignored ? SIG_IGN : SIG_DFL);
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            std::vector<const char*> argv{ZEKT_BINARY};
            for (const std::string& a : args) argv.push_back(a.c_str());
            argv.push_back(nullptr);
            // The sanitizers' runtime would insist on coming first.
            const char* asan = std::getenv("ASAN_OPTIONS");
            const std::string asanOptions =
                (asan ? std::string(asan) + ":" : "") + "verify_asan_link_order=0";
            if (chdir(dir_.c_str()) == 0 && setenv("LD_PRELOAD", SIGNAL_ON_READ, 1) == 0 &&
                setenv("ZEKT_TEST_SIGNAL", std::to_string(sig).c_str(), 1) == 0 &&
                setenv("ZEKT_TEST_SIGNAL_PAST", std::to_string(past).c_str(), 1) == 0 &&
                setenv("ASAN_OPTIONS", asanOptions.c_str(), 1) == 0)
                execv(ZEKT_BINARY, const_cast<char* const*>(argv.data()));
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return status;
    }

    zekt::testing::ScratchDir scratch_;
    fs::path dir_;
};

// The prefix that runs a command as nobody, who owns nothing here; empty
// unless the tests run as root and setpriv works.
// A command prefix that preloads the read seam raising sig inside zekt;
// the sanitizers' runtime would otherwise insist on coming first.
std::string signalSeam(int sig) {
    const char* asan = std::getenv("ASAN_OPTIONS");
    return "env LD_PRELOAD='" + std::string(SIGNAL_ON_READ) + "' ZEKT_TEST_SIGNAL=" + std::to_string(sig) +
           " ASAN_OPTIONS='" + (asan ? std::string(asan) + ":" : "") + "verify_asan_link_order=0' ";
}

std::string asNobody() {
    if (geteuid() != 0) return "";
    return std::system("setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null") == 0
               ? "setpriv --reuid=65534 --regid=65534 --clear-groups "
               : "";
}

const std::string banner =
    "zekt - Japanese Code Converter:                          Version  2.2\nCopyright (C) the zekt authors";
const std::string optionError = "zekt: option error! Try, \n\"zekt -h\n\"";

// What the standard error holds after an option error on option.
std::string unknownOption(const std::string& option) {
    return "zekt: unknown option: " + option + "\n" + optionError;
}

// あ in EUC, and what a default run (SJIS, CR+LF) or -e makes of it.
const std::string eucA = "\xA4\xA2\n";
const std::string sjisA = "\x82\xA0\r\n";
const std::string eucACrLf = "\xA4\xA2\r\n";

// Help and version end the run before later arguments or stdin are looked at;
// an option error ends it too, after the files before it.
TEST_F(ZektCli, HelpVersionAndOptionErrors) {
    file("a.txt", eucA);
    const std::string help = readFile(ZEKT_HELP_TEXT);
    expectRuns({
        {"-h", {"-h", "missing.txt", "-bogus"}, eucA, help, ""},
        {"-help", {"-help"}, eucA, help, ""},
        {"-v has no final LF", {"-v", "missing.txt"}, eucA, banner, ""},
        {"-version", {"-version"}, eucA, banner, ""},
        {"--help", {"--help", "-bogus"}, eucA, help, ""},
        {"--version ends its line", {"--version", "missing.txt"}, eucA, banner + "\n", ""},
        {"no third dash", {"---help"}, eucA, "", unknownOption("---help"), 255},
        {"case matters", {"-Unix"}, eucA, "", unknownOption("-Unix"), 255},
        {"trailing blank", {"-e "}, eucA, "", unknownOption("-e "), 255},
        {"trailing letters", {"-lfx"}, eucA, "", unknownOption("-lfx"), 255},
        {"later files untouched", {"-E", "-zz", "a.txt"}, "", "", unknownOption("-zz"), 255},
        {"earlier files converted", {"a.txt", "-bogus", "a.txt"}, "", sjisA, unknownOption("-bogus"), 255},
    });
}

TEST_F(ZektCli, ArgumentsApplyLeftToRight) {
    for (const char* name : {"a.txt", "b.txt", "-c", "-e"}) file(name, eucA);
    fs::create_directory(dir_ / "sub");
    expectRuns({
        {"no arguments read stdin", {}, eucA, sjisA, ""},
        {"settings hold only for later files", {"a.txt", "-e", "b.txt"}, "", sjisA + eucACrLf, ""},
        {"unix sets code and line end", {"-unix", "a.txt"}, "", eucA, ""},
        {"UNIX only forces the input", {"-UNIX", "a.txt"}, "", sjisA, ""},
        {"JIS mode waits for -j", {"-jROMAJI", "-e", "a.txt"}, "", eucACrLf, ""},
        {"-c holds for later files", {"a.txt", "-c", "b.txt"}, "", sjisA + "b.txt: EUC [LF] \n", ""},
        {"-f names a file -c", {"-f", "-c"}, "", sjisA, ""},
        {"-- names every later file", {"--", "-e", "-e", "a.txt"}, "", sjisA + sjisA + sjisA, ""},
        {"-f covers one argument", {"-f", "-c", "-c", "a.txt"}, "", sjisA + "a.txt: EUC [LF] \n", ""},
        {"-f last reads stdin", {"-c", "-f"}, eucA, "(stdin): EUC [LF] \n", ""},
        {"-- last reads stdin", {"-e", "-lf", "--"}, eucA, eucA, ""},
        {"a named file means stdin is not read", {"a.txt"}, "stdin\n", sjisA, ""},
        {"missing file, run goes on",
         {"missing.txt", "a.txt"},
         "",
         sjisA,
         "missing.txt: No such a file.\n",
         1},
        {"missing file under a file", {"a.txt/x"}, "", "", "a.txt/x: No such a file.\n", 1},
        {"a directory", {"-c", "sub", "a.txt"}, "", "a.txt: EUC [LF] \n", "sub: Cannot open a file.\n", 1},
        {"empty name is no stdin", {"-c", ""}, eucA, "", ": No such a file.\n", 1},
    });
}

// "-" names the standard input among the files, as in other filters; after
// -f or -- it is a file of that name.
TEST_F(ZektCli, DashIsTheStandardInput) {
    file("a.txt", eucA);
    file("-", "y\n");
    expectRuns({
        {"between files", {"a.txt", "-", "a.txt"}, "x\n", sjisA + "x\r\n" + sjisA, ""},
        {"named (stdin)", {"-c", "-"}, eucA, "(stdin): EUC [LF] \n", ""},
        {"a second - finds its end",
         {"-c", "-", "-"},
         eucA,
         "(stdin): EUC [LF] \n(stdin): ASCII [No RET] \n",
         ""},
        {"-overwrite still writes stdout", {"-overwrite", "-e", "-lf", "-"}, sjisA, eucA, ""},
        {"after -f a file", {"-f", "-"}, eucA, "y\r\n", ""},
        {"after -- a file", {"-e", "--", "-"}, eucA, "y\r\n", ""},
    });
}

// Options after the last file apply to nothing: said on stderr, status kept.
TEST_F(ZektCli, OptionsAfterTheLastFileAreNamed) {
    file("a.txt", eucA);
    const std::string warning = "zekt: options after the last file name apply to no file:";
    expectRuns({
        {"after a file", {"a.txt", "-u8", "-lf"}, "", sjisA, warning + " -u8 -lf\n"},
        {"after -", {"-", "-e"}, eucA, sjisA, warning + " -e\n"},
        {"a trailing --", {"a.txt", "--"}, "", sjisA, warning + " --\n"},
        {"status kept",
         {"missing.txt", "-e"},
         "",
         "",
         "missing.txt: No such a file.\n" + warning + " -e\n",
         1},
        {"no file: they apply to stdin", {"-e", "-lf"}, eucA, eucA, ""},
        {"-f makes the last word a file", {"a.txt", "-f", "a.txt"}, "", sjisA + sjisA, ""},
        {"help ends the run first", {"a.txt", "-h"}, "", sjisA + readFile(ZEKT_HELP_TEXT), ""},
    });
}

TEST_F(ZektCli, BinaryInputIsRefused) {
    file("bin.dat", std::string("ab\0cd\n", 6));
    std::string late(1501, 'a');
    late.back() = '\x07';  // a binary byte in the second block
    file("late.dat", late);
    file("a.txt", eucA);
    expectRuns({
        {"check prints no check line",
         {"-c", "bin.dat", "a.txt"},
         "",
         "a.txt: EUC [LF] \n",
         "bin.dat: Not a text file.\n",
         1},
        {"convert writes nothing", {"bin.dat", "a.txt"}, "", sjisA, "bin.dat: Not a text file.\n", 1},
        {"blocks before the refusal stay written",
         {"late.dat"},
         "",
         std::string(1024, 'a'),
         "late.dat: Not a text file.\n",
         1},
        {"stdin", {"-c"}, "\x7F", "", "(stdin): Not a text file.\n", 1},
        {"-nb lets it through", {"-nb", "-c", "late.dat"}, "", "late.dat: ASCII [No RET] \n", ""},
    });
}

// Detection through both ways in: a named file (block reads) and the
// standard input. The first 8-bit byte is the last of the first block.
TEST_F(ZektCli, DetectionOfFileAndStdin) {
    const std::string hashes(1023, '#');
    const std::pair<std::string, std::string> cases[] = {
        {hashes + "日本語のテキスト\n", hashes + "日本語のテキスト\n"},
        {hashes + "\x8E\x8E\x8C\xB1\x82\xC5\x82\xB7\n", hashes + "試験です\n"},
        {"Caf\xC3\xA9 M\xC3\xBCnchen \xE6\x81\xAF\n", "Café München 息\n"},
        {"\xEF\xBB\xBF\xE6\x97\xA5\x82\n", "日〓\n"},
    };
    for (const auto& [input, output] : cases) {
        file("a.txt", input);
        EXPECT_EQ(zekt({"-u8", "-lf", "a.txt"}).out, output);
        EXPECT_EQ(zekt({"-u8", "-lf"}, input).out, output);
    }
}

// Check lines and help are still buffered at the end of the run: their loss
// must show too. The large input fails while converting.
TEST_F(ZektCli, WriteFailureOnStdoutEndsWithStatus255) {
    file("a.txt", eucA);
    // Two whole reads, whose output goes out by itself, past stdio.
    file("big.txt", std::string(131072, 'x'));
    const std::vector<std::string> argLists[] = {
        {"a.txt", "a.txt"}, {"-c", "a.txt"}, {"-h"}, {}, {"big.txt"}};
    for (const auto& args : argLists) {
        const Outcome r = zekt(args, std::string(100000, 'x'), true);
        EXPECT_EQ(r.err, "(stdout): Cannot write a file.\n") << args.size();  // once: the run stops
        EXPECT_EQ(r.status, 255) << args.size();
    }
}

// A failed write stops the run at once, even with endless input; a read
// error gives status 255 once the run is over; check lines and messages
// come out in the order of the files.
TEST_F(ZektCli, FailuresAndOrder) {
    file("a.txt", eucA);
    file("b.txt", eucA);
    const Outcome full = bash("yes | timeout 20 \"$ZEKT\" >/dev/full; echo $?");
    EXPECT_EQ(full.out, "255\n");
    EXPECT_EQ(full.err, "(stdout): Cannot write a file.\n");
    const Outcome pipe =
        bash("trap '' PIPE; yes 2>/dev/null | timeout 20 \"$ZEKT\" | head -c 4; echo \" ${PIPESTATUS[1]}\"");
    EXPECT_EQ(pipe.out, "y\r\ny 255\n");
    EXPECT_EQ(pipe.err, "(stdout): Cannot write a file.\n");
    const Outcome directory = bash("\"$ZEKT\" -c < .; echo $?");
    EXPECT_EQ(directory.out, "255\n");
    EXPECT_EQ(directory.err, "(stdin): Cannot read a file.\n");
    const Outcome order = bash("\"$ZEKT\" -c a.txt nosuch b.txt > log 2>&1; cat log");
    EXPECT_EQ(order.out, "a.txt: EUC [LF] \nnosuch: No such a file.\nb.txt: EUC [LF] \n");
    // A small output waits in a buffer, a large one is written at once:
    // still in the order of the files, and the check line after them.
    file("big.txt", std::string(300000, 'x'));
    const Outcome mixed = bash("\"$ZEKT\" -lf a.txt big.txt b.txt -c a.txt > log; cat log");
    EXPECT_EQ(mixed.out, "\x82\xA0\n" + std::string(300000, 'x') + "\x82\xA0\na.txt: EUC [LF] \n");
}

// -overwrite converts each file named after it where it lies, through a
// link, leaving alone what is refused (status 1) or cannot be written (there
// the run ends with 255). Modes and times kept: FileProcessing.
TEST_F(ZektCli, Overwrite) {
    fs::create_directories(dir_ / "docs/sub");
    file("docs/euc.txt", eucA);
    file("docs/sub/jis.txt", "\x1B$B$\"\x1B(B\n");
    file("docs/sjis.txt", sjisA);
    file("docs/bin.dat", std::string("a\0b", 3));
    fs::create_symlink("euc.txt", dir_ / "docs/link.txt");

    const Outcome tree = bash("\"$ZEKT\" -overwrite $(find docs -type f | sort); echo $?");
    EXPECT_EQ(tree.out, "1\n");
    EXPECT_EQ(tree.err, "docs/bin.dat: Not a text file.\n");
    EXPECT_EQ(readFile(dir_ / "docs/euc.txt"), sjisA);
    EXPECT_EQ(readFile(dir_ / "docs/sub/jis.txt"), sjisA);
    EXPECT_EQ(readFile(dir_ / "docs/bin.dat"), std::string("a\0b", 3));

    expectRuns({{"through a link", {"-overwrite", "-u8", "-lf", "docs/link.txt"}, "", "", ""}});
    EXPECT_TRUE(fs::is_symlink(dir_ / "docs/link.txt"));
    EXPECT_EQ(readFile(dir_ / "docs/euc.txt"), "\xE3\x81\x82\n");

    // A folder that takes no new file, as a user who may not write there.
    fs::create_directory(dir_ / "ro");
    file("ro/a.txt", eucA);
    fs::permissions(dir_, fs::perms::all);
    fs::permissions(dir_ / "ro", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const Outcome readOnly = bash(asNobody() + "\"$ZEKT\" -overwrite ro/a.txt; echo $?");
    EXPECT_EQ(readOnly.out, "255\n");
    EXPECT_EQ(readOnly.err, "ro/a.txt: Cannot write a file.\n");
    EXPECT_EQ(readFile(dir_ / "ro/a.txt"), eucA);
    fs::permissions(dir_ / "ro", fs::perms::owner_all);
}

// Anything but a regular file is left as it is under -overwrite, the run
// going on to the end and ending with 255. The device is made here, not
// /dev/null, so that a fault cannot break the machine.
TEST_F(ZektCli, OverwriteTakesRegularFilesOnly) {
    file("a.txt", eucA);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s/sock", dir_.c_str());
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    close(sock);
    const Outcome r = bash(
        "mkfifo fifo && ln -s fifo to-fifo\n"
        "dev=/dev/null; [ \"$(id -u)\" = 0 ] && mknod dev c 1 3 && dev=dev\n"
        "timeout 10 \"$ZEKT\" -overwrite fifo to-fifo sock $dev a.txt 2>&1 | sed \"s|^$dev:|DEV:|\"\n"
        "echo \"${PIPESTATUS[0]}\" $(stat -c %F fifo to-fifo sock $dev) $(stat -L -c %F to-fifo)");
    EXPECT_EQ(r.out,
              "fifo: Not a regular file.\nto-fifo: Not a regular file.\nsock: Not a regular file.\n"
              "DEV: Not a regular file.\n255 fifo symbolic link socket character special file fifo\n");
    EXPECT_EQ(readFile(dir_ / "a.txt"), sjisA);
}

// Owner, group, mode, ACL and extended attributes survive; a group the
// user may not give is dropped together with the group's and others' bits.
TEST_F(ZektCli, OverwriteKeepsMetadata) {
    const std::string nobody = asNobody();
    if (nobody.empty()) GTEST_SKIP() << "needs root and setpriv to act as another user";
    fs::permissions(dir_, fs::perms::all);
    const Outcome r = bash(
        "mkdir own && chown nobody:nogroup own\n"
        "for f in acl group; do printf '\\xa4\\xa2\\n' > own/$f.txt; done\n"
        "chown nobody:nogroup own/acl.txt && chmod 0600 own/acl.txt && setfacl -m u:daemon:r own/acl.txt\n"
        "setfattr -n user.comment -v kept own/acl.txt\n"
        "chown nobody:users own/group.txt && chmod 2664 own/group.txt\n" +
        nobody +
        "\"$ZEKT\" -overwrite -u8 -lf own/acl.txt own/group.txt; echo $?\n"
        "stat -c '%a %U %G' own/*.txt; getfacl -cp own/acl.txt; getfattr --only-values -n user.comment "
        "own/acl.txt; echo\n"
        "od -An -tx1 own/group.txt\n");
    EXPECT_EQ(r.out,
              "0\n640 nobody nogroup\n600 nobody nogroup\n"
              "user::rw-\nuser:daemon:r--\ngroup::---\nmask::r--\nother::---\n\nkept\n e3 81 82 0a\n");
    EXPECT_EQ(r.err, "");
}

// A group member who does not own the file cannot give it its owner, but
// can still give it its group: the group, and the group's bits, are kept.
TEST_F(ZektCli, OverwriteKeepsTheGroupOfAMemberWhoIsNotTheOwner) {
    if (asNobody().empty()) GTEST_SKIP() << "needs root and setpriv to act as another user";
    fs::permissions(dir_, fs::perms::all);
    const Outcome r = bash(
        "mkdir shared && chown nobody:nogroup shared\n"
        "printf '\\xa4\\xa2\\n' > shared/a.txt && chown root:users shared/a.txt && chmod 0664 shared/a.txt\n"
        "setpriv --reuid=65534 --regid=65534 --groups=\"$(getent group users | cut -d: -f3)\" "
        "\"$ZEKT\" -overwrite -u8 -lf shared/a.txt; echo $?\n"
        "stat -c '%a %U %G' shared/a.txt; od -An -tx1 shared/a.txt\n");
    EXPECT_EQ(r.out, "0\n664 nobody users\n e3 81 82 0a\n");
    EXPECT_EQ(r.err, "");
}

// A name as long as the file system takes (255 bytes) is converted in place.
TEST_F(ZektCli, OverwriteLongestName) {
    const std::string name = std::string(251, 'n') + ".txt";
    file(name, eucA);
    expectRuns({{"255 bytes", {"-overwrite", name}, "", "", ""}});
    EXPECT_EQ(readFile(dir_ / name), sjisA);
}

// Under a file-size limit the write fails (the original stays); killed
// half-way by a signal, zekt ends as the signal ends it and leaves no
// temporary file either way, neither its own nor those of the files before
// it that wait to be put in place (which stay old or new).
TEST_F(ZektCli, OverwriteInterruptedLeavesNothing) {
    std::string text;
    for (int i = 0; i < 400000; ++i) text += "\xB4\xC1\xBB\xFA\xA4\xCE line\n";  // 6 MB of "漢字の"
    file("big.txt", text);
    const Outcome limited = bash("prlimit --fsize=100000 \"$ZEKT\" -overwrite -u8 big.txt; echo $?");
    EXPECT_EQ(limited.out, "255\n");
    EXPECT_EQ(limited.err, "big.txt: Cannot write a file.\n");
    EXPECT_EQ(temporaryFiles(), std::vector<std::string>{});

    // same.txt needs no change: its temporary file goes before the signal.
    for (int sig : terminatingSignals) {
        file("a.txt", eucA);
        file("same.txt", "\x1B$B$\"\x1B(B\n");
        file("b.txt", eucA);
        const int status = killHalfWay(
            sig, {"-overwrite", "-xNOWIN", "-j", "-lf", "a.txt", "same.txt", "b.txt", "big.txt"}, 0, 100000);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << strsignal(sig) << " " << status;
        EXPECT_EQ(temporaryFiles(), std::vector<std::string>{}) << strsignal(sig);
        for (const char* name : {"a.txt", "b.txt"}) {
            const std::string now = readFile(dir_ / name);
            EXPECT_TRUE(now == eucA || now.starts_with("\x1B$B$\"\x1B(B")) << strsignal(sig) << " " << name;
        }
    }
    EXPECT_EQ(readFile(dir_ / "big.txt"), text);
}

// A signal ignored when zekt starts (nohup ignores SIGHUP) stays ignored
// through an in-place conversion, which then finishes.
TEST_F(ZektCli, OverwriteKeepsIgnoredSignalsIgnored) {
    std::string text, converted;
    for (int i = 0; i < 3000; ++i) {
        text += "\xB4\xC1\xBB\xFA line\n";  // 漢字 in EUC, several blocks of it
        converted += "\xE6\xBC\xA2\xE5\xAD\x97 line\n";
    }
    for (int sig : terminatingSignals) {
        file("a.txt", text);
        const int status = killHalfWay(sig, {"-overwrite", "-u8", "-lf", "a.txt"}, sig);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << strsignal(sig) << " " << status;
        EXPECT_EQ(readFile(dir_ / "a.txt"), converted) << strsignal(sig);
        EXPECT_EQ(temporaryFiles(), std::vector<std::string>{}) << strsignal(sig);
    }
}

// The temporary file cannot be renamed nor removed in an append-only
// folder, nor made in an immutable one: such a folder is refused before
// anything is written. zekt is killed (SIGKILL, no clean-up) as it reads
// past its first block, so that a temporary file made before the refusal
// would stay. A flag that does not stop a rename changes nothing.
TEST_F(ZektCli, OverwriteRefusesAFolderThatKeepsItsNames) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "\xB4\xC1\xBB\xFA line\n";
    const std::pair<const char*, bool> cases[] = {{"a", true}, {"i", true}, {"A", false}};
    for (const auto& [flags, refused] : cases) {
        zekt::testing::FlaggedFolder folder(flags, [&](const fs::path& f) { writeFile(f / "a.txt", text); });
        if (folder.path().empty())
            GTEST_SKIP() << "chattr +" << flags
                         << " failed under both the temporary folder and the build tree "
                         << "(file systems without file flags, or no chattr)";
        const std::string seam = refused ? signalSeam(SIGKILL) : "";
        const Outcome r = bash("cd '" + folder.path().parent_path().string() + "'\n" + seam +
                               "\"$ZEKT\" -overwrite -u8 folder/a.txt; echo $?");
        EXPECT_EQ(r.out, refused ? "255\n" : "0\n") << flags;
        EXPECT_EQ(r.err, refused ? "folder/a.txt: Cannot write a file.\n" : "") << flags;
        EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"a.txt"}) << flags;
        EXPECT_EQ(readFile(folder.path() / "a.txt") == text, refused) << flags;
    }
}

// In a sticky folder only the file's owner, the folder's owner or root may
// replace a name: another user's file is refused before anything is written
// (zekt killed past its first block, as above); the others are converted.
TEST_F(ZektCli, OverwriteFollowsTheStickyFolderRule) {
    const std::string nobody = asNobody();
    if (nobody.empty()) GTEST_SKIP() << "needs root and setpriv to act as another user";
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "\xB4\xC1\xBB\xFA line\n";
    struct Case {
        const char* name;
        const char* setup;  // run in the folder "f", made afresh, holding a.txt, as root
        bool asRoot, refused;
    };
    const Case cases[] = {
        {"another's file", "chmod 1777 f", false, true},
        {"own file", "chmod 1777 f && chown nobody f/a.txt", false, false},
        {"own folder", "chmod 1777 f && chown nobody f", false, false},
        {"not sticky", "chmod 0777 f", false, false},
        {"root, owning neither", "chmod 1777 f && chown nobody f && chown daemon f/a.txt", true, false},
    };
    fs::permissions(dir_, fs::perms::all);
    for (const Case& c : cases) {
        fs::remove_all(dir_ / "f");
        fs::create_directory(dir_ / "f");
        file("f/a.txt", text);
        fs::permissions(dir_ / "f/a.txt", fs::perms::all & ~fs::perms::owner_exec & ~fs::perms::group_exec &
                                              ~fs::perms::others_exec);
        const std::string seam = c.refused ? signalSeam(SIGKILL) : "";
        const Outcome r = bash(std::string(c.setup) + "\n" + (c.asRoot ? "" : nobody) + seam +
                               "\"$ZEKT\" -overwrite -u8 f/a.txt; echo $?");
        EXPECT_EQ(r.out, c.refused ? "255\n" : "0\n") << c.name;
        EXPECT_EQ(r.err, c.refused ? "f/a.txt: Cannot write a file.\n" : "") << c.name;
        EXPECT_EQ(namesIn(dir_ / "f"), std::vector<std::string>{"a.txt"}) << c.name;
        EXPECT_EQ(readFile(dir_ / "f/a.txt") == text, c.refused) << c.name;
    }
}

// A file with two names is replaced under the one converted: the other
// name keeps the old bytes and the old inode.
TEST_F(ZektCli, OverwriteLeavesOtherHardLinksAlone) {
    file("a.txt", eucA);
    fs::create_hard_link(dir_ / "a.txt", dir_ / "b.txt");
    struct stat before {};
    ASSERT_EQ(stat((dir_ / "b.txt").c_str(), &before), 0);
    expectRuns({{"one name", {"-overwrite", "a.txt"}, "", "", ""}});
    struct stat a {
    }, b{};
    ASSERT_EQ(stat((dir_ / "a.txt").c_str(), &a), 0);
    ASSERT_EQ(stat((dir_ / "b.txt").c_str(), &b), 0);
    EXPECT_EQ(readFile(dir_ / "a.txt"), sjisA);
    EXPECT_EQ(readFile(dir_ / "b.txt"), eucA);
    EXPECT_EQ(b.st_ino, before.st_ino);
    EXPECT_EQ(b.st_nlink, 1u);
    EXPECT_NE(a.st_ino, before.st_ino);
}

// Short of memory at any point, zekt reports it and ends with 255; it
// never aborts, nor passes the file over as unopenable.
TEST_F(ZektCli, ExhaustedMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer cannot run under an address-space limit";
#endif
    file("a.txt", eucA);
    // From the least address space zekt starts and answers -v in (found
    // coarsely, then in small steps), up in small steps: a conversion needs
    // more, and the files are the first to miss it.
    const Outcome r = bash(
        "limit=2000; until prlimit --as=${limit}000 \"$ZEKT\" -v >/dev/null 2>&1; do\n"
        "  limit=$((limit + 256)); [ $limit -gt 64000 ] && exit 1; done\n"
        "limit=$((limit - 256)); until prlimit --as=${limit}000 \"$ZEKT\" -v >/dev/null 2>&1; do\n"
        "  limit=$((limit + 16)); done\n"
        "for step in $(seq 0 40); do l=$((limit + step * 16))000; cp a.txt b.txt\n"
        "  printf '\\xb0\\xa1\\n' | prlimit --as=$l \"$ZEKT\" -u8 >/dev/null 2>err; echo \"$? $(cat err)\"\n"
        "  prlimit --as=$l \"$ZEKT\" -overwrite -u8 b.txt 2>err; echo \"$? $(cat err)\"\n"
        "done | grep -v '^127 ' | sort | uniq -c | sed 's/^ *[0-9]* //'");
    const std::string full = "0 \n255 (stdin): No enough memory.\n255 b.txt: No enough memory.\n";
    EXPECT_EQ(r.out, full);
}

// 0 when every input went through; 1 when one was missing, could not be
// opened or was not text; 255 (first) for what ended or spoilt the run.
TEST_F(ZektCli, ExitStatus) {
    file("a.txt", eucA);
    file("bin.dat", std::string("ab\0cd\n", 6));
    std::string late(1501, 'a');
    late.back() = '\x07';
    file("late.dat", late);
    file("emoji.txt", "\xF0\x9F\x98\x80\n");
    fs::create_directory(dir_ / "sub");
    fs::create_symlink("loop", dir_ / "loop");
    const std::string lossy =
        "emoji.txt: 1 character has no code in the output; the file is left as it was.\n";
    expectRuns({
        {"every input converted", {"a.txt", "a.txt"}, "", sjisA + sjisA, ""},
        {"a missing file", {"missing.txt"}, "", "", "missing.txt: No such a file.\n", 1},
        {"missing, then converted", {"missing.txt", "a.txt"}, "", sjisA, "missing.txt: No such a file.\n", 1},
        {"converted, then missing", {"a.txt", "missing.txt"}, "", sjisA, "missing.txt: No such a file.\n", 1},
        {"a directory cannot be opened", {"sub"}, "", "", "sub: Cannot open a file.\n", 1},
        {"a link loop cannot be opened", {"loop", "a.txt"}, "", sjisA, "loop: Cannot open a file.\n", 1},
        {"binary, the blocks before written",
         {"late.dat"},
         "",
         std::string(1024, 'a'),
         "late.dat: Not a text file.\n",
         1},
        {"binary in check mode", {"-c", "bin.dat"}, "", "", "bin.dat: Not a text file.\n", 1},
        {"binary standard input", {}, "a\x07", "", "(stdin): Not a text file.\n", 1},
        {"-nb lets binary through", {"-nb", "bin.dat"}, "", "abcd\r\n", ""},  // NUL dropped
        {"help after a missing file",
         {"missing.txt", "-h"},
         "",
         readFile(ZEKT_HELP_TEXT),
         "missing.txt: No such a file.\n",
         1},
        {"missing, then an option error",
         {"missing.txt", "-bogus"},
         "",
         "",
         "missing.txt: No such a file.\n" + unknownOption("-bogus"),
         255},
        {"in place: missing", {"-overwrite", "missing.txt"}, "", "", "missing.txt: No such a file.\n", 1},
        {"in place: binary", {"-overwrite", "bin.dat"}, "", "", "bin.dat: Not a text file.\n", 1},
        {"in place: a lost character, then missing",
         {"-overwrite", "-s", "emoji.txt", "missing.txt"},
         "",
         "",
         lossy + "missing.txt: No such a file.\n",
         255},
        {"missing, then in place a lost character",
         {"missing.txt", "-overwrite", "-s", "emoji.txt"},
         "",
         "",
         "missing.txt: No such a file.\n" + lossy,
         255},
    });
    EXPECT_EQ(readFile(dir_ / "bin.dat"), std::string("ab\0cd\n", 6));
    EXPECT_EQ(readFile(dir_ / "emoji.txt"), "\xF0\x9F\x98\x80\n");

    // The refusals of -overwrite that gave 255 keep it beside a missing file.
    const Outcome fifo = bash("mkfifo fifo; timeout 10 \"$ZEKT\" missing.txt -overwrite fifo; echo $?");
    EXPECT_EQ(fifo.out, "255\n");
    EXPECT_EQ(fifo.err, "missing.txt: No such a file.\nfifo: Not a regular file.\n");

    // A refused input no longer passes for success, so this leaves bin.dat.
    const Outcome replace = bash("\"$ZEKT\" -u8 bin.dat > out && mv out bin.dat; echo $?");
    EXPECT_EQ(replace.out, "1\n");
    EXPECT_EQ(readFile(dir_ / "bin.dat"), std::string("ab\0cd\n", 6));
}

// The standard output appended to (or emptied into) an input: that input is
// refused with nothing written, the run goes on, and the status is 255. The
// file-size limit keeps a fault from filling the disk.
TEST_F(ZektCli, OutputOntoAnInput) {
    const std::string utf8A = "\xE3\x81\x82\n";
    struct Case {
        const char* name;
        std::string command;
        std::string err, status;
        std::string file, content;  // what a file holds afterwards
    };
    const std::string refused = ": Input file is output file.\n";
    const Case cases[] = {
        {"appended to", "-u8 -lf a.txt b.txt >> a.txt", "a.txt" + refused, "255", "a.txt", eucA + utf8A},
        {"emptied into", "-u8 -lf b.txt a.txt > a.txt", "a.txt" + refused, "255", "a.txt", utf8A},
        {"through a hard link", "-u8 -lf hard.txt b.txt >> a.txt", "hard.txt" + refused, "255", "a.txt",
         eucA + utf8A},
        {"through a symbolic link", "-u8 -lf sym.txt >> a.txt", "sym.txt" + refused, "255", "a.txt", eucA},
        {"the standard input", "-u8 -lf < a.txt >> a.txt", "(stdin)" + refused, "255", "a.txt", eucA},
        {"- among the files", "-u8 -lf b.txt - < a.txt >> a.txt", "(stdin)" + refused, "255", "a.txt",
         eucA + utf8A},
        {"another file", "-u8 -lf a.txt >> b.txt", "", "0", "b.txt", eucA + utf8A},
        {"a check writes nothing", "-c a.txt >> a.txt", "", "0", "a.txt", eucA + "a.txt: EUC [LF] \n"},
        {"in place the output is the file", "-overwrite -u8 -lf a.txt >> a.txt", "", "0", "a.txt", utf8A},
        {"a device is no file", "/dev/null a.txt > /dev/null", "", "0", "a.txt", eucA},
    };
    for (const Case& c : cases) {
        file("a.txt", eucA);
        file("b.txt", eucA);
        fs::remove(dir_ / "hard.txt");
        fs::remove(dir_ / "sym.txt");
        fs::create_hard_link(dir_ / "a.txt", dir_ / "hard.txt");
        fs::create_symlink("a.txt", dir_ / "sym.txt");
        const Outcome r = bash("ulimit -f 100\n\"$ZEKT\" " + c.command + "; echo $?");
        EXPECT_EQ(r.err, c.err) << c.name;
        EXPECT_EQ(r.out, c.status + "\n") << c.name;
        EXPECT_EQ(readFile(dir_ / c.file), c.content) << c.name;
    }
}

// After --, every argument is a file name, so a glob in a folder holding
// files named like options converts them all to the standard output; ./*
// does the same. -f still covers only the next argument.
TEST_F(ZektCli, DoubleDashEndsTheOptions) {
    fs::create_directory(dir_ / "folder");
    for (const char* name : {"folder/-overwrite", "folder/-e", "folder/a.txt", "-c", "-h", "a.txt"})
        file(name, eucA);
    const std::string utf8A = "\xE3\x81\x82\n";
    const Outcome glob = bash("export LC_ALL=C\ncd folder && \"$ZEKT\" -u8 -lf -- *; echo \" $?\"");
    EXPECT_EQ(glob.out, utf8A + utf8A + utf8A + " 0\n");
    EXPECT_EQ(glob.err, "");
    for (const char* name : {"folder/-overwrite", "folder/-e", "folder/a.txt"})
        EXPECT_EQ(readFile(dir_ / name), eucA) << name;
    const Outcome dotSlash = bash("export LC_ALL=C\ncd folder && \"$ZEKT\" -c ./*; echo \" $?\"");
    EXPECT_EQ(dotSlash.out, "./-e: EUC [LF] \n./-overwrite: EUC [LF] \n./a.txt: EUC [LF] \n 0\n");

    expectRuns({
        {"options before it hold",
         {"-c", "--", "-c", "a.txt"},
         "",
         "-c: EUC [LF] \n"
         "a.txt: EUC [LF] \n",
         ""},
        {"help is a file", {"--", "-h"}, "", sjisA, ""},
        {"-f and -- are files",
         {"--", "-f", "--", "a.txt"},
         "",
         sjisA,
         "-f: No such a file.\n--: No such a file.\n",
         1},
        {"a bad option is a file", {"--", "-bogus"}, "", "", "-bogus: No such a file.\n", 1},
        {"-f covers the next only", {"-f", "-c", "-e", "a.txt"}, "", sjisA + eucACrLf, ""},
    });
}

// An option error names the option as typed and, for a spelling of nkf or
// iconv, what zekt calls it; then the usual text, and nothing is converted.
TEST_F(ZektCli, OptionErrorsNameTheOption) {
    file("a.txt", eucA);
    const std::string codes = "the input and output code options (-E -S -J -U8 -U16, -e -s -j -u8 -u16)";
    const std::pair<std::string, std::string> cases[] = {
        {"-w", "-u8"},
        {"--utf8", "-u8"},
        {"-W", "-U8"},
        {"-g", "-c"},
        {"--guess", "-c"},
        {"-Lu", "-lf"},
        {"-Lw", "-crlf"},
        {"-Lm", "-cr"},
        {"--overwrite", "-overwrite"},
        {"--in-place", "-overwrite"},
        {"--in-place=.bak", "-overwrite"},
        {"--from-code", codes},
        {"--to-code", codes},
        {"--from-code=SHIFT_JIS", codes},
        {"--to-code=UTF-8", codes},
        // No hint: not one of those spellings, or only close to one.
        {"-t", ""},
        {"-wx", ""},
        {"-L", ""},
        {"-lu", ""},
        {"--from-codes", ""},
        {"-from-code", ""},
        {"--to-code-x=a", ""},
        // One word holding two settings, and the command line's own words
        // spelt as settings are not.
        {"-u8 -lf", ""},
        {"-u8\t", ""},
        {"-C", ""},
    };
    for (const auto& [option, use] : cases) {
        const std::string hint = use.empty() ? "" : "zekt: for that, use " + use + "\n";
        const Outcome r = zekt({option, "a.txt"});
        EXPECT_EQ(r.err, "zekt: unknown option: " + option + "\n" + hint + optionError) << option;
        EXPECT_EQ(r.out, "") << option;
        EXPECT_EQ(r.status, 255) << option;
    }
}

// Control characters in a name (a line feed, a tab, ESC, DEL) are shown as
// "?" in every line that names a file, so that a name cannot forge or break
// one; a blank and bytes from 0x80 up, UTF-8 or not, are shown as they are.
TEST_F(ZektCli, ControlCharactersInNamesAreShownAsQuestionMarks) {
    const std::string forged = "a.txt: SJIS [CRLF] \nsecret.txt";
    file(forged, eucA);
    file("tab\there", eucA);
    file("esc\x1B[31mred", eucA);
    file(
        "us\x1F"
        "del\x7F"
        "tilde~",
        eucA);
    file("blank \xE5\x90\x8D \x82\xA0 \x80", eucA);
    file("bin\r.dat", std::string("a\0b", 3));
    file("emoji\x01.txt", "\xF0\x9F\x98\x80\n");
    expectRuns({
        {"check lines",
         {"-c", forged, "tab\there", "esc\x1B[31mred",
          "us\x1F"
          "del\x7F"
          "tilde~",
          "blank \xE5\x90\x8D \x82\xA0 \x80"},
         "",
         "a.txt: SJIS [CRLF] ?secret.txt: EUC [LF] \ntab?here: EUC [LF] \nesc?[31mred: EUC [LF] \n"
         "us?del?tilde~: EUC [LF] \nblank \xE5\x90\x8D \x82\xA0 \x80: EUC [LF] \n",
         ""},
        {"a missing file", {"gone\n.txt"}, "", "", "gone?.txt: No such a file.\n", 1},
        {"a binary file", {"-c", "bin\r.dat"}, "", "", "bin?.dat: Not a text file.\n", 1},
        {"a substitute",
         {"-s", "-lf", "emoji\x01.txt"},
         "",
         "\x81\xAC\n",
         "emoji?.txt: 1 character replaced with the substitute mark.\n"},
        {"in place",
         {"-overwrite", "-s", "emoji\x01.txt"},
         "",
         "",
         "emoji?.txt: 1 character has no code in the output; the file is left as it was.\n",
         255},
    });
}

}  // namespace

// A character that becomes 〓 is reported after its file; in place, the file
// stays as it was and the run ends with 255.
TEST_F(ZektCli, SubstitutesAreReported) {
    const std::string emoji = "\xF0\x9F\x98\x80", geta = "\xE3\x80\x93", brokenBar = "\xC2\xA6";
    file("one.txt", emoji + "\n");
    file("two.txt", emoji + brokenBar + geta + "\n");
    file("kept.txt", geta + "\n");
    expectRuns({
        {"one",
         {"-s", "-lf", "one.txt"},
         "",
         "\x81\xAC\n",
         "one.txt: 1 character replaced with the substitute mark.\n"},
        {"a 〓 read is not counted",
         {"-s", "-lf", "two.txt"},
         "",
         "\x81\xAC\x81\xAC\x81\xAC\n",
         "two.txt: 2 characters replaced with the substitute mark.\n"},
        {"standard input",
         {"-U8", "-e"},
         "\xFF",
         "\xA2\xAE",
         "(stdin): 1 character replaced with the substitute mark.\n"},
        {"none", {"-s", "kept.txt"}, "", "\x81\xAC\r\n", ""},
        {"check mode", {"-c", "-s", "one.txt"}, "", "one.txt: UTF8 [LF] \n", ""},
        {"in place",
         {"-overwrite", "-s", "two.txt", "one.txt", "kept.txt"},
         "",
         "",
         "two.txt: 2 characters have no code in the output; the file is left as it was.\n"
         "one.txt: 1 character has no code in the output; the file is left as it was.\n",
         255},
    });
    EXPECT_EQ(readFile(dir_ / "two.txt"), emoji + brokenBar + geta + "\n");
    EXPECT_EQ(readFile(dir_ / "kept.txt"), "\x81\xAC\r\n");
}
