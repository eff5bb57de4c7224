// -overwrite's write path as seen from outside: which links it follows
// (owners, dangling targets, paths longer than PATH_MAX), and in which order
// the new files reach the disk, take their names and have their folders
// synced, recorded by a preloaded seam rather than traced.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "scratch_dir.h"

namespace zekt::testing {
namespace {

// A bash script run in dir with ZEKT naming the binary and SEAM the
// environment that preloads the sync log; its output and errors together.
std::string run(const std::filesystem::path& dir, const std::string& script) {
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string prelude =
        "cd '" + dir.string() + "' || exit 9\nZEKT='" + ZEKT_BINARY + "'\nSEAM=\"LD_PRELOAD=" + SYNC_LOG +
        " ASAN_OPTIONS=" + (asan ? std::string(asan) + ":" : "") + "verify_asan_link_order=0\"\n";
    writeFile(dir / ".script", prelude + script);
    std::unique_ptr<FILE, decltype(&pclose)> pipe(
        popen(("bash '" + (dir / ".script").string() + "' 2>&1").c_str(), "r"), &pclose);
    std::string out;
    std::array<char, 256> chunk{};
    while (pipe && fgets(chunk.data(), chunk.size(), pipe.get()) != nullptr) out += chunk.data();
    return out;
}

const std::string eucA = "\xA4\xA2\n", utf8A = "\xE3\x81\x82\n";

// Root follows a link only when it owns it or the link's owner owns what it
// leads to, through a chain too; nobody (65534) owns the others' links.
TEST(InPlaceLinks, FollowedOnlyWhenTheOwnersAgree) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root, to give links to another user";
    const ScratchDir scratch;
    const auto& d = scratch.path();
    struct Case {
        const char* name;
        std::string setup;  // makes link.txt and what it leads to, target.txt
        std::string out;    // zekt's messages and status
        bool converted;
    };
    const Case cases[] = {
        {"own link", "ln -s target.txt link.txt", "0\n", true},
        {"own link to another's file", "ln -s target.txt link.txt && chown 65534:65534 target.txt", "0\n",
         true},
        {"another's link to mine", "ln -s target.txt link.txt && chown -h 65534:65534 link.txt",
         "link.txt: Link owned by another user; left as it was.\n255\n", false},
        {"another's link to theirs",
         "ln -s target.txt link.txt && chown -h 65534:65534 link.txt && chown 65534:65534 target.txt", "0\n",
         true},
        {"own link through another's",
         "ln -s mid.txt link.txt && ln -s target.txt mid.txt && chown -h 65534 mid.txt",
         "link.txt: Link owned by another user; left as it was.\n255\n", false},
    };
    for (const Case& c : cases) {
        const std::string out =
            run(d, "rm -f *.txt; printf '\\244\\242\\n' > target.txt; " + c.setup +
                       "\n\"$ZEKT\" -overwrite -u8 -lf link.txt; echo $?; test -L link.txt || "
                       "echo link replaced");
        EXPECT_EQ(out, c.out) << c.name;
        EXPECT_EQ(readFile(d / "target.txt"), c.converted ? utf8A : eucA) << c.name;
    }
}

// A link in a folder that its owner may search but not list still leads
// to its target.
TEST(InPlaceLinks, ALinkInAFolderThatCannotBeListed) {
    if (geteuid() != 0 || std::system("setpriv --reuid=65534 true 2>/dev/null") != 0)
        GTEST_SKIP() << "needs root and setpriv, to run as another user";
    const ScratchDir scratch;
    const std::string out =
        run(scratch.path(),
            "chmod 755 . && mkdir hidden shown && printf '\\244\\242\\n' > shown/b.txt\n"
            "ln -s ../shown/b.txt hidden/link.txt && chown -hR 65534:65534 hidden shown && "
            "chmod 300 hidden\n"
            "setpriv --reuid=65534 --regid=65534 --clear-groups \"$ZEKT\" -overwrite -u8 -lf "
            "hidden/link.txt; echo $?");
    EXPECT_EQ(out, "0\n");
    EXPECT_EQ(readFile(scratch.path() / "shown/b.txt"), utf8A);
}

// A link whose target cannot be reached is left as a link, with nothing
// written, and fails the run; a name with a final slash names a folder.
TEST(InPlaceLinks, UnreachableTargetsLeaveTheLink) {
    const ScratchDir scratch;
    const std::string out =
        run(scratch.path(),
            "ln -s gone.txt dangling.txt; ln -s loop2.txt loop1.txt; ln -s loop1.txt loop2.txt\n"
            "mkdir sub && printf '\\244\\242\\n' > a.txt && ln -s ../a.txt sub/up.txt\n"
            "\"$ZEKT\" -overwrite -u8 -lf dangling.txt loop1.txt sub/up.txt; echo $?\n"
            "ls -A | tr '\\n' ' '; test -L dangling.txt && test -L sub/up.txt && echo links\n"
            "\"$ZEKT\" -overwrite sub/; echo $?");
    EXPECT_EQ(out,
              "dangling.txt: Cannot open a file.\nloop1.txt: Cannot open a file.\n255\n"
              ".script a.txt dangling.txt loop1.txt loop2.txt sub links\n"
              "sub/: Cannot open a file.\n1\n");
    EXPECT_EQ(readFile(scratch.path() / "a.txt"), utf8A);  // a relative link, from its own folder
}

// Names longer than PATH_MAX, relative inside a deep folder and absolute,
// and a link among them: the link's target is converted, the link stays.
TEST(InPlaceLinks, PathsLongerThanPathMax) {
    const ScratchDir scratch;
    const std::string out = run(
        scratch.path(),
        "long=$(printf 'd%.0s' {1..200}); for i in $(seq 25); do mkdir $long && cd $long || exit; done\n"
        "mkdir sub; printf '\\244\\242\\n' > b.txt; printf '\\244\\242\\n' > sub/c.txt; ln -s b.txt a.txt\n"
        "env $SEAM ZEKT_TEST_SYNC_LOG=" +
            (scratch.path() / ".log").string() +
            " \"$ZEKT\" -overwrite -u8 -lf a.txt \"$(pwd)/sub/c.txt\"; echo $?\n"
            "test -L a.txt && echo link; od -An -tx1 b.txt sub/c.txt\n"
            "cd \"" +
            scratch.path().string() + "\" && rm -rf d* && grep -c failed .log");
    EXPECT_EQ(out, "0\nlink\n e3 81 82 0a e3 81 82 0a\n0\n");  // every sync, the folder's too, done
}

struct Step {
    std::string what, path;  // "sync" path, or "rename" path (the new name)
    std::string from;        // what a rename renamed
};

std::vector<Step> readLog(const std::filesystem::path& log) {
    std::vector<Step> steps;
    std::istringstream in(readFile(log));
    for (std::string what, a; in >> what >> a;) {
        std::string b;
        if (what == "rename") in >> b;
        steps.push_back(what == "rename" ? Step{what, b, a} : Step{what, a, ""});
    }
    return steps;
}

std::ptrdiff_t indexOf(const std::vector<Step>& steps, const std::string& what, const std::string& path) {
    const auto at = std::find_if(steps.begin(), steps.end(),
                                 [&](const Step& s) { return s.what == what && s.path == path; });
    return at == steps.end() ? -1 : at - steps.begin();
}

// Each new file is on the disk before its rename, every one before the
// first (they are synced as one batch), and each folder is synced after
// the last rename into it.
TEST(InPlaceDurability, SyncsBeforeRenamesAndFoldersAfter) {
    const ScratchDir scratch;
    const std::string out = run(
        scratch.path(),
        "mkdir a b && for f in a/1 a/2 b/3; do printf '\\244\\242\\n' > $f.txt; done\n"
        "env $SEAM ZEKT_TEST_SYNC_LOG=$PWD/.log \"$ZEKT\" -overwrite -u8 a/1.txt b/3.txt a/2.txt; echo $?");
    EXPECT_EQ(out, "0\n");
    const std::string root = std::filesystem::canonical(scratch.path()).string();
    const std::vector<Step> steps = readLog(scratch.path() / ".log");
    std::ptrdiff_t firstRename = static_cast<std::ptrdiff_t>(steps.size());
    for (const std::string name : {"a/1.txt", "b/3.txt", "a/2.txt"}) {
        const std::ptrdiff_t renamed = indexOf(steps, "rename", root + "/" + name);
        ASSERT_GE(renamed, 0) << name;
        firstRename = std::min(firstRename, renamed);
        EXPECT_GE(indexOf(steps, "sync", steps[static_cast<std::size_t>(renamed)].from), 0) << name;
    }
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (steps[i].what != "sync" || steps[i].path.find("/.zk") == std::string::npos) continue;
        EXPECT_LT(static_cast<std::ptrdiff_t>(i), firstRename) << steps[i].path;
    }
    for (const std::string folder : {"a", "b"}) {
        std::ptrdiff_t lastRename = -1, lastSync = -1;
        for (std::size_t i = 0; i < steps.size(); ++i) {
            if (steps[i].what == "rename" && steps[i].path.starts_with(root + "/" + folder + "/"))
                lastRename = static_cast<std::ptrdiff_t>(i);
            if (steps[i].what == "sync" && steps[i].path == root + "/" + folder)
                lastSync = static_cast<std::ptrdiff_t>(i);
        }
        EXPECT_GT(lastSync, lastRename) << folder;
    }
}

