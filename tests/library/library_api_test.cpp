// libzekt through its C API against the zekt program: every input of a
// corpus in every code, under several option sets, cut into pieces of 1, 7
// and 4096 bytes and written into room of 1, 13 and 65536 bytes, gives the
// bytes zekt writes, its check text and its count of substitutes; so do
// eight threads at once. Option words, statuses and misuse are checked on
// their own.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "scratch_dir.h"
#include "zekt/zekt.h"

extern "C" int zekt_test_c_header(void);

namespace zekt::testing {
namespace {

namespace fs = std::filesystem;

struct Converter {
    explicit Converter(const char* options) { status = zekt_converter_new(options, &handle); }
    ~Converter() { zekt_converter_free(handle); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    zekt_converter* handle = nullptr;
    int status;
};

struct Streamed {
    std::string out;
    int status = ZEKT_INPUT_EMPTY;  // the last one
};

// Feeds in in pieces of piece bytes into room of room bytes until the
// input is complete or refused.
Streamed stream(zekt_converter* c, const std::string& in, std::size_t piece, std::size_t room) {
    Streamed result;
    std::vector<unsigned char> out(room);
    std::size_t at = 0;
    for (int guard = 0; guard < 100000000; ++guard) {
        const std::size_t n = std::min(piece, in.size() - at);
        const bool last = at + n == in.size();
        std::size_t read = 0, written = 0;
        result.status = zekt_convert(c, reinterpret_cast<const unsigned char*>(in.data()) + at, n, &read,
                                     out.data(), out.size(), &written, last);
        result.out.append(reinterpret_cast<const char*>(out.data()), written);
        at += read;
        if (result.status < 0 || (result.status == ZEKT_INPUT_EMPTY && last && at == in.size())) break;
        if (result.status == ZEKT_INPUT_EMPTY && read != n) {
            ADD_FAILURE() << "input left with ZEKT_INPUT_EMPTY";
            break;
        }
    }
    return result;
}

struct Console {
    std::string out, err;
    int status;
};

// zekt itself over the file, its streams through files.
Console zekt(const std::string& options, const fs::path& file, const fs::path& scratch) {
    const fs::path out = scratch / ".out", err = scratch / ".err";
    const std::string command = std::string("'") + ZEKT_BINARY + "' " + options + " '" + file.string() +
                                "' >'" + out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    return {readFile(out), readFile(err), WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

// The corpus: the samples and the fuzz seeds as they are, and each sample
// long enough to outlast detection's window, written by zekt in every code.
std::vector<fs::path> corpus(const fs::path& scratch) {
    std::vector<fs::path> files;
    for (const char* dir : {ZEKT_SAMPLES_DIR, ZEKT_SEEDS_DIR})
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<fs::path> made;
    for (const auto& entry : fs::directory_iterator(ZEKT_SAMPLES_DIR)) {
        if (!entry.is_regular_file()) continue;
        std::string text;
        for (int i = 0; i < 40; ++i) text += readFile(entry.path());
        const fs::path long_ = scratch / ("long-" + entry.path().filename().string());
        writeFile(long_, text);
        for (const char* code : {"-e", "-s", "-j", "-u8", "-u16"}) {
            const fs::path converted = scratch / (long_.filename().string() + code);
            writeFile(converted, zekt(code, long_, scratch).out);
            made.push_back(converted);
        }
    }
    files.insert(files.end(), made.begin(), made.end());
    return files;
}

const char* const optionSets[] = {"", "-u8 -lf", "-e -Z -X", "-j -xNOWIN", "-u16 -xMS", "-nk -lf"};

// What zekt prints after "NAME: " in a check.
std::string checkLine(const std::string& printed, const fs::path& file) {
    const std::string prefix = file.string() + ": ";
    if (!printed.starts_with(prefix) || printed.empty() || printed.back() != '\n') return "?";
    return printed.substr(prefix.size(), printed.size() - prefix.size() - 1);
}

// The count of zekt's "NAME: N characters replaced with the substitute
// mark." line, 0 without one.
unsigned long long substitutesIn(const std::string& errors) {
    const auto at = errors.rfind(": ");
    if (at == std::string::npos || errors.find("replaced with the substitute mark") == std::string::npos)
        return 0;
    return std::stoull(errors.substr(at + 2));
}

std::string checkTextOf(const zekt_converter* c) {
    std::array<char, 256> text{};
    zekt_check_text(c, text.data(), text.size());
    return text.data();
}

TEST(LibraryApi, EveryCutGivesTheProgramsBytes) {
    const ScratchDir scratch;
    for (const fs::path& file : corpus(scratch.path())) {
        const std::string input = readFile(file);
        const Console check = zekt("-c", file, scratch.path());
        for (const char* options : optionSets) {
            const Console expected = zekt(options, file, scratch.path());
            Converter conv(options);
            ASSERT_EQ(conv.status, ZEKT_OK) << options;
            for (const std::size_t piece : {1, 7, 4096}) {
                for (const std::size_t room : {1, 13, 65536}) {
                    ASSERT_EQ(zekt_converter_reset(conv.handle), ZEKT_OK);
                    const Streamed got = stream(conv.handle, input, piece, room);
                    const std::string where = file.filename().string() + " '" + options + "' " +
                                              std::to_string(piece) + "/" + std::to_string(room);
                    EXPECT_EQ(got.out, expected.out) << where;
                    EXPECT_EQ(got.status, expected.status == 1 ? ZEKT_NOT_TEXT : ZEKT_INPUT_EMPTY) << where;
                    EXPECT_EQ(zekt_substitutes(conv.handle), substitutesIn(expected.err)) << where;
                }
            }
            if (expected.status == 0 && std::string(options) == "") {
                EXPECT_EQ(checkTextOf(conv.handle), checkLine(check.out, file)) << file;
            }
        }
        Converter checker("-c");
        const Streamed checked = stream(checker.handle, input, 7, 13);
        EXPECT_EQ(checked.out, "") << file;
        EXPECT_EQ(checkTextOf(checker.handle), check.status == 0 ? checkLine(check.out, file) : "") << file;
    }
}

// A short input cut at every byte offset, both halves into 8 bytes of
// room; a refusal ends it as zekt's does.
TEST(LibraryApi, EverySplitOfAShortInput) {
    const ScratchDir scratch;
    for (const char* name :
         {"utf16le.txt", "jis-edges.bin", "sjis-edges.bin", "utf8-edges.bin", "euc-edges.bin"}) {
        const fs::path file = fs::path(ZEKT_SEEDS_DIR) / name;
        const std::string input = readFile(file);
        const Console expected = zekt("-u8", file, scratch.path());
        Converter conv("-u8");
        for (std::size_t cut = 0; cut <= input.size(); ++cut) {
            ASSERT_EQ(zekt_converter_reset(conv.handle), ZEKT_OK);
            std::string out;
            std::array<unsigned char, 8> room{};
            int status = ZEKT_OUTPUT_FULL;
            for (const auto& [from, to, last] :
                 {std::tuple{std::size_t{0}, cut, false}, std::tuple{cut, input.size(), true}}) {
                for (std::size_t at = from; status >= 0 && (status == ZEKT_OUTPUT_FULL || at < to);) {
                    std::size_t read = 0, written = 0;
                    status =
                        zekt_convert(conv.handle, reinterpret_cast<const unsigned char*>(input.data()) + at,
                                     to - at, &read, room.data(), room.size(), &written, last);
                    out.append(reinterpret_cast<const char*>(room.data()), written);
                    at += read;
                }
                if (status >= 0) status = ZEKT_OUTPUT_FULL;  // the second half starts afresh
            }
            EXPECT_EQ(out, expected.out) << name << " cut at " << cut;
            EXPECT_EQ(status == ZEKT_NOT_TEXT, expected.status == 1) << name << " cut at " << cut;
        }
    }
}

// What a piece converts comes out before more input is asked for: with the
// code forced, two whole blocks give their bytes at once.
TEST(LibraryApi, OutputComesBeforeMoreInput) {
    Converter conv("-E -e -lf");
    const std::string text(3000, 'a');
    std::array<unsigned char, 4096> room{};
    std::size_t read = 0, written = 0;
    EXPECT_EQ(zekt_convert(conv.handle, reinterpret_cast<const unsigned char*>(text.data()), 2048, &read,
                           room.data(), room.size(), &written, 0),
              ZEKT_INPUT_EMPTY);
    EXPECT_EQ(read, 2048u);
    EXPECT_EQ(written, 2048u);
}

// Converters on eight threads at once agree with one alone.
TEST(LibraryApi, ThreadsAgree) {
    const std::string input = readFile(fs::path(ZEKT_SAMPLES_DIR) / "shopping-euc.txt");
    Converter alone("-u8 -lf");
    const std::string expected = stream(alone.handle, input, 4096, 65536).out;
    std::array<bool, 8> agreed{};
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < agreed.size(); ++t)
        threads.emplace_back([&, t] {
            Converter conv("-u8 -lf");
            bool all = true;
            for (int round = 0; round < 50; ++round) {
                zekt_converter_reset(conv.handle);
                all = all && stream(conv.handle, input, 1 + t * 5, 13 + t).out == expected;
            }
            agreed[t] = all;
        });
    for (std::thread& thread : threads) thread.join();
    for (std::size_t t = 0; t < agreed.size(); ++t) EXPECT_TRUE(agreed[t]) << "thread " << t;
}

TEST(LibraryApi, OptionWords) {
    const std::pair<const char*, int> cases[] = {
        {"", ZEKT_OK},
        {nullptr, ZEKT_OK},
        {"-u8 -lf -xMS", ZEKT_OK},
        {" \t-e\n-crlf ", ZEKT_OK},
        {"-c", ZEKT_OK},
        {"-nb -Z -X -xNOWIN -jSHORT -x", ZEKT_OK},
        {"-S2004 -e2004", ZEKT_OK},
        {"-E2004 -J2004 -s2004 -j2004", ZEKT_OK},
        {"-s2005", ZEKT_ERROR_OPTION},
        {"-w", ZEKT_ERROR_OPTION},
        {"a.txt", ZEKT_ERROR_OPTION},
        {"-overwrite", ZEKT_ERROR_OPTION},
        {"-h", ZEKT_ERROR_OPTION},
        {"--help", ZEKT_ERROR_OPTION},
        {"-v", ZEKT_ERROR_OPTION},
        {"--version", ZEKT_ERROR_OPTION},
        {"-f", ZEKT_ERROR_OPTION},
        {"--", ZEKT_ERROR_OPTION},
        {"-", ZEKT_ERROR_OPTION},
        {"-u8 -lf x", ZEKT_ERROR_OPTION},
    };
    for (const auto& [options, status] : cases) {
        zekt_converter* c = reinterpret_cast<zekt_converter*>(1);
        EXPECT_EQ(zekt_converter_new(options, &c), status) << (options ? options : "(null)");
        EXPECT_EQ(c == nullptr, status != ZEKT_OK) << (options ? options : "(null)");
        zekt_converter_free(c);
    }
}

// What a legacy output left out and what it could not write, counted apart,
// in any pieces; and a JIS X 0213 code of two code points read whole.
TEST(LibraryApi, SelectorsAndSubstitutesCounted) {
    // 葛 U+E0100, ♪ U+FE0F, 😀, か U+309A.
    const std::string text =
        "\xE8\x91\x9B\xF3\xA0\x84\x80\xE2\x99\xAA\xEF\xB8\x8F\xF0\x9F\x98\x80"
        "\xE3\x81\x8B\xE3\x82\x9A";
    struct Case {
        const char* options;
        std::string out;
        unsigned long long selectors, substitutes;
    };
    for (const auto& [options, out, selectors, substitutes] : std::vector<Case>{
             {"-e", "\xB3\xEB\xA2\xF6\xA2\xAE\xA4\xAB\xA2\xAE", 2, 2},
             {"-e2004", "\xB3\xEB\xA2\xF6\xA2\xAE\xA4\xF7", 2, 1},
             {"-u8", text, 0, 0},
         }) {
        for (const std::size_t piece : {text.size(), std::size_t{1}, std::size_t{5}}) {
            Converter c(options);
            ASSERT_EQ(c.status, ZEKT_OK);
            EXPECT_EQ(stream(c.handle, text, piece, 3).out, out) << options << " in pieces of " << piece;
            EXPECT_EQ(zekt_selectors_left_out(c.handle), selectors) << options;
            EXPECT_EQ(zekt_substitutes(c.handle), substitutes) << options;
        }
    }
    Converter pairs("-E2004 -u8");
    EXPECT_EQ(stream(pairs.handle, "\xA4\xF7", 1, 1).out, "\xE3\x81\x8B\xE3\x82\x9A");
}

// A kana and its mark join whatever pieces the input comes in, also where
// the output is handed on between them while more input is awaited: seven
// bytes a unit, so that block ends fall between the two.
TEST(LibraryApi, MarksJoinAcrossPieces) {
    struct Case {
        const char *options, *unit, *joined;
    };
    for (const auto& [options, unit, joined] : {Case{"-e",
                                                     "\xE3\x81\x8B\xE3\x82\x99"
                                                     "a",
                                                     "\xA4\xAC"
                                                     "a"},
                                                Case{"-e2004",
                                                     "\xE3\x81\x8B\xE3\x82\x9A"
                                                     "a",
                                                     "\xA4\xF7"
                                                     "a"},
                                                Case{"-e2004",
                                                     "e\xCC\x81"
                                                     "a\xE3\x81\x8B",
                                                     "\xA9\xDF"
                                                     "a\xA4\xAB"}}) {
        std::string in, out;
        for (int i = 0; i < 3000; ++i) in += unit, out += joined;
        for (const std::size_t piece : {in.size(), std::size_t{1}, std::size_t{1000}}) {
            Converter c(options);
            EXPECT_TRUE(stream(c.handle, in, piece, 4096).out == out) << options << " in pieces of " << piece;
            EXPECT_EQ(zekt_substitutes(c.handle), 0u) << options;
        }
    }
}

// Misuse gets a status of its own, every status a text, and the version is
// the project's.
TEST(LibraryApi, StatusesAndMisuse) {
    Converter conv("-u8 -lf");
    const unsigned char in[] = "a\n";
    unsigned char out[16];
    std::size_t read = 0, written = 0;
    EXPECT_EQ(zekt_convert(conv.handle, in, 2, &read, out, sizeof out, &written, 1), ZEKT_INPUT_EMPTY);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), written), "a\n");
    EXPECT_EQ(zekt_convert(conv.handle, in, 2, &read, out, sizeof out, &written, 1), ZEKT_ERROR_FINISHED);
    EXPECT_EQ(zekt_convert(conv.handle, nullptr, 0, &read, out, sizeof out, &written, 1), ZEKT_INPUT_EMPTY);
    EXPECT_EQ(zekt_convert(nullptr, in, 2, &read, out, sizeof out, &written, 1), ZEKT_ERROR_ARGUMENT);
    EXPECT_EQ(zekt_convert(conv.handle, in, 2, nullptr, out, sizeof out, &written, 1), ZEKT_ERROR_ARGUMENT);
    EXPECT_EQ(zekt_converter_new("", nullptr), ZEKT_ERROR_ARGUMENT);
    char text[8];
    EXPECT_EQ(zekt_check_text(conv.handle, text, sizeof text), std::string("ASCII [LF] ").size());
    EXPECT_STREQ(text, "ASCII [");
    for (int status = -6; status <= 2; ++status)
        EXPECT_NE(std::string(zekt_status_text(status)), "") << status;
    EXPECT_EQ(std::string(zekt_version()), ZEKT_PROJECT_VERSION);
    EXPECT_EQ(zekt_test_c_header(), 1);
}

}  // namespace
}  // namespace zekt::testing
