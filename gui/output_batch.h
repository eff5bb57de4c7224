// Finished outputs waiting to be put in place together: their writes to
// the disk are started at once and waited for once, where each file used
// to wait for its own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "file_replacement.h"

namespace zektwin {

class OutputBatch {
public:
    // How an output fared: put at name, or not (its name taken under a rule
    // that replaces nothing, or the system's error).
    struct Placed {
        bool placed = false;
        std::string name;
        bool nameTaken = false;
        int error = 0;
    };
    using Done = std::function<void(const Placed&)>;

    // Files and bytes waiting, at most: each file holds two descriptors
    // until it is put in place, and its temporary copy takes disk space.
    static constexpr std::size_t maxFiles = 32;
    static constexpr std::uint64_t maxBytes = 8 << 20;

    // Takes a finished output and what to call when it is placed; puts the
    // batch in place once it is full.
    void add(std::unique_ptr<zekt::FileReplacement> file, zekt::FileReplacement::NameTaken nameTaken,
             Done done);
    // Syncs every waiting output and puts it in place, reporting each in
    // the order they came.
    void put();
    bool empty() const { return m_waiting.empty(); }

private:
    struct Waiting {
        std::unique_ptr<zekt::FileReplacement> file;
        zekt::FileReplacement::NameTaken nameTaken;
        Done done;
    };
    static Placed place(Waiting& waiting, zekt::FolderSync& folders);

    std::vector<Waiting> m_waiting;
    std::uint64_t m_bytes = 0;
};

}  // namespace zektwin
