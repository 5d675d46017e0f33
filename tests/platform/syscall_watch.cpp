#include "platform/syscall_watch.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>

namespace nrbx::testing {

namespace {

SyscallWatch g_watch;

template <typename F>
F* realCall(const char* name) {
    return reinterpret_cast<F*>(::dlsym(RTLD_NEXT, name));
}

std::optional<ino_t> inodeOf(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return std::nullopt;
    return st.st_ino;
}

void note(std::string call) {
    if (g_watch.recording) g_watch.calls.push_back(std::move(call));
}

mode_t modeArgument(int flags, va_list args) {
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(args, unsigned)) : 0;
}

}  // namespace

SyscallWatch& syscallWatch() {
    return g_watch;
}

void resetSyscallWatch() {
    g_watch = SyscallWatch{};
}

}  // namespace nrbx::testing

using nrbx::testing::g_watch;
using nrbx::testing::inodeOf;
using nrbx::testing::note;

extern "C" {

int open(const char* path, int flags, ...) {
    static auto* real = nrbx::testing::realCall<int(const char*, int, ...)>("open");
    va_list args;
    va_start(args, flags);
    const mode_t mode = nrbx::testing::modeArgument(flags, args);
    va_end(args);
    note(std::string("open ") + path);
    return real(path, flags, mode);
}

int openat(int dir, const char* path, int flags, ...) {
    static auto* real = nrbx::testing::realCall<int(int, const char*, int, ...)>("openat");
    va_list args;
    va_start(args, flags);
    const mode_t mode = nrbx::testing::modeArgument(flags, args);
    va_end(args);
    note(std::string("open ") + path);
    return real(dir, path, flags, mode);
}

ssize_t read(int fd, void* buffer, size_t n) {
    static auto* real = nrbx::testing::realCall<ssize_t(int, void*, size_t)>("read");
    if (g_watch.stallNonblockingReadsOn && (::fcntl(fd, F_GETFL) & O_NONBLOCK) != 0 &&
        inodeOf(fd) == g_watch.stallNonblockingReadsOn) {
        errno = EAGAIN;
        return -1;
    }
    return real(fd, buffer, n);
}

off_t lseek(int fd, off_t offset, int whence) noexcept {
    static auto* real = nrbx::testing::realCall<off_t(int, off_t, int)>("lseek");
    if (g_watch.failLseekOn && inodeOf(fd) == g_watch.failLseekOn) {
        errno = EIO;
        return -1;
    }
    return real(fd, offset, whence);
}

int fsync(int fd) {
    static auto* real = nrbx::testing::realCall<int(int)>("fsync");
    struct stat st {};
    const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    if (g_watch.recording) note((folder ? "fsync folder " : "fsync file ") + std::to_string(st.st_ino));
    if (folder && g_watch.failFolderSync) {
        errno = EIO;
        return -1;
    }
    return real(fd);
}

int rename(const char* from, const char* to) noexcept {
    static auto* real = nrbx::testing::realCall<int(const char*, const char*)>("rename");
    note("rename");
    return real(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) noexcept {
    static auto* real = nrbx::testing::realCall<int(int, const char*, int, const char*)>("renameat");
    note("rename");
    return real(fromDir, from, toDir, to);
}

mode_t umask(mode_t mask) noexcept {
    static auto* real = nrbx::testing::realCall<mode_t(mode_t)>("umask");
    note("umask");
    return real(mask);
}

}  // extern "C"
