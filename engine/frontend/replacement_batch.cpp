#include "replacement_batch.h"

#include <algorithm>

namespace zekt {
namespace {

// Beyond this many bytes waiting, a batch is committed: the temporary
// copies take disk space beside their originals until then.
constexpr std::uint64_t byteLimit = 8 << 20;

}  // namespace

ReplacementBatch::ReplacementBatch() { entries_.reserve(maxPendingReplacements); }

bool ReplacementBatch::add(Entry entry) {
    bytes_ += static_cast<std::uint64_t>(std::max<off_t>(entry.replacement->size(), 0));
    entries_.push_back(std::move(entry));
    return entries_.size() >= maxPendingReplacements || bytes_ >= byteLimit;
}

bool ReplacementBatch::replaces(dev_t device, ino_t inode) const {
    for (const Entry& entry : entries_)
        if (entry.expected.device == device && entry.expected.inode == inode) return true;
    return false;
}

// Every file's writes are started before the first wait, so that the disk
// takes them together; each file is on the disk before its rename.
void ReplacementBatch::commit(FolderSync& folders, const Report& report) {
    for (const Entry& entry : entries_) entry.replacement->startWriteback();
    for (Entry& entry : entries_) entry.synced = entry.replacement->sync();
    for (Entry& entry : entries_) {
        const auto outcome = entry.synced ? entry.replacement->commit(&entry.expected, folders)
                                          : FileReplacement::Outcome::FAILED;
        if (outcome != FileReplacement::Outcome::REPLACED) report(entry.shownName, outcome);
    }
    entries_.clear();
    bytes_ = 0;
}

}  // namespace zekt
