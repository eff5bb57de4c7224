// A new version of a file, written beside it under a short hidden name and
// put in its place only by commit(): durable, with what the old file had,
// and never left behind (also when a signal ends the process).
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

#include "unique_fd.h"

namespace zekt {

// What identifies the content a conversion started from.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    static FileIdentity of(const struct stat& st) { return {st.st_dev, st.st_ino, st.st_size, st.st_mtim}; }
    bool operator==(const FileIdentity& o) const {
        return device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

// The folder whose new entry still has to reach the disk. It is flushed
// when a replacement happens in another folder, and at the latest when this
// ends: once per folder of a run, not once per file.
class FolderSync {
public:
    FolderSync() = default;
    FolderSync(const FolderSync&) = delete;
    FolderSync& operator=(const FolderSync&) = delete;
    ~FolderSync() { flush(); }
    // Takes the descriptor over.
    void add(int dirFd);
    void flush();

private:
    int fd_ = -1;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

// How many replacements may wait at once (each holds two descriptors,
// and its temporary file is removed if a signal ends the process).
inline constexpr std::size_t maxPendingReplacements = 64;

class FileReplacement {
public:
    enum class Outcome { REPLACED, UNCHANGED, CHANGED_MEANWHILE, FAILED, NAME_TAKEN };
    // Given the name found taken, another to try; empty to give up.
    using NameTaken = std::function<std::string(const std::string& taken)>;

    // Creates the temporary file in folder (taken over), beside the entry
    // name, with the given mode (the umask applies); false with errno set
    // if that is impossible or the folder would keep it.
    bool create(UniqueFd folder, std::string name, mode_t mode);
    FileReplacement() = default;
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;
    ~FileReplacement() { abandon(); }

    // A stream over the new file (on a descriptor of its own); null, errno
    // set, if none could be made.
    std::FILE* openStream();
    // Owner, group, mode, ACL and extended attributes of the original,
    // read from source (described by st, and kept open); what cannot be
    // kept leaves the new file no more accessible than the old one. False
    // if the mode cannot be set, or an ACL the folder gave the new file
    // cannot be taken off.
    bool keepMetadata(UniqueFd source, const struct stat& st);
    // Whether the new file holds the same bytes as the original; the
    // original is let go after.
    bool sameAsOriginal();
    // The new file's bytes so far.
    off_t size() const;

    // Starts writing the new file to the disk without waiting for it, so
    // that the syncs of several files overlap.
    void startWriteback() const;
    // Waits until the new file is on the disk.
    bool sync() const;
    // Renames the new file onto the entry and leaves the folder to folders
    // to flush. With expected set, an entry whose content is no longer the
    // one expected stays and the new file goes. The file must have been
    // synced.
    Outcome commit(const FileIdentity* expected, FolderSync& folders);
    // Puts the new file at its name, or at the next one nameTaken gives
    // while the name is taken: nothing is replaced. NAME_TAKEN once it
    // gives up. The file must have been synced.
    Outcome commitBeside(FolderSync& folders, const NameTaken& nameTaken);
    // The entry the new file is for (or was put at).
    const std::string& name() const { return name_; }
    void abandon();

private:
    void placed();
    Outcome settled(FolderSync& folders);

    UniqueFd folder_;
    std::string name_;
    std::string tempName_;
    UniqueFd fd_;
    UniqueFd original_;
    off_t originalSize_ = -1;
    std::size_t cleanupSlot_ = 0;
};

// Whether the folder at dirFd lets the caller replace its entry name by a
// new file and remove that file: not append-only nor immutable, and not
// sticky over another's file (unless the caller owns the folder or holds
// CAP_FOWNER).
bool folderAllowsReplacing(int dirFd, const char* name);

// The permission bits a copy of the file at fd may carry without giving
// anyone more than the file gave: with an access ACL, the group bits are
// what the owning group is effectively granted.
mode_t effectivePermissions(int fd, mode_t mode);

}  // namespace zekt
