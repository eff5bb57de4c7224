#include "file_replacement.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

namespace zekt {
namespace {

// Every signal that ends the process by default, can be caught and comes
// from a user or the system rather than from a fault of zekt's own.
constexpr std::array cleanedSignals{SIGHUP,  SIGINT,  SIGQUIT, SIGTERM, SIGPIPE,   SIGXFSZ,
                                    SIGXCPU, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF};
constexpr const char* aclAttribute = "system.posix_acl_access";
// ".zk" and six random characters: short, so that every name the file
// system takes can be replaced.
constexpr std::string_view tempPrefix = ".zk";
constexpr std::size_t tempRandom = 6;

// The temporary files a signal handler has to remove. A handler reaches no
// object, so this one record is global; it is written only with the
// signals blocked.
struct PendingTemps {
    struct Slot {
        volatile std::sig_atomic_t dirFd = -1;
        std::array<char, 16> name{};
    };
    std::array<Slot, maxPendingReplacements> slots{};
    std::size_t armed = 0;
    std::array<struct sigaction, cleanedSignals.size()> saved{};
    std::array<bool, cleanedSignals.size()> installed{};
};
PendingTemps pending;

extern "C" void removeTempsAndReraise(int sig, siginfo_t* info, void*) {
    // The kernel's own signal for a write past the file-size limit: the
    // write fails with EFBIG and is reported as a failed write.
    if (sig == SIGXFSZ && info != nullptr && info->si_code == SI_USER && info->si_pid == getpid()) return;
    std::atomic_signal_fence(std::memory_order_acquire);
    for (const PendingTemps::Slot& slot : pending.slots)
        if (slot.dirFd >= 0) unlinkat(slot.dirFd, slot.name.data(), 0);
    signal(sig, SIG_DFL);
    raise(sig);  // delivered when the handler returns: the process ends as the signal ends it
}

// Keeps the cleaned signals waiting for its lifetime.
class BlockedSignals {
public:
    BlockedSignals() {
        sigset_t set;
        sigemptyset(&set);
        for (int sig : cleanedSignals) sigaddset(&set, sig);
        pthread_sigmask(SIG_BLOCK, &set, &old_);
    }
    ~BlockedSignals() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    BlockedSignals(const BlockedSignals&) = delete;
    BlockedSignals& operator=(const BlockedSignals&) = delete;

private:
    sigset_t old_{};
};

// Signals that the process ignores stay ignored (a write to a closed pipe
// then fails as a write); the others remove the temporary files first.
void installHandlers() {
    struct sigaction action {};
    action.sa_sigaction = removeTempsAndReraise;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    for (int sig : cleanedSignals) sigaddset(&action.sa_mask, sig);
    for (std::size_t i = 0; i < cleanedSignals.size(); ++i) {
        pending.installed[i] = sigaction(cleanedSignals[i], nullptr, &pending.saved[i]) == 0 &&
                               pending.saved[i].sa_handler == SIG_DFL &&
                               sigaction(cleanedSignals[i], &action, nullptr) == 0;
    }
}

// With the signals blocked: the slot now covering the file, or false when
// every slot is taken.
bool armCleanup(int dirFd, std::string_view name, std::size_t& slotIndex) {
    for (std::size_t i = 0; i < pending.slots.size(); ++i) {
        PendingTemps::Slot& slot = pending.slots[i];
        if (slot.dirFd >= 0) continue;
        std::memcpy(slot.name.data(), name.data(), name.size());
        slot.name[name.size()] = '\0';
        if (pending.armed++ == 0) installHandlers();
        std::atomic_signal_fence(std::memory_order_release);
        slot.dirFd = dirFd;
        slotIndex = i;
        return true;
    }
    return false;
}

// With the signals blocked.
void disarmCleanup(std::size_t slotIndex) {
    PendingTemps::Slot& slot = pending.slots[slotIndex];
    if (slot.dirFd < 0) return;
    slot.dirFd = -1;
    if (--pending.armed != 0) return;
    for (std::size_t i = 0; i < cleanedSignals.size(); ++i)
        if (pending.installed[i]) sigaction(cleanedSignals[i], &pending.saved[i], nullptr);
}

std::string tempName() {
    static constexpr std::string_view letters =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::array<std::uint8_t, tempRandom> random{};
    if (getrandom(random.data(), random.size(), GRND_NONBLOCK) != static_cast<ssize_t>(random.size()))
        for (std::size_t i = 0; i < random.size(); ++i)
            random[i] = static_cast<std::uint8_t>((getpid() >> i) ^ (clock() >> (2 * i)) ^ i * 37);
    std::string name(tempPrefix);
    for (std::uint8_t r : random) name += letters[r % letters.size()];
    return name;
}

// The owning group's effective rights in an access ACL (its entry limited
// by the mask), as group bits; -1 if the value holds no such entry.
int aclGroupBits(std::string_view acl) {
    constexpr std::size_t header = 4, entry = 8;
    constexpr std::uint16_t groupObj = 0x04, mask = 0x10;
    int group = -1, limit = 7;
    for (std::size_t at = header; at + entry <= acl.size(); at += entry) {
        const auto byte = [&](std::size_t i) {
            return static_cast<std::uint16_t>(std::uint8_t(acl[at + i]));
        };
        const std::uint16_t tag = byte(0) | byte(1) << 8, perm = (byte(2) | byte(3) << 8) & 7;
        if (tag == groupObj) group = perm;
        if (tag == mask) limit = perm;
    }
    return group < 0 ? -1 : group & limit;
}

mode_t withGroupBits(mode_t mode, int groupBits) {
    return groupBits < 0 ? mode
                         : (mode & ~static_cast<mode_t>(S_IRWXG)) | static_cast<mode_t>(groupBits << 3);
}

template <typename Get>
std::string attributeValue(Get get) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = get(nullptr, 0);
        if (size <= 0) return {};
        std::string value(static_cast<std::size_t>(size), '\0');
        const ssize_t got = get(value.data(), value.size());
        if (got >= 0) return value.substr(0, static_cast<std::size_t>(got));
        if (errno != ERANGE) return {};  // else it grew meanwhile
    }
    return {};
}

