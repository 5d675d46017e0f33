#include "platform/file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>

#include "platform/failure.h"

namespace nrbx::platform {

namespace {

FileFaults g_faults;

// How many of n bytes the fault budget lets through, spending them.
std::size_t takeBudget(std::optional<std::size_t>& budget, std::size_t n) {
    if (!budget) return n;
    const std::size_t allowed = std::min(*budget, n);
    *budget -= allowed;
    return allowed;
}

// The reason for refusing what is not a regular file: a folder says so, anything else is named plainly.
Failure notRegular(const std::string& path, const struct stat& st) {
    return S_ISDIR(st.st_mode) ? fileOpenFailure(path, EISDIR) : fileOpenFailure(path, "not a regular file");
}

}  // namespace

void setFileFaults(const FileFaults& faults) {
    g_faults = faults;
}
void resetFileFaults() {
    g_faults = FileFaults{};
}

Descriptor::~Descriptor() {
    close();
}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

bool Descriptor::close() noexcept {
    if (m_fd < 0) return true;
    const bool ok = ::close(m_fd) == 0;
    m_fd = -1;
    return ok;
}

InputFile::InputFile(const std::string& path) {
    // Looked at before opening: opening a FIFO releases a writer waiting on it, and opening a device can
    // act on it.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw fileOpenFailure(path, errno);
    if (!S_ISREG(st.st_mode)) throw notRegular(path, st);
    // O_NONBLOCK and the second look cover a name swapped for a FIFO or device in between.
    m_fd = Descriptor(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!m_fd) throw fileOpenFailure(path, errno);
    if (::fstat(m_fd.get(), &st) != 0) throw fileOpenFailure(path, errno);
    if (!S_ISREG(st.st_mode)) throw notRegular(path, st);
    // A regular file from here on: reads must wait for data, or a network or FUSE file system answering
    // EAGAIN would look like a short file.
    const int flags = ::fcntl(m_fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(m_fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        throw fileOpenFailure(path, errno);
}

std::uint64_t InputFile::size() const {
    const off_t here = ::lseek(m_fd.get(), 0, SEEK_CUR);
    const off_t end = here < 0 ? -1 : ::lseek(m_fd.get(), 0, SEEK_END);
    // A size we cannot learn is a failed read, never an empty file.
    if (end < 0 || ::lseek(m_fd.get(), here, SEEK_SET) != here) throw streamReadFailure(errno);
    return static_cast<std::uint64_t>(end);
}

void InputFile::readExact(void* buffer, std::size_t n) {
    auto* out = static_cast<unsigned char*>(buffer);
    const std::size_t wanted = takeBudget(g_faults.readBudget, n);
    std::size_t done = 0;
    int error = 0;
    while (done < wanted) {
        const ssize_t got = ::read(m_fd.get(), out + done, wanted - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) error = errno;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    if (done < n) throw streamReadFailure(error);
}

namespace {

// Where a save lands. A working symbolic link is written through, so it keeps naming the file; one that
// leads nowhere (dangling, or a loop) is refused, as replacing it with a plain file would quietly cut it.
std::string landingPath(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) throw fileCreateFailure(path, errno);
    std::string resolved(real);
    std::free(real);
    return resolved;
}

// umask() can only be read by setting it, and in between every other thread would create files with the
// wrong mask; so the kernel's report is read, with the mask taken before main() as the fallback.
const mode_t g_startUpUmask = [] {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}();

mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) != 0) continue;
        char* end = nullptr;
        const unsigned long mask = std::strtoul(line.c_str() + 6, &end, 8);
        if (end != line.c_str() + 6 && mask <= 0777) return static_cast<mode_t>(mask);
    }
    return g_startUpUmask;
}

// Eight letters or digits, from the system's random source or, failing that, the clock and a counter;
// O_EXCL keeps a clash harmless either way.
std::string randomPart() {
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
        bits = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
               (static_cast<std::uint64_t>(::getpid()) << 40) ^ (++counter * 0x9E3779B97F4A7C15u);
    }
    static constexpr char kLetters[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string part(8, '0');
    for (char& c : part) {
        c = kLetters[bits % 36];
        bits /= 36;
    }
    return part;
}

}  // namespace

