// A file converted in place is never more open than it was: the folder's
// default ACL does not reach the replacement, which carries exactly the
// original's own access ACL, or none.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "scratch_dir.h"

namespace zekt::testing {
namespace {

std::string run(const std::string& script) {
    std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(("bash -c '" + script + "' 2>&1").c_str(), "r"),
                                                  &pclose);
    std::string out;
    std::array<char, 256> chunk{};
    while (pipe && fgets(chunk.data(), chunk.size(), pipe.get()) != nullptr) out += chunk.data();
    return out;
}

TEST(InPlaceAcl, TheFoldersDefaultAclStaysOff) {
    const ScratchDir dir;
    const std::string d = dir.path().string();
    if (run("setfacl -d -m u:daemon:rwx " + d + " && echo ok") != "ok\n")
        GTEST_SKIP() << "the temporary folder's file system takes no ACL";
    const std::string out =
        run("cd " + d +
            " && for f in plain own; do printf \"\\xa4\\xa2\\n\" > $f.txt; setfacl -b $f.txt; chmod 0640 "
            "$f.txt; done"
            " && setfacl -m u:bin:r own.txt"
            " && \"" ZEKT_BINARY
            "\" -overwrite -u8 plain.txt own.txt; echo $?"
            " && stat -c \"%a\" plain.txt && getfacl -cp plain.txt own.txt && od -An -tx1 plain.txt");
    EXPECT_EQ(out,
              "0\n640\n"
              "user::rw-\ngroup::r--\nother::---\n\n"
              "user::rw-\nuser:bin:r--\ngroup::r--\nmask::r--\nother::---\n\n"
              " e3 81 82 0d 0a\n");
}

}  // namespace
}  // namespace zekt::testing
