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

// Two batches at most: the one being filled, and the one whose writes to
// the disk were started when it was full, which is finished (synced and
// renamed) when the next one fills, its writes having gone on meanwhile.
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
    // Files per batch, at most: each holds two descriptors until it is
    // renamed, and a slot of the signal cleanup.
    static constexpr std::size_t maxBatchSize = maxPendingReplacements / 2;

    ReplacementBatch();
    // Takes a written file; a full batch has its writes started, and the
    // batch before it is finished, the folders left to folders.
    void add(Entry entry, FolderSync& folders, const Report& report);
    // Whether a waiting file replaces this one (its new content is then what
    // a later pass over it must read).
    bool replaces(dev_t device, ino_t inode) const;
    // Finishes every waiting file.
    void commit(FolderSync& folders, const Report& report);

private:
    std::size_t batchSize_;  // fewer where the process may open few files
    std::vector<Entry> filling_, writing_;
    std::uint64_t bytes_ = 0;  // in filling_
};

}  // namespace zekt