// CAP_FOWNER lets the caller remove another's name from a sticky folder.
bool mayActForAnyOwner() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    std::array<__user_cap_data_struct, _LINUX_CAPABILITY_U32S_3> data{};
    if (syscall(SYS_capget, &header, data.data()) != 0) return geteuid() == 0;
    return (data[CAP_TO_INDEX(CAP_FOWNER)].effective & CAP_TO_MASK(CAP_FOWNER)) != 0;
}

// A file system without the flags has none set.
bool folderFlagsAllowRemoval(int dirFd) {
    int flags = 0;
    return ioctl(dirFd, FS_IOC_GETFLAGS, &flags) != 0 || (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) == 0;
}

// The kernel's rule for a sticky folder: only the file's owner, the
// folder's owner or a holder of CAP_FOWNER may remove or replace a name.
bool stickyRuleAllowsReplacing(int dirFd, const char* name) {
    struct stat folder {
    }, file{};
    if (fstat(dirFd, &folder) != 0 || (folder.st_mode & S_ISVTX) == 0) return true;
    if (fstatat(dirFd, name, &file, AT_SYMLINK_NOFOLLOW) != 0) return true;  // nothing to replace
    const uid_t caller = geteuid();
    return file.st_uid == caller || folder.st_uid == caller || mayActForAnyOwner();
}

}  // namespace

bool folderAllowsReplacing(int dirFd, const char* name) {
    return folderFlagsAllowRemoval(dirFd) && stickyRuleAllowsReplacing(dirFd, name);
}

mode_t effectivePermissions(int fd, mode_t mode) {
    const std::string acl = attributeValue(
        [fd](char* data, std::size_t size) { return fgetxattr(fd, aclAttribute, data, size); });
    return withGroupBits(mode, aclGroupBits(acl));
}

bool FileReplacement::create(UniqueFd folder, std::string name, mode_t mode) {
    abandon();
    // Otherwise the temporary file would be made and then stay: neither
    // renamed onto the target nor removed.
    if (!folder || !folderAllowsReplacing(folder.get(), name.c_str())) {
        errno = folder ? EPERM : errno;
        return false;
    }
    folder_ = std::move(folder);
    name_ = std::move(name);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = tempName();
        BlockedSignals blocked;
        fd_.reset(openat(folder_.get(), temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (!fd_) {
            if (errno == EEXIST) continue;
            break;
        }
        tempName_ = std::move(temp);
        if (armCleanup(folder_.get(), tempName_, cleanupSlot_)) return true;
        unlinkat(folder_.get(), tempName_.c_str(), 0);
        tempName_.clear();
        errno = EMFILE;
        break;
    }
    const int error = errno;
    abandon();
    errno = error;
    return false;
}

bool FileReplacement::keepMetadata(UniqueFd original, const struct stat& st) {
    original_ = std::move(original);
    originalSize_ = st.st_size;
    const int fd = fd_.get(), source = original_.get();
    const bool groupKept =
        fchown(fd, st.st_uid, st.st_gid) == 0 || fchown(fd, static_cast<uid_t>(-1), st.st_gid) == 0;
    const std::string names =
        attributeValue([source](char* data, std::size_t size) { return flistxattr(source, data, size); });
    int lostAclGroup = -1;
    bool hadAcl = false;
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
        const char* name = names.c_str() + at;
        const std::string value = attributeValue(
            [source, name](char* data, std::size_t size) { return fgetxattr(source, name, data, size); });
        const bool kept = fsetxattr(fd, name, value.data(), value.size(), 0) == 0;
        const bool acl = std::strcmp(name, aclAttribute) == 0;
        hadAcl = hadAcl || acl;
        if (!kept && acl) lostAclGroup = aclGroupBits(value);
    }
    // The folder's default ACL gave the new file entries the old one did
    // not have: none of them may open it to anyone.
    if (!hadAcl && fremovexattr(fd, aclAttribute) != 0 && errno != ENODATA && errno != ENOTSUP) return false;
    mode_t mode = withGroupBits(st.st_mode & 07777, lostAclGroup);
    if (!groupKept) mode &= ~static_cast<mode_t>(S_ISGID | S_IRWXG | S_IRWXO);
    return fchmod(fd, mode) == 0;
}