AtomicOutputFile::AtomicOutputFile(const std::string& path) : m_path(path) {
    const std::string target = landingPath(path);
    mode_t mode = 0666 & ~currentUmask();
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        // An existing file the user may not write stays as it is, as a direct overwrite would.
        if (S_ISDIR(st.st_mode)) throw fileCreateFailure(m_path, EISDIR);
        if (!S_ISREG(st.st_mode)) throw fileCreateFailure(m_path, std::string("not a regular file"));
        if (::access(target.c_str(), W_OK) != 0) throw fileCreateFailure(m_path, errno);
        // Permission bits only: a set-user-ID or set-group-ID bit would now grant the saver's rights.
        mode = st.st_mode & 0777;
    }
    const std::size_t slash = target.find_last_of('/');
    m_name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (m_name.empty()) throw fileCreateFailure(m_path, EISDIR);
    std::string folder = slash == std::string::npos ? std::string(".") : target.substr(0, slash);
    if (folder.empty()) folder.assign(1, '/');  // assign, not = "/": GCC 12 -O3 misreports -Wrestrict

    m_folder = Descriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_folder && errno == EACCES) {
        // A folder we may write but not list: names still work through an O_PATH handle, syncing does not.
        m_folder = Descriptor(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        m_folderSyncable = false;
    }
    if (!m_folder) throw fileCreateFailure(m_path, errno);

    int error = 0;
    for (int attempt = 0; attempt < 100 && !m_fd; ++attempt) {
        m_tempName = ".nrbx-" + randomPart() + ".tmp";
        m_fd = Descriptor(::openat(m_folder.get(), m_tempName.c_str(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        error = m_fd ? 0 : errno;
        if (!m_fd && errno != EEXIST) break;
    }
    if (!m_fd) {
        m_tempName.clear();
        throw fileCreateFailure(m_path, error);
    }
    m_tempPath = folder + (folder.back() == '/' ? "" : "/") + m_tempName;
    if (::fchmod(m_fd.get(), mode) != 0) {
        error = errno;
        discard();
        throw fileCreateFailure(m_path, error);
    }
}

AtomicOutputFile::~AtomicOutputFile() {
    discard();
}

void AtomicOutputFile::discard() noexcept {
    m_fd.close();
    if (!m_tempName.empty()) ::unlinkat(m_folder.get(), m_tempName.c_str(), 0);
    m_tempName.clear();
    m_tempPath.clear();
}

void AtomicOutputFile::write(const void* data, std::size_t n) {
    const auto* in = static_cast<const unsigned char*>(data);
    const std::size_t allowed = takeBudget(g_faults.writeBudget, n);
    std::size_t done = 0;
    int error = allowed < n ? ENOSPC : 0;  // the fault seam stands for a full disk
    while (done < allowed) {
        const ssize_t put = ::write(m_fd.get(), in + done, allowed - done);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) error = errno;
        if (put <= 0) break;
        done += static_cast<std::size_t>(put);
    }
    if (done < n) throw streamWriteFailure(error);
}

void AtomicOutputFile::commit() {
    // The data must be on disk before the name moves, or a crash could leave an empty file behind.
    const bool synced = ::fsync(m_fd.get()) == 0;
    int error = synced ? 0 : errno;
    const bool closed = m_fd.close();
    if (!closed && error == 0) error = errno;
    if (!synced || !closed) {
        discard();
        throw streamWriteFailure(error);
    }
    if (::renameat(m_folder.get(), m_tempName.c_str(), m_folder.get(), m_name.c_str()) != 0) {
        error = errno;
        discard();
        throw fileCreateFailure(m_path, error);
    }
    m_tempName.clear();
    m_tempPath.clear();
    // The new name lives in the folder's own data: until that is on disk, a power loss can bring the old
    // file back, so success waits for it. EINVAL: a file system with no way to sync a folder.
    if (m_folderSyncable && ::fsync(m_folder.get()) != 0 && errno != EINVAL) throw streamWriteFailure(errno);
}

}  // namespace nrbx::platform
