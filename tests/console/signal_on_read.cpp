// Loaded into zekt by the console tests (LD_PRELOAD): the signal named by
// ZEKT_TEST_SIGNAL is raised when zekt reads a file past its first block
// (past ZEKT_TEST_SIGNAL_PAST bytes, if set), so that it comes half-way
// through a conversion, with the output's temporary file made, at the same
// point however fast or loaded the machine is.
#include <dlfcn.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
    using Read = ssize_t (*)(int, void*, size_t);
    static const Read next = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "read"));
    const char* past = std::getenv("ZEKT_TEST_SIGNAL_PAST");
    if (const char* sig = std::getenv("ZEKT_TEST_SIGNAL");
        sig != nullptr && lseek(fd, 0, SEEK_CUR) > (past != nullptr ? std::atol(past) : 0))
        std::raise(std::atoi(sig));
    return next(fd, buffer, count);
}
