#include "replacement_batch.h"

#include <sys/resource.h>

#include <algorithm>

namespace zekt {
namespace {

// Beyond this many bytes waiting, a batch is committed: the temporary
// copies take disk space beside their originals until then.
constexpr std::uint64_t byteLimit = 8 << 20;

// Each file is on the disk before its rename.
void finish(std::vector<ReplacementBatch::Entry>& batch, FolderSync& folders,
            const ReplacementBatch::Report& report) {
    for (ReplacementBatch::Entry& entry : batch) entry.synced = entry.replacement->sync();
    for (ReplacementBatch::Entry& entry : batch) {
        const auto outcome = entry.synced ? entry.replacement->commit(&entry.expected, folders)
                                          : FileReplacement::Outcome::FAILED;
        if (outcome != FileReplacement::Outcome::REPLACED) report(entry.shownName, outcome);
    }
    batch.clear();
}

void startWrites(const std::vector<ReplacementBatch::Entry>& batch) {
    for (const ReplacementBatch::Entry& entry : batch) entry.replacement->startWriteback();
}

// Two batches' descriptors take at most a quarter of what the process may
// open, leaving the rest to the files in hand and to whatever else runs.
std::size_t batchSizeFor(rlim_t openFiles) {
    constexpr std::size_t descriptorsPerFile = 2, batches = 2, share = 4;
    const rlim_t fitting = openFiles / (descriptorsPerFile * batches * share);
    return static_cast<std::size_t>(std::clamp<rlim_t>(fitting, 1, ReplacementBatch::maxBatchSize));
}

}  // namespace

ReplacementBatch::ReplacementBatch() {
    rlimit limit{};
    batchSize_ = batchSizeFor(getrlimit(RLIMIT_NOFILE, &limit) == 0 ? limit.rlim_cur : 0);
    filling_.reserve(batchSize_);
    writing_.reserve(batchSize_);
}

void ReplacementBatch::add(Entry entry, FolderSync& folders, const Report& report) {
    bytes_ += static_cast<std::uint64_t>(std::max<off_t>(entry.replacement->size(), 0));
    filling_.push_back(std::move(entry));
    if (filling_.size() < batchSize_ && bytes_ < byteLimit) return;
    startWrites(filling_);
    finish(writing_, folders, report);
    std::swap(filling_, writing_);
    bytes_ = 0;
}

bool ReplacementBatch::replaces(dev_t device, ino_t inode) const {
    for (const auto* batch : {&filling_, &writing_})
        for (const Entry& entry : *batch)
            if (entry.expected.device == device && entry.expected.inode == inode) return true;
    return false;
}

void ReplacementBatch::commit(FolderSync& folders, const Report& report) {
    startWrites(filling_);
    finish(writing_, folders, report);
    finish(filling_, folders, report);
    bytes_ = 0;
}

}  // namespace zekt
