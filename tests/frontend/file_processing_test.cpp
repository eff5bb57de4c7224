// processFile over real files: named outputs replace their file only when
// everything succeeded, keep its mode and write through a link; a new one
// gets 0666 less the umask; in-place conversion keeps every mode bit; read
// and write failures, injected through the front end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>

#include "file_converter.h"
#include "file_replacement.h"
#include "flagged_folder.h"
#include "scratch_dir.h"

namespace zekt::testing {
namespace {

namespace fs = std::filesystem;

// The front end with its messages kept, and failures on demand, per file:
// the output fails once more than writeLimit bytes were asked for, and
// reading the file failingInput fails after readLimit bytes. What goes to
// the standard output is kept too, and that output may pretend to be the
// file standardOutputFile.
class TestConverter final : public FileConverter {
public:
    TestConverter()
        : FileConverter(
              [this](int stream, std::string_view text) { (stream == 1 ? errors : printed) += text; }) {}

    void processFile(bool check, const char* inputName, const char* outputName) override {
        written_ = read_ = 0;
        writeFailed_ = false;
        readFails_ = inputName != nullptr && failingInput == inputName;
        FileConverter::processFile(check, inputName, outputName);
    }

    std::string printed, errors, standardOutput;
    fs::path standardOutputFile;
    std::size_t writeLimit = SIZE_MAX, readLimit = 0;
    fs::path failingInput;
    std::function<void()> duringRead;  // at every read
    std::vector<int> readSizes;        // the most the first reads return

protected:
    void writeBlock(const std::uint8_t* data, std::size_t count) override {
        if (writingStandardOutput()) {
            standardOutput.append(reinterpret_cast<const char*>(data), count);
            return;
        }
        written_ += count;
        if (written_ > writeLimit)
            writeFailed_ = true;
        else
            FileConverter::writeBlock(data, count);
    }
    bool outputFailed() override { return writeFailed_ || FileConverter::outputFailed(); }
    bool standardOutputIs(dev_t device, ino_t inode) override {
        struct stat st {};
        return stat(standardOutputFile.c_str(), &st) == 0 && st.st_dev == device && st.st_ino == inode;
    }
    int readBlock(std::uint8_t* data, int capacity) override {
        if (duringRead) duringRead();
        if (reads_ < readSizes.size()) capacity = std::min(capacity, readSizes[reads_++]);
        if (!readFails_) return FileConverter::readBlock(data, capacity);
        if (read_ >= readLimit) return -1;
        const int n = FileConverter::readBlock(
            data, static_cast<int>(std::min<std::size_t>(capacity, readLimit - read_)));
        read_ += static_cast<std::size_t>(std::max(n, 0));
        return n;
    }

private:
    std::size_t written_ = 0, read_ = 0, reads_ = 0;
    bool writeFailed_ = false, readFails_ = false;
};

class FileProcessing : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(scratch_.path().empty());
        dir_ = scratch_.path();
    }

    fs::path file(const std::string& name, std::string_view bytes) {
        writeFile(dir_ / name, bytes);
        return dir_ / name;
    }
    // Names in the folder, hidden temporary files included.
    std::vector<std::string> names() {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(dir_))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }
    int run(TestConverter& conv, const std::vector<std::string>& options) {
        std::vector<const char*> argv{"zekt"};
        for (const std::string& option : options) argv.push_back(option.c_str());
        return conv.run(static_cast<int>(argv.size()), argv.data());
    }

    ScratchDir scratch_;
    fs::path dir_;
};

const std::string eucA = "\xA4\xA2\n", sjisA = "\x82\xA0\r\n", large(200000, 'x');

