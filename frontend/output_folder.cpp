#include "output_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace zekt {
namespace {

constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// A link, another's folder or no folder at all are alike refused: ELOOP
// and ENOTDIR say the part is no folder to enter.
bool refusedPart(int error) { return error == ELOOP || error == ENOTDIR || error == EEXIST; }

}  // namespace

bool writableByOthers(const struct stat& folder) { return (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0; }

OutputFolder::OutputFolder(const char* path) : root_(::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    struct stat st {};
    if (!root_ || fstat(root_.get(), &st) != 0) {
        error_ = errno;
        root_.reset();
        return;
    }
    shared_ = writableByOthers(st);
}

OutputFolder::Subfolder OutputFolder::open(std::string_view relative) const {
    Subfolder folder;
    folder.shared = shared_;
    folder.fd.reset(fcntl(root_.get(), F_DUPFD_CLOEXEC, 0));
    if (!folder.fd) {
        folder.error = errno;
        return folder;
    }
    for (std::size_t at = 0; at < relative.size();) {
        const std::size_t end = std::min(relative.find('/', at), relative.size());
        const std::string part(relative.substr(at, end - at));
        const std::string_view path = relative.substr(0, end);
        at = end + 1;
        if (part.empty() || part == "." || part == "..") {
            folder.refused = path;
            break;
        }
        int fd = openat(folder.fd.get(), part.c_str(), folderFlags);
        if (fd < 0 && errno == ENOENT &&
            (mkdirat(folder.fd.get(), part.c_str(), folder.shared ? 0700 : 0777) == 0 || errno == EEXIST))
            fd = openat(folder.fd.get(), part.c_str(), folderFlags);
        struct stat st {};
        if (fd < 0 || fstat(fd, &st) != 0 || st.st_uid != geteuid()) {
            const int error = errno;
            if (fd >= 0) close(fd);
            if (fd >= 0 || refusedPart(error))
                folder.refused = path;
            else
                folder.error = error;
            break;
        }
        folder.fd.reset(fd);
        folder.shared = folder.shared || writableByOthers(st);
    }
    if (!folder.refused.empty() || folder.error != 0) folder.fd.reset();
    return folder;
}

}  // namespace zekt
