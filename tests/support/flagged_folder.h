// A folder carrying file flags (chattr: append-only, immutable), for the
// tests of what such a folder lets a replacement do. Not every file system
// takes the flags (tmpfs and overlay may not), so the folder is made under
// the temporary folder or else in the build tree.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "scratch_dir.h"

namespace zekt::testing {

class FlaggedFolder {
public:
    // fill puts the folder's files in place before the flags (an immutable
    // folder takes none after); flags are chattr's letters, as "a" or "i".
    FlaggedFolder(std::string flags, const std::function<void(const std::filesystem::path&)>& fill)
        : flags_(std::move(flags)) {
        for (const std::filesystem::path& parent :
             {std::filesystem::temp_directory_path(), std::filesystem::path(ZEKT_BUILD_SCRATCH)}) {
            scratch_ = std::make_unique<ScratchDir>(parent);
            if (scratch_->path().empty()) continue;
            folder_ = scratch_->path() / "folder";
            std::filesystem::create_directory(folder_);
            fill(folder_);
            if (chattr("+")) return;
            folder_.clear();
        }
        scratch_.reset();
    }
    // Cleared first, or the scratch directory could not be removed.
    ~FlaggedFolder() {
        if (!folder_.empty()) chattr("-");
    }
    FlaggedFolder(const FlaggedFolder&) = delete;
    FlaggedFolder& operator=(const FlaggedFolder&) = delete;

    // Empty when no file system took the flags (or chattr is missing).
    const std::filesystem::path& path() const { return folder_; }

private:
    bool chattr(const char* sign) const {
        const std::string command =
            "chattr " + std::string(sign) + flags_ + " '" + folder_.string() + "' 2>/dev/null";
        return std::system(command.c_str()) == 0;
    }

    std::string flags_;
    std::unique_ptr<ScratchDir> scratch_;
    std::filesystem::path folder_;
};

}  // namespace zekt::testing
