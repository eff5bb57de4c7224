// Files converted in place whose new versions wait to be put in place
// together: one wait for the disk serves them all, where each used to wait
// for its own before the next was started.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "file_replacement.h"

namespace zekt {

class ReplacementBatch {
public:
    struct Entry {
        std::unique_ptr<FileReplacement> replacement;
        FileIdentity expected;  // what the file held when its conversion started
        std::string shownName;  // as its messages show it
        bool synced = false;
    };
    // Reports a file left as it was: its shown name and the outcome.
    using Report = std::function<void(const std::string&, FileReplacement::Outcome)>;

    ReplacementBatch();
    // Whether the batch should now be committed.
    bool add(Entry entry);
    bool empty() const { return entries_.empty(); }
    // Whether a waiting file replaces this one (its new content is then what
    // a later pass over it must read).
    bool replaces(dev_t device, ino_t inode) const;
    // Brings every new file to the disk, then puts each in place (or leaves
    // its old file, and reports it), the folders left to folders.
    void commit(FolderSync& folders, const Report& report);

private:
    std::vector<Entry> entries_;
    std::uint64_t bytes_ = 0;
};

}  // namespace zekt
