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

// The temporary file a signal handler has to remove. A handler reaches no
// object, so this one record is global; it is written only with the
// signals blocked.
struct PendingTemp {
    volatile std::sig_atomic_t dirFd = -1;
    std::array<char, 16> name{};
    std::array<struct sigaction, cleanedSignals.size()> saved{};
    std::array<bool, cleanedSignals.size()> installed{};
};
PendingTemp pending;

extern "C" void removeTempAndReraise(int sig, siginfo_t* info, void*) {
    // The kernel's own signal for a write past the file-size limit: the
    // write fails with EFBIG and is reported as a failed write.
    if (sig == SIGXFSZ && info != nullptr && info->si_code == SI_USER && info->si_pid == getpid()) return;
    std::atomic_signal_fence(std::memory_order_acquire);
    if (pending.dirFd >= 0) unlinkat(pending.dirFd, pending.name.data(), 0);
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

// With the signals blocked. Signals that the process ignores stay ignored
// (a write to a closed pipe then fails as a write).
void armCleanup(int dirFd, std::string_view name) {
    if (pending.dirFd >= 0) return;  // one replacement at a time is covered
    std::memcpy(pending.name.data(), name.data(), name.size());
    pending.name[name.size()] = '\0';
    struct sigaction action {};
    action.sa_sigaction = removeTempAndReraise;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    for (int sig : cleanedSignals) sigaddset(&action.sa_mask, sig);
    for (std::size_t i = 0; i < cleanedSignals.size(); ++i) {
        pending.installed[i] = sigaction(cleanedSignals[i], nullptr, &pending.saved[i]) == 0 &&
                               pending.saved[i].sa_handler == SIG_DFL &&
                               sigaction(cleanedSignals[i], &action, nullptr) == 0;
    }
    std::atomic_signal_fence(std::memory_order_release);
    pending.dirFd = dirFd;
}

void disarmCleanup(int dirFd) {
    if (pending.dirFd != dirFd) return;
    pending.dirFd = -1;
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

std::string_view directoryOf(std::string_view path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string_view::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string_view baseNameOf(std::string_view path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
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
        if (size < 0) return {};
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

bool FileReplacement::create(const std::string& target, mode_t mode) {
    dirFd_ = open(std::string(directoryOf(target)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd_ < 0) return false;
    target_ = target;
    // Otherwise the temporary file would be made and then stay: neither
    // renamed onto the target nor removed.
    if (!folderAllowsReplacing(dirFd_, std::string(baseNameOf(target)).c_str())) {
        abandon();
        errno = EPERM;
        return false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = tempName();
        BlockedSignals blocked;
        fd_ = openat(dirFd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd_ >= 0) {
            ownsFd_ = true;
            armCleanup(dirFd_, name);
            tempPath_ = std::string(directoryOf(target)) + "/" + name;
            return true;
        }
        if (errno != EEXIST) break;
    }
    const int error = errno;
    abandon();
    errno = error;
    return false;
}

bool FileReplacement::keepMetadata(const struct stat& st) {
    const bool groupKept =
        fchown(fd_, st.st_uid, st.st_gid) == 0 || fchown(fd_, static_cast<uid_t>(-1), st.st_gid) == 0;
    const char* path = target_.c_str();
    const std::string names =
        attributeValue([path](char* data, std::size_t size) { return listxattr(path, data, size); });
    int lostAclGroup = -1;
    bool hadAcl = false;
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
        const char* name = names.c_str() + at;
        const std::string value = attributeValue(
            [path, name](char* data, std::size_t size) { return getxattr(path, name, data, size); });
        const bool kept = fsetxattr(fd_, name, value.data(), value.size(), 0) == 0;
        const bool acl = std::strcmp(name, aclAttribute) == 0;
        hadAcl = hadAcl || acl;
        if (!kept && acl) lostAclGroup = aclGroupBits(value);
    }
    // The folder's default ACL gave the new file entries the old one did
    // not have: none of them may open it to anyone.
    if (!hadAcl && fremovexattr(fd_, aclAttribute) != 0 && errno != ENODATA && errno != ENOTSUP) return false;
    mode_t mode = withGroupBits(st.st_mode & 07777, lostAclGroup);
    if (!groupKept) mode &= ~static_cast<mode_t>(S_ISGID | S_IRWXG | S_IRWXO);
    return fchmod(fd_, mode) == 0;
}

std::FILE* FileReplacement::openStream() {
    std::FILE* stream = fdopen(fd_, "wb");
    if (stream != nullptr) ownsFd_ = false;
    return stream;
}

bool FileReplacement::sync() const { return fd_ >= 0 && fsync(fd_) == 0; }

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
    if (expected != nullptr && (stat(target_.c_str(), &st) != 0 || !(FileIdentity::of(st) == *expected))) {
        abandon();
        return Outcome::CHANGED_MEANWHILE;
    }
    {
        BlockedSignals blocked;
        const std::string name(baseNameOf(tempPath_));
        if (renameat(dirFd_, name.c_str(), dirFd_, std::string(baseNameOf(target_)).c_str()) != 0) {
            abandon();
            return Outcome::FAILED;
        }
        tempPath_.clear();
        disarmCleanup(dirFd_);
    }
    folders.add(dirFd_);
    dirFd_ = -1;
    return Outcome::REPLACED;
}

void FileReplacement::abandon() {
    if (dirFd_ < 0) return;
    BlockedSignals blocked;
    if (!tempPath_.empty()) unlinkat(dirFd_, std::string(baseNameOf(tempPath_)).c_str(), 0);
    tempPath_.clear();
    disarmCleanup(dirFd_);
    if (ownsFd_) close(fd_);
    ownsFd_ = false;
    fd_ = -1;
    close(dirFd_);
    dirFd_ = -1;
}

}  // namespace zekt