// A named output replaces its file only when the pass, every write and the
// close succeeded; the file keeps its mode, and a link stays a link.
TEST_F(FileProcessing, NamedOutputs) {
    const fs::path in = file("in.txt", eucA), binary = file("bin.txt", std::string("a\0b", 3)),
                   big = file("big.txt", large), out = file("out.txt", "old");
    fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("out.txt", dir_ / "link.txt");

    TestConverter conv;
    conv.processFile(false, in.c_str(), (dir_ / "link.txt").c_str());
    EXPECT_EQ(readFile(out), sjisA);
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.txt"));
    EXPECT_EQ(fs::status(out).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    conv.processFile(false, binary.c_str(), out.c_str());
    EXPECT_EQ(readFile(out), sjisA);
    EXPECT_EQ(conv.errors, binary.string() + ": Not a text file.\n");
    EXPECT_FALSE(conv.fatalError());

    TestConverter failing;
    failing.writeLimit = 1000;
    failing.processFile(false, big.c_str(), out.c_str());
    EXPECT_EQ(readFile(out), sjisA);
    EXPECT_EQ(failing.errors, out.string() + ": Cannot write a file.\n");
    EXPECT_TRUE(failing.fatalError());
    EXPECT_EQ(names(), (std::vector<std::string>{"big.txt", "bin.txt", "in.txt", "link.txt", "out.txt"}));
}

// Output comes in the order it was made when a small piece, kept by stdio,
// is followed by a large one written directly.
TEST_F(FileProcessing, SmallThenLargeOutputKeepOrder) {
    std::string text;
    while (text.size() < 200000) text += "line of text\n";
    const fs::path in = file("in.txt", text), out = dir_ / "out.txt";
    TestConverter conv;
    conv.readSizes = {2000};
    conv.useSettings("-e -lf");
    conv.processFile(false, in.c_str(), out.c_str());
    EXPECT_EQ(readFile(out) == text, true);
}

// -overwrite: each file onto itself; refused, unreadable, unwritable and
// unchanged files stay as they were (times too), and the run goes on.
TEST_F(FileProcessing, InPlace) {
    const fs::path euc = file("a.txt", eucA), same = file("same.txt", sjisA),
                   binary = file("bin.txt", "a\x07"), big = file("big.txt", large),
                   cut = file("cut.txt", large);
    fs::permissions(euc, fs::perms::owner_read | fs::perms::owner_write);
    const auto past = fs::file_time_type::clock::now() - std::chrono::hours(24);
    for (const fs::path& p : {same, binary, big, cut}) fs::last_write_time(p, past);

    TestConverter conv;
    conv.writeLimit = 100000;  // big.txt's output fails half-way
    conv.failingInput = cut;   // and cut.txt cannot be read to its end
    conv.readLimit = 1000;
    EXPECT_EQ(run(conv, {"-overwrite", euc, same, binary, big, cut, "-c", "-e", euc}), -1);
    EXPECT_EQ(readFile(euc), sjisA);
    EXPECT_EQ(fs::status(euc).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(readFile(big), large);
    EXPECT_EQ(readFile(cut), large);
    for (const fs::path& p : {same, binary, big, cut}) EXPECT_EQ(fs::last_write_time(p), past) << p;
    EXPECT_EQ(conv.errors, binary.string() + ": Not a text file.\n" + big.string() +
                               ": Cannot write a file.\n" + cut.string() + ": Cannot read a file.\n");
    EXPECT_EQ(conv.printed, euc.string() + ": SJIS [CRLF] \n");  // the check wrote nothing
    EXPECT_FALSE(conv.fatalError());
    EXPECT_EQ(names(), (std::vector<std::string>{"a.txt", "big.txt", "bin.txt", "cut.txt", "same.txt"}));
}

// A folder whose names cannot be removed would keep the temporary file:
// append-only and immutable ones refuse the replacement up front; a flag
// that does not stop a rename does not.
TEST(FolderFlags, AppendOnlyAndImmutableRefuseTheReplacement) {
    const std::pair<const char*, bool> cases[] = {{"a", false}, {"i", false}, {"d", true}, {"A", true}};
    for (const auto& [flags, allowed] : cases) {
        FlaggedFolder folder(flags, [](const fs::path& f) { writeFile(f / "a.txt", "x"); });
        if (folder.path().empty())
            GTEST_SKIP() << "chattr +" << flags
                         << " failed under both the temporary folder and the build tree "
                         << "(file systems without file flags, or no chattr)";
        const int fd = open(folder.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(folderAllowsReplacing(fd, "a.txt"), allowed) << flags;
        close(fd);
    }
}

// A file that grows while it is converted keeps what it has then; memory
// running out in a front-end operation ends the run as the pass's own
// shortage does. Neither leaves a temporary file.
TEST_F(FileProcessing, InPlaceChangedOrShortOfMemory) {
    const fs::path log = file("log.txt", eucA), other = file("other.txt", eucA);
    TestConverter growing;
    growing.duringRead = [&, appended = false]() mutable {
        if (!std::exchange(appended, true)) std::ofstream(log, std::ios::app) << "new line\n";
    };
    EXPECT_EQ(run(growing, {"-overwrite", log, other}), -1);
    EXPECT_EQ(readFile(log), eucA + "new line\n");
    EXPECT_EQ(growing.errors, log.string() + ": Changed while being converted; left as it was.\n");
    EXPECT_EQ(readFile(other), sjisA);  // the run went on

    TestConverter starved;
    starved.duringRead = [] { throw std::bad_alloc(); };
    EXPECT_EQ(run(starved, {"-overwrite", log, other}), -1);
    EXPECT_EQ(starved.errors, log.string() + ": No enough memory.\n");
    EXPECT_TRUE(starved.fatalError());
    EXPECT_EQ(readFile(log), eucA + "new line\n");
    EXPECT_EQ(names(), (std::vector<std::string>{"log.txt", "other.txt"}));
}

// A change that keeps the size, within the same second of the file's time
// (only the nanoseconds tell), still leaves the file as the user made it.
TEST_F(FileProcessing, InPlaceChangeWithinTheSameSecond) {
    const fs::path a = file("a.txt", eucA);
    struct stat before {};
    ASSERT_EQ(stat(a.c_str(), &before), 0);
    TestConverter conv;
    conv.duringRead = [&, changed = false]() mutable {
        if (std::exchange(changed, true)) return;
        writeFile(a, "\xA4\xA4\n");
        const timespec times[2] = {before.st_atim, {before.st_mtim.tv_sec, before.st_mtim.tv_nsec ^ 1}};
        utimensat(AT_FDCWD, a.c_str(), times, 0);
    };
    EXPECT_EQ(run(conv, {"-overwrite", "-u8", a}), -1);
    EXPECT_EQ(conv.errors, a.string() + ": Changed while being converted; left as it was.\n");
    EXPECT_EQ(readFile(a), "\xA4\xA4\n");
}

// A file named again, directly or through a link, while its new version
// waits to be put in place is read in that version, as one replaced at
// once would be; another hard link to it keeps the old content.
TEST_F(FileProcessing, InPlaceFileNamedAgain) {
    const fs::path a = dir_ / "a.txt", link = dir_ / "link.txt", hard = dir_ / "hard.txt";
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string hardContent, printed;
    };
    const std::string utf8A = "\xE3\x81\x82\n";
    const Case cases[] = {
        {"twice", {a, a}, eucA, ""},
        {"through a link, then by name", {link, a}, eucA, ""},
        {"by name, then a check", {a, "-c", a}, eucA, a.string() + ": UTF8 [LF] \n"},
        {"a hard link, then the name", {hard, a}, utf8A, ""},
    };
    for (const Case& c : cases) {
        fs::remove(link);
        fs::remove(hard);
        file("a.txt", eucA);
        fs::create_symlink("a.txt", link);
        fs::create_hard_link(a, hard);
        TestConverter conv;
        std::vector<std::string> args{"-overwrite", "-u8", "-lf"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(run(conv, args), 0) << c.name;
        EXPECT_EQ(conv.errors, "") << c.name;
        EXPECT_EQ(conv.printed, c.printed) << c.name;
        EXPECT_EQ(readFile(a), utf8A) << c.name;
        EXPECT_EQ(readFile(hard), c.hardContent) << c.name;
    }
    EXPECT_EQ(names(), (std::vector<std::string>{"a.txt", "hard.txt", "link.txt"}));
}

// Each file's fate as a front end reads it, without parsing messages: what
// was converted (with its code and substitutes), refused, failed or
// cancelled, and the first message's code.
TEST_F(FileProcessing, TypedResults) {
    using Fate = FileResult::Fate;
    const fs::path euc = file("euc.txt", eucA), lossy = file("lossy.txt", "\xE2\x82\xAC\n"),
                   binary = file("bin.txt", std::string("a\0b", 3)), big = file("big.txt", large);
    ASSERT_EQ(mkfifo((dir_ / "fifo").c_str(), 0600), 0);
    struct Case {
        const char* name;
        fs::path input;
        std::vector<std::string> options;
        Fate fate;
        int error;
        bool passError;
        std::int64_t substitutes;
    };
    const Case cases[] = {
        {"converted", euc, {}, Fate::DONE, 0, false, 0},
        {"converted with a substitute", lossy, {"-U8"}, Fate::DONE, 0, false, 1},
        {"not text", binary, {}, Fate::REFUSED, PASS_NOT_TEXT, true, 0},
        {"missing", dir_ / "none.txt", {}, Fate::FAILED, NO_SUCH_FILE, false, 0},
        {"a FIFO", dir_ / "fifo", {}, Fate::REFUSED, NOT_REGULAR, false, 0},
        {"output failing", big, {}, Fate::FAILED, CANNOT_WRITE, false, 0},
        {"cancelled", big, {}, Fate::CANCELLED, CANCELLED, false, 0},
    };
    for (const Case& c : cases) {
        TestConverter conv;
        conv.regularInputsOnly = true;
        const std::atomic<bool> cancel{std::string(c.name) == "cancelled"};
        conv.cancelFlag = &cancel;
        if (std::string(c.name) == "output failing") conv.writeLimit = 1000;
        for (const std::string& option : c.options) conv.useSettings(option);
        conv.processFile(false, c.input.c_str(), (dir_ / "out.txt").c_str());
        const FileResult& r = conv.fileResult();
        EXPECT_EQ(r.fate, c.fate) << c.name;
        EXPECT_EQ(r.error, c.error) << c.name;
        EXPECT_EQ(r.passError, c.passError) << c.name;
        EXPECT_EQ(r.substitutes, c.substitutes) << c.name;
        if (c.fate == Fate::DONE) {
            EXPECT_EQ(r.checkText, c.options.empty() ? "EUC [LF] " : "UTF8 [LF] ") << c.name;
        }
        if (c.fate == Fate::CANCELLED) {
            EXPECT_EQ(conv.errors, big.string() + ": Cancelled.\n");
        }
    }
}

// A placed output never replaces a name taken while it was written unless
// its place says so: it takes the names offered, or is given up whole.
TEST_F(FileProcessing, PlacedOutputsReplaceNothingUnasked) {
    const fs::path in = file("in.txt", eucA);
    struct Case {
        const char* name;
        std::vector<std::string> offered;  // what the rule offers in turn; none: no rule
        FileResult::Fate fate;
        std::string outputName;
        std::string out;  // what out.txt holds after
    };
    const Case cases[] = {
        {"renamed", {"out-2.txt", "out-3.txt"}, FileResult::Fate::DONE, "out-3.txt", "taken"},
        {"given up", {""}, FileResult::Fate::SKIPPED, "", "taken"},
        {"replaced", {}, FileResult::Fate::DONE, "out.txt", sjisA},
    };
    for (const Case& c : cases) {
        std::error_code ignored;
        for (const char* name : {"out.txt", "out-2.txt", "out-3.txt"}) fs::remove(dir_ / name, ignored);
        TestConverter conv;
        conv.freshOutputs = true;
        conv.duringRead = [&] {
            if (!fs::exists(dir_ / "out.txt")) {
                writeFile(dir_ / "out.txt", "taken");
                writeFile(dir_ / "out-2.txt", "taken");
            }
        };
        OutputPlace place{UniqueFd(open(dir_.c_str(), O_RDONLY | O_DIRECTORY)), "out.txt", 0777, {}};
        if (!c.offered.empty())
            place.nameTaken = [&, next = std::size_t{0}](const std::string&) mutable {
                return next < c.offered.size() ? c.offered[next++] : std::string();
            };
        conv.placeNextOutput(std::move(place));
        conv.processFile(false, in.c_str(), "out.txt");
        EXPECT_EQ(conv.fileResult().fate, c.fate) << c.name;
        EXPECT_EQ(readFile(dir_ / "out.txt"), c.out) << c.name;
        if (c.fate == FileResult::Fate::DONE) {
            EXPECT_EQ(conv.fileResult().outputName, c.outputName) << c.name;
            EXPECT_EQ(readFile(dir_ / c.outputName), sjisA) << c.name;
        }
        EXPECT_EQ(readFile(dir_ / "out-2.txt"), "taken") << c.name;
        EXPECT_EQ(names().size(), c.outputName == "out-3.txt" ? 4u : 3u) << c.name;  // no temporary file left
    }
}

mode_t modeOf(const fs::path& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST_F(FileProcessing, NewOutputGets0666LessTheUmask) {
    const fs::path in = file("in.txt", eucA);
    for (const mode_t mask : {mode_t{022}, mode_t{027}, mode_t{002}}) {
        const fs::path out = dir_ / ("out-" + std::to_string(mask));
        const mode_t saved = umask(mask);
        TestConverter().processFile(false, in.c_str(), out.c_str());
        umask(saved);
        EXPECT_EQ(readFile(out), sjisA);
        EXPECT_EQ(modeOf(out), 0666 & ~mask) << "umask " << std::oct << mask;
    }
}

// Setgid and sticky kept; an output of the input's size but other bytes
// still replaces it.
TEST_F(FileProcessing, InPlaceKeepsEveryModeBit) {
    const fs::path a = file("a.txt", eucA), same = file("same.txt", eucA + eucA);
    const mode_t mode = S_ISGID | S_ISVTX | 0640;
    ASSERT_EQ(chmod(a.c_str(), mode), 0);
    const bool keepsBits = modeOf(a) == mode;  // else the system drops them itself
    TestConverter conv;
    EXPECT_EQ(run(conv, {"-overwrite", "-lf", a, same}), 0);
    EXPECT_EQ(readFile(same), "\x82\xA0\n\x82\xA0\n");
    EXPECT_EQ(readFile(a), "\x82\xA0\n");
    if (keepsBits) {
        EXPECT_EQ(modeOf(a), mode);
    }
}

// The standard output going into an input: that input is refused before
// anything is written for it and the run goes on, with -1. A check writes
// nothing, and -overwrite writes the file's replacement, not the output.
TEST_F(FileProcessing, StandardOutputIntoAnInput) {
    const fs::path a = dir_ / "a.txt", b = file("b.txt", eucA), link = dir_ / "link.txt";
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string errors, written;
        int status;
    };
    const std::string refused = ": Input file is output file.\n";
    const Case cases[] = {
        {"refused, the next converted", {a, b}, a.string() + refused, sjisA, -1},
        {"through a hard link", {"-e", link, b}, link.string() + refused, "\xA4\xA2\r\n", -1},
        {"another file", {b}, "", sjisA, 0},
        {"a check", {"-c", a}, "", "", 0},
        {"in place", {"-overwrite", a}, "", "", 0},
    };
    for (const Case& c : cases) {
        file("a.txt", eucA);
        fs::remove(link);
        fs::create_hard_link(a, link);
        TestConverter conv;
        conv.standardOutputFile = a;
        EXPECT_EQ(run(conv, c.args), c.status) << c.name;
        EXPECT_EQ(conv.errors, c.errors) << c.name;
        EXPECT_EQ(conv.standardOutput, c.written) << c.name;
    }
}

// A named output that cannot be made leaves its input unconverted: the run
// so far ends with 1, as for an input that cannot be opened.
TEST_F(FileProcessing, OutputThatCannotBeMadeGivesStatus1) {
    const fs::path in = file("in.txt", eucA), out = dir_ / "no-folder" / "out.txt";
    TestConverter conv;
    conv.processFile(false, in.c_str(), out.c_str());
    EXPECT_EQ(conv.errors, out.string() + ": Cannot open a file.\n");
    EXPECT_EQ(run(conv, {"-v"}), 1);  // the status of the run so far
}

// A front end may keep names as they are and the option error text alone
// (ZektWin's log); by default a control character shows as "?" and the
// option is named first.
TEST_F(FileProcessing, NamesAndOptionErrorsAsTheFrontEndShowsThem) {
    const fs::path tab = file("t\tab.txt", eucA);
    const std::string errorText = "zekt: option error! Try, \n\"zekt -h\n\"";
    TestConverter plain;
    plain.maskNames = false;
    plain.explainOptionErrors = false;
    EXPECT_EQ(run(plain, {"-c", tab, "-w"}), -1);
    EXPECT_EQ(plain.printed, tab.string() + ": EUC [LF] \n");
    EXPECT_EQ(plain.errors, errorText);

    TestConverter masked;
    EXPECT_EQ(run(masked, {"-c", tab, "-w"}), -1);
    EXPECT_EQ(masked.printed, (dir_ / "t?ab.txt").string() + ": EUC [LF] \n");
    EXPECT_EQ(masked.errors, "zekt: unknown option: -w\nzekt: for that, use -u8\n" + errorText);

    // Also the name of an output that could not be written.
    const fs::path big = file("b\tig.txt", large);
    TestConverter failing;
    failing.writeLimit = 1000;
    EXPECT_EQ(run(failing, {"-overwrite", big}), -1);
    EXPECT_EQ(failing.errors, (dir_ / "b?ig.txt").string() + ": Cannot write a file.\n");

    // Also where memory ran out.
    TestConverter starved;
    starved.duringRead = [] { throw std::bad_alloc(); };
    EXPECT_EQ(run(starved, {tab}), -1);
    EXPECT_EQ(starved.errors, (dir_ / "t?ab.txt").string() + ": No enough memory.\n");
}

}  // namespace
}  // namespace zekt::testing
