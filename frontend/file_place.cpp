#include "file_place.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <string_view>

namespace zekt {
namespace {

constexpr int linkLimit = 40;  // the kernel's own, after which ELOOP

UniqueFd openFolderPath(int base, const char* name) {
    return UniqueFd(openat(base, name, O_PATH | O_DIRECTORY | O_CLOEXEC));
}

// The folder's descriptor, and whether it is open for reading (or only as a
// path, which is all that searching a folder allows).
struct Folder {
    UniqueFd fd;
    bool readable = false;
};

// Opens from base, one component at a time so that no length limit applies,
// every folder of text but its last component, which is returned. 0, or
// the errno of the component that failed.
int walkFolders(int base, std::string_view text, Folder& folder, std::string& last) {
    UniqueFd current = openFolderPath(base, text.starts_with('/') ? "/" : ".");
    if (!current) return errno;
    std::string component;
    for (std::size_t at = 0;;) {
        while (at < text.size() && text[at] == '/') ++at;
        const std::size_t end = std::min(text.find('/', at), text.size());
        component.assign(text.substr(at, end - at));
        at = end;
        if (text.find_first_not_of('/', at) == std::string_view::npos) break;
        UniqueFd next = openFolderPath(current.get(), component.c_str());
        if (!next) return errno;
        current = std::move(next);
    }
    folder = {std::move(current), false};
    last = std::move(component);
    return 0;
}

// The folder of text (all but its last component, followed as the kernel
// follows it) from base, and its last component: "." for text that ends
// with a slash, which names the folder itself, as stat reads it. Opened in
// one call where the kernel takes the path; 0, or an errno.
int openFolderOf(int base, std::string_view text, Folder& folder, std::string& last) {
    std::string path(text);
    if (path.empty() || path.back() == '/') path += '.';
    const std::size_t slash = path.find_last_of('/');
    std::string folderPath = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    UniqueFd fd(openat(base, folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd && errno != ENAMETOOLONG && errno != EACCES) return errno;
    if (!fd) return walkFolders(base, path, folder, last);
    folder = {std::move(fd), true};
    last = slash == std::string::npos ? std::move(path) : path.substr(slash + 1);
    return 0;
}

// The text of the link at (folder, name); empty if it cannot be read.
std::string linkText(int folder, const char* name) {
    std::string text(256, '\0');
    for (;;) {
        const ssize_t got = readlinkat(folder, name, text.data(), text.size());
        if (got < 0) return {};
        if (static_cast<std::size_t>(got) < text.size()) {
            text.resize(static_cast<std::size_t>(got));
            return text;
        }
        text.resize(text.size() * 2);
    }
}

// The place with its folder open for reading, so that it can be synced
// and its flags read.
bool settle(Folder& folder, std::string& last, FilePlace& place) {
    if (!folder.readable) folder.fd.reset(openat(folder.fd.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.fd) return false;
    place.folder = std::move(folder.fd);
    place.name = std::move(last);
    return true;
}

}  // namespace

PlaceLookup findPlace(const char* path, FilePlace& place) {
    if (*path == '\0') return PlaceLookup::MISSING;
    Folder folder;
    std::string last;
    if (const int error = openFolderOf(AT_FDCWD, path, folder, last); error != 0)
        return error == ENOENT || error == ENOTDIR ? PlaceLookup::MISSING : PlaceLookup::INACCESSIBLE;
    std::array<uid_t, linkLimit> linkOwners{};
    for (int links = 0;; ++links) {
        struct stat& st = place.entry;
        if (fstatat(folder.fd.get(), last.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            const int error = errno;
            if (links > 0) return PlaceLookup::UNRESOLVED;
            if (error == ENOENT) settle(folder, last, place);
            return error == ENOENT || error == ENOTDIR ? PlaceLookup::MISSING : PlaceLookup::INACCESSIBLE;
        }
        if (!S_ISLNK(st.st_mode)) {
            const uid_t caller = links > 0 ? geteuid() : 0;
            for (int i = 0; i < links; ++i)
                if (linkOwners[i] != caller && linkOwners[i] != st.st_uid) return PlaceLookup::FOREIGN_LINK;
            if (settle(folder, last, place)) return PlaceLookup::FOUND;
            return links > 0 ? PlaceLookup::UNRESOLVED : PlaceLookup::INACCESSIBLE;
        }
        if (links == linkLimit) return PlaceLookup::UNRESOLVED;
        linkOwners[links] = st.st_uid;
        const std::string text = linkText(folder.fd.get(), last.c_str());
        if (text.empty() || openFolderOf(folder.fd.get(), text, folder, last) != 0)
            return PlaceLookup::UNRESOLVED;
    }
}

}  // namespace zekt