std::FILE* FileReplacement::openStream() {
    UniqueFd own(fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0));
    if (!own) return nullptr;
    std::FILE* stream = fdopen(own.get(), "wb");
    if (stream != nullptr) own.release();
    return stream;
}

bool FileReplacement::sameAsOriginal() {
    const UniqueFd original = std::move(original_);
    if (!original || size() != originalSize_) return false;
    static constexpr std::size_t chunk = 1 << 16;
    const auto mine = std::make_unique<char[]>(chunk), theirs = std::make_unique<char[]>(chunk);
    for (off_t at = 0;;) {
        const ssize_t a = pread(fd_.get(), mine.get(), chunk, at),
                      b = pread(original.get(), theirs.get(), chunk, at);
        if (a != b || a < 0 || std::memcmp(mine.get(), theirs.get(), static_cast<std::size_t>(a)) != 0)
            return false;
        if (a == 0) return true;
        at += a;
    }
}

off_t FileReplacement::size() const {
    struct stat st {};
    return fd_ && fstat(fd_.get(), &st) == 0 ? st.st_size : -1;
}

void FileReplacement::startWriteback() const {
    if (fd_) sync_file_range(fd_.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool FileReplacement::sync() const { return fd_ && fsync(fd_.get()) == 0; }

void FolderSync::add(int dirFd) {
    struct stat st {};
    if (fstat(dirFd, &st) == 0 && fd_ >= 0 && st.st_dev == device_ && st.st_ino == inode_) {
        close(dirFd);
        return;
    }
    flush();
    fd_ = dirFd;
    device_ = st.st_dev;
    inode_ = st.st_ino;
}

// A rename lasts only once its folder is on disk too.
void FolderSync::flush() {
    if (fd_ < 0) return;
    fsync(fd_);
    close(fd_);
    fd_ = -1;
}

FileReplacement::Outcome FileReplacement::commit(const FileIdentity* expected, FolderSync& folders) {
    struct stat st {};
    if (expected != nullptr && (fstatat(folder_.get(), name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
                                !(FileIdentity::of(st) == *expected))) {
        abandon();
        return Outcome::CHANGED_MEANWHILE;
    }
    {
        BlockedSignals blocked;
        if (renameat(folder_.get(), tempName_.c_str(), folder_.get(), name_.c_str()) != 0) {
            abandon();
            return Outcome::FAILED;
        }
        placed();
    }
    return settled(folders);
}

namespace {

// A file system without renameat2's flag still never replaces: a hard
// link fails on a taken name as well.
int renameNoReplace(int folder, const char* from, const char* to) {
    if (renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    if (linkat(folder, from, folder, to, 0) != 0) return -1;
    unlinkat(folder, from, 0);
    return 0;
}

}  // namespace

FileReplacement::Outcome FileReplacement::commitBeside(FolderSync& folders, const NameTaken& nameTaken) {
    {
        BlockedSignals blocked;
        while (renameNoReplace(folder_.get(), tempName_.c_str(), name_.c_str()) != 0) {
            const bool taken = errno == EEXIST;
            std::string next = taken ? nameTaken(name_) : std::string();
            if (next.empty()) {
                abandon();
                return taken ? Outcome::NAME_TAKEN : Outcome::FAILED;
            }
            name_ = std::move(next);
        }
        placed();
    }
    return settled(folders);
}

// The temporary name is gone: nothing is left for a signal to remove.
void FileReplacement::placed() {
    tempName_.clear();
    disarmCleanup(cleanupSlot_);
}

// Put in place: the descriptors go, and the folder waits for its sync.
FileReplacement::Outcome FileReplacement::settled(FolderSync& folders) {
    fd_.reset();
    original_.reset();
    folders.add(folder_.release());
    return Outcome::REPLACED;
}

void FileReplacement::abandon() {
    if (!folder_) return;
    BlockedSignals blocked;
    if (!tempName_.empty()) {
        unlinkat(folder_.get(), tempName_.c_str(), 0);
        tempName_.clear();
        disarmCleanup(cleanupSlot_);
    }
    fd_.reset();
    original_.reset();
    folder_.reset();
}

}  // namespace zekt
