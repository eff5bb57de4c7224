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

// Opens, from base, every folder that text passes through (text's own
// links followed by the kernel, one component at a time so that no length
// limit applies); last is the final component, "." when text ends with a
// slash. 0, or the errno of the component that failed.
int walkFolders(int base, std::string_view text, UniqueFd& folder, std::string& last) {
    UniqueFd current = openFolderPath(text.starts_with('/') ? AT_FDCWD : base, text.starts_with('/') ? "/" : ".");
    if (!current) return errno;
    std::string component;
    std::size_t at = 0;
    for (;;) {
        while (at < text.size() && text[at] == '/') ++at;
        const std::size_t end = std::min(text.find('/', at), text.size());
        component.assign(text.substr(at, end - at));
        at = end;
        const bool final = text.find_first_not_of('/', at) == std::string_view::npos;
        if (final) {
            // "dir/" names the folder itself, as stat reads it.
            if (at < text.size() || component.empty()) {
                if (!component.empty()) {
                    UniqueFd next = openFolderPath(current.get(), component.c_str());
                    if (!next) return errno;
                    current = std::move(next);
                }
                component = ".";
            }
            break;
        }
        UniqueFd next = openFolderPath(current.get(), component.c_str());
        if (!next) return errno;
        current = std::move(next);
    }
    folder = std::move(current);
    last = std::move(component);
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

// The place with its folder open for reading (a searched folder is only
// open as a path), so that it can be synced and its flags read.
bool settle(UniqueFd& folder, std::string& last, FilePlace& place) {
    UniqueFd readable(openat(folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!readable) return false;
    place.folder = std::move(readable);
    place.name = std::move(last);
    return true;
}

}  // namespace

PlaceLookup findPlace(const char* path, FilePlace& place) {
    if (*path == '\0') return PlaceLookup::MISSING;
    UniqueFd folder;
    std::string last;
    if (const int error = walkFolders(AT_FDCWD, path, folder, last); error != 0)
        return error == ENOENT || error == ENOTDIR ? PlaceLookup::MISSING : PlaceLookup::INACCESSIBLE;
    const uid_t caller = geteuid();
    std::array<uid_t, linkLimit> linkOwners{};
    for (int links = 0;; ++links) {
        struct stat st {};
        if (fstatat(folder.get(), last.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            const int error = errno;
            if (links > 0) return PlaceLookup::UNRESOLVED;
            if (error == ENOENT) settle(folder, last, place);
            return error == ENOENT || error == ENOTDIR ? PlaceLookup::MISSING : PlaceLookup::INACCESSIBLE;
        }
        if (!S_ISLNK(st.st_mode)) {
            for (int i = 0; i < links; ++i)
                if (linkOwners[i] != caller && linkOwners[i] != st.st_uid) return PlaceLookup::FOREIGN_LINK;
            if (settle(folder, last, place)) return PlaceLookup::FOUND;
            return links > 0 ? PlaceLookup::UNRESOLVED : PlaceLookup::INACCESSIBLE;
        }
        if (links == linkLimit) return PlaceLookup::UNRESOLVED;
        linkOwners[links] = st.st_uid;
        const std::string text = linkText(folder.get(), last.c_str());
        if (text.empty() || walkFolders(folder.get(), text, folder, last) != 0) return PlaceLookup::UNRESOLVED;
    }
}

}  // namespace zekt