// A file of the batch whose sync or rename fails keeps its old content and
// gets its message; the others are replaced; no temporary file stays.
TEST(InPlaceDurability, AFailureInTheBatchSparesTheOthers) {
    const ScratchDir scratch;
    for (const char* failure : {"ZEKT_TEST_FAIL_SYNC=2", "ZEKT_TEST_FAIL_RENAME=2"}) {
        const std::string out =
            run(scratch.path(),
                std::string("rm -f *.txt; for f in 1 2 3; do printf '\\244\\242\\n' > $f.txt; done\n") +
                    "env $SEAM " + failure +
                    " \"$ZEKT\" -overwrite -u8 -lf 1.txt 2.txt 3.txt; echo $?; ls -A | tr '\\n' ' '");
        EXPECT_EQ(out, "2.txt: Cannot write a file.\n255\n.script 1.txt 2.txt 3.txt ") << failure;
        EXPECT_EQ(readFile(scratch.path() / "1.txt"), utf8A) << failure;
        EXPECT_EQ(readFile(scratch.path() / "2.txt"), eucA) << failure;
        EXPECT_EQ(readFile(scratch.path() / "3.txt"), utf8A) << failure;
    }
}

// Batches shrink to what the process may open: with room for 16
// descriptors, 100 files still convert, the last one named again while it
// waits in the batch whose writes have started.
TEST(InPlaceDurability, FewDescriptorsMakeSmallBatches) {
    const ScratchDir scratch;
    const std::string out = run(
        scratch.path(),
        "for f in $(seq 100); do printf '\\244\\242\\n' > $f.txt; done\n"
        "(ulimit -n 16 && \"$ZEKT\" -overwrite -u8 -lf *.txt 99.txt); echo $?; cat *.txt | sort | uniq -c");
    EXPECT_EQ(out, "0\n    100 " + utf8A);
}

}  // namespace
}  // namespace zekt::testing
