// Where a named file really is, found through descriptors: the folder that
// holds its entry and the entry's name. Any path length works, and a
// symbolic link is followed only under the rule that keeps a planted link
// from redirecting a write.
#pragma once

#include <sys/stat.h>

#include <string>

#include "unique_fd.h"

namespace zekt {

struct FilePlace {
    UniqueFd folder;  // open for reading, so that it can be synced
    std::string name;
    struct stat entry {};  // the entry's own status (not a link's target's), when found
};

enum class PlaceLookup {
    FOUND,         // an entry that is no link, reached through links allowed
    MISSING,       // the named path has no entry (a new file's place may be set)
    INACCESSIBLE,  // the named path cannot be searched or opened
    FOREIGN_LINK,  // a link owned by neither the caller nor its target's owner
    UNRESOLVED,    // a link whose target cannot be reached (dangling, a loop)
};

// Walks path one component at a time from the working folder (or the root).
// Links in folder components are followed as the kernel follows them; a
// link at the last component is followed only when every link on the way
// is owned by the caller or by the owner of the file finally reached. On
// FOUND, and on MISSING when only the last component is absent, place holds
// the entry's folder and name.
PlaceLookup findPlace(const char* path, FilePlace& place);

}  // namespace zekt
