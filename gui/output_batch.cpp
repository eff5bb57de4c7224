#include "output_batch.h"

#include <algorithm>
#include <cerrno>

namespace zektwin {

void OutputBatch::add(std::unique_ptr<zekt::FileReplacement> file, zekt::FileReplacement::NameTaken nameTaken,
                      Done done) {
    m_bytes += static_cast<std::uint64_t>(std::max<off_t>(file->size(), 0));
    m_waiting.push_back({std::move(file), std::move(nameTaken), std::move(done)});
    if (m_waiting.size() >= maxFiles || m_bytes >= maxBytes) put();
}

// Each file is on the disk before its rename, and the renames before the
// batch is reported.
void OutputBatch::put() {
    std::vector<Waiting> batch = std::move(m_waiting);
    m_waiting.clear();
    m_bytes = 0;
    for (const Waiting& waiting : batch) waiting.file->startWriteback();
    std::vector<Placed> placed;
    {
        zekt::FolderSync folders;
        for (Waiting& waiting : batch) placed.push_back(place(waiting, folders));
    }
    for (std::size_t i = 0; i < batch.size(); ++i) batch[i].done(placed[i]);
}

OutputBatch::Placed OutputBatch::place(Waiting& waiting, zekt::FolderSync& folders) {
    using Outcome = zekt::FileReplacement::Outcome;
    zekt::FileReplacement& file = *waiting.file;
    if (!file.sync()) return {false, {}, false, errno};
    const Outcome outcome =
        waiting.nameTaken ? file.commitBeside(folders, waiting.nameTaken) : file.commit(nullptr, folders);
    if (outcome == Outcome::REPLACED) return {true, file.name(), false, 0};
    return {false, {}, outcome == Outcome::NAME_TAKEN, outcome == Outcome::NAME_TAKEN ? 0 : errno};
}

}  // namespace zektwin
