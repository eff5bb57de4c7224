// The folder a front end writes its outputs beneath, reached through
// descriptors only: a subfolder is made or entered without following a
// link, and only when it is the caller's own, so that nobody can redirect
// a write to somewhere else.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

#include "unique_fd.h"

namespace zekt {

// Whether anyone but the owner may add or remove entries in the folder.
bool writableByOthers(const struct stat& folder);

class OutputFolder {
public:
    // Opens the folder the user chose, as the kernel follows the path.
    explicit OutputFolder(const char* path);

    bool isOpen() const { return static_cast<bool>(root_); }
    // errno of the failure to open it.
    int openError() const { return error_; }

    struct Subfolder {
        UniqueFd fd;          // open for reading; empty when refused or failed
        std::string refused;  // the path of the first part that is not a folder of the caller's
        int error = 0;        // errno of a failure to make or open a part
        bool shared = false;  // a folder on the way may be written by others
    };
    // The folder at relative below it ("a/b"; empty: the folder itself),
    // its missing parts made: private (0700) below a folder others may
    // write, 0777 less the umask elsewhere.
    Subfolder open(std::string_view relative) const;

private:
    UniqueFd root_;
    bool shared_ = false;
    int error_ = 0;
};

}  // namespace zekt
