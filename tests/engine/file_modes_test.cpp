// The modes of the files zekt writes: a new output gets 0666 less the
// umask, a file converted in place keeps every mode bit, and an in-place
// output of the input's size but other bytes still replaces it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "scratch_dir.h"
#include "stdio_converter.h"

namespace zekt::testing {
namespace {

namespace fs = std::filesystem;

class QuietConverter final : public StdioConverter {
public:
    void print(int, const char*, ...) override {}
};

mode_t modeOf(const fs::path& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

int run(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"zekt"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    QuietConverter conv;
    return conv.run(static_cast<int>(argv.size()), argv.data());
}

TEST(FileModes, NewOutputGets0666LessTheUmask) {
    const ScratchDir scratch;
    const fs::path in = scratch.path() / "in.txt";
    writeFile(in, "\xA4\xA2\n");
    for (const mode_t mask : {mode_t{022}, mode_t{027}, mode_t{002}}) {
        const fs::path out = scratch.path() / ("out-" + std::to_string(mask));
        const mode_t saved = umask(mask);
        QuietConverter conv;
        conv.processFile(false, in.c_str(), out.c_str());
        umask(saved);
        EXPECT_EQ(readFile(out), "\x82\xA0\r\n");
        EXPECT_EQ(modeOf(out), 0666 & ~mask) << "umask " << std::oct << mask;
    }
}

TEST(FileModes, InPlaceKeepsSetgidAndSticky) {
    const ScratchDir scratch;
    const fs::path file = scratch.path() / "a.txt";
    writeFile(file, "\xA4\xA2\n");
    const mode_t mode = S_ISGID | S_ISVTX | 0640;
    ASSERT_EQ(chmod(file.c_str(), mode), 0);
    if (modeOf(file) != mode) GTEST_SKIP() << "the system does not keep these bits on a file";
    EXPECT_EQ(run({"-overwrite", "-s", file.string()}), 0);
    EXPECT_EQ(readFile(file), "\x82\xA0\r\n");
    EXPECT_EQ(modeOf(file), mode);
}

TEST(FileModes, InPlaceOutputOfTheSameSizeReplacesTheFile) {
    const ScratchDir scratch;
    const fs::path file = scratch.path() / "a.txt";
    writeFile(file, "\xA4\xA2\n\xA4\xA4\n");
    EXPECT_EQ(run({"-overwrite", "-s", "-lf", file.string()}), 0);
    EXPECT_EQ(readFile(file), "\x82\xA0\n\x82\xA2\n");
}

}  // namespace
}  // namespace zekt::testing
