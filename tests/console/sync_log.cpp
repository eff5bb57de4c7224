// Loaded into zekt by the console tests (LD_PRELOAD): every fsync and
// rename is written, with the paths it concerns (and " failed" if it did),
// as one line to the file named by ZEKT_TEST_SYNC_LOG, so that a test can read in which order a
// file reached the disk, took its name and had its folder synced. The
// Nth sync (ZEKT_TEST_FAIL_SYNC) or rename (ZEKT_TEST_FAIL_RENAME), from
// 1, fails with EIO instead.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string pathOf(int fd) {
    char link[64], target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, target, sizeof target - 1);
    return n < 0 ? "?" : std::string(target, static_cast<std::size_t>(n));
}

std::string pathAt(int folder, const char* name) {
    if (name[0] == '/') return name;
    char cwd[4096];
    const std::string base = folder != AT_FDCWD ? pathOf(folder) : getcwd(cwd, sizeof cwd) ? cwd : "?";
    return base + "/" + name;
}

void record(const std::string& line) {
    const char* log = std::getenv("ZEKT_TEST_SYNC_LOG");
    if (log == nullptr) return;
    const int fd = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return;
    const std::string text = line + "\n";
    if (write(fd, text.data(), text.size()) < 0) {
    }
    close(fd);
}

// Whether this call is the one of its kind that must fail.
bool failsNow(const char* variable, std::atomic<int>& count) {
    const char* which = std::getenv(variable);
    return ++count == (which != nullptr ? std::atoi(which) : 0);
}

std::atomic<int> syncs{0}, renames{0};

template <typename F>
F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

// The call's result, recorded after line; a failure on demand is EIO.
template <typename Call>
int logged(const std::string& line, const char* failure, std::atomic<int>& count, Call call) {
    const bool fails = failsNow(failure, count);
    const int result = fails ? -1 : call();
    const int error = fails ? EIO : errno;
    record(line + (result != 0 ? " failed" : ""));
    errno = error;
    return result;
}

extern "C" int fsync(int fd) {
    static const auto real = next<int (*)(int)>("fsync");
    return logged("sync " + pathOf(fd), "ZEKT_TEST_FAIL_SYNC", syncs, [fd] { return real(fd); });
}

extern "C" int fdatasync(int fd) {
    static const auto real = next<int (*)(int)>("fdatasync");
    return logged("sync " + pathOf(fd), "ZEKT_TEST_FAIL_SYNC", syncs, [fd] { return real(fd); });
}

extern "C" int renameat(int from, const char* fromName, int to, const char* toName) {
    static const auto real = next<int (*)(int, const char*, int, const char*)>("renameat");
    return logged("rename " + pathAt(from, fromName) + " " + pathAt(to, toName), "ZEKT_TEST_FAIL_RENAME",
                  renames, [&] { return real(from, fromName, to, toName); });
}

extern "C" int rename(const char* from, const char* to) { return renameat(AT_FDCWD, from, AT_FDCWD, to); }
