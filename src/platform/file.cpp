#include "platform/file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>

#include "platform/failure.h"
#include "platform/random.h"

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

// Every byte of the pieces to fd, in as few system calls as the system takes; the stream-write failure
// otherwise.
void writePieces(int fd, std::span<const std::span<const std::uint8_t>> pieces) {
    std::size_t n = 0;
    for (const auto& piece : pieces) n += piece.size();
    std::size_t allowed = takeBudget(g_faults.writeBudget, n);
    int error = allowed < n ? ENOSPC : 0;  // the fault seam stands for a full disk
    std::size_t done = 0;
    std::size_t next = 0, offset = 0;  // the first byte not yet written: piece and offset in it
    while (done < allowed) {
        std::array<iovec, 64> vec;  // a batch of rows per call; IOV_MAX is at least 1024 on Linux
        static_assert(vec.size() <= IOV_MAX);
        std::size_t count = 0, batch = 0;
        for (std::size_t i = next, o = offset;
             i < pieces.size() && count < vec.size() && done + batch < allowed; ++i, o = 0) {
            const std::size_t len = std::min(pieces[i].size() - o, allowed - done - batch);
            if (len == 0) continue;
            vec[count++] = iovec{const_cast<std::uint8_t*>(pieces[i].data() + o), len};
            batch += len;
        }
        const ssize_t put = ::writev(fd, vec.data(), static_cast<int>(count));
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) error = errno;
        if (put <= 0) break;
        done += static_cast<std::size_t>(put);
        for (auto left = static_cast<std::size_t>(put); left > 0;) {
            const std::size_t step = std::min(left, pieces[next].size() - offset);
            left -= step;
            offset += step;
            if (offset == pieces[next].size()) ++next, offset = 0;
        }
        while (next < pieces.size() && pieces[next].size() == offset) ++next, offset = 0;
    }
    if (done < n) throw streamWriteFailure(error);
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
    // O_NONBLOCK is the only status flag opened with, so clearing them all needs no F_GETFL first.
    if (::fcntl(m_fd.get(), F_SETFL, 0) != 0) throw fileOpenFailure(path, errno);
}

std::uint64_t InputFile::size() const {
    const off_t here = ::lseek(m_fd.get(), 0, SEEK_CUR);
    const off_t end = here < 0 ? -1 : ::lseek(m_fd.get(), 0, SEEK_END);
    // A size we cannot learn is a failed read, never an empty file.
    if (end < 0 || ::lseek(m_fd.get(), here, SEEK_SET) != here) throw streamReadFailure(errno);
    return static_cast<std::uint64_t>(end);
}

void InputFile::readExact(void* buffer, std::size_t n) {
    if (readUpTo(buffer, n) < n) throw streamReadFailure(0);
}

std::size_t InputFile::readUpTo(void* buffer, std::size_t n) {
    auto* out = static_cast<unsigned char*>(buffer);
    const std::size_t wanted = takeBudget(g_faults.readBudget, n);
    std::size_t done = 0;
    while (done < wanted) {
        const ssize_t got = ::read(m_fd.get(), out + done, wanted - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw streamReadFailure(errno);
        if (got == 0) return done;
        done += static_cast<std::size_t>(got);
    }
    // The fault seam stands for a disk that fails before the end, never for a shorter file.
    if (done < n) throw streamReadFailure(0);
    return done;
}

namespace {

// Where a save lands, and what is there now. A working symbolic link is written through, so it keeps
// naming the file; one that leads nowhere (dangling, or a loop) is refused, as replacing it with a plain
// file would quietly cut it. For anything but a link, lstat already tells what stat would.
struct Landing {
    std::string path;
    std::optional<struct stat> existing;
};

Landing landingOf(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return {path, std::nullopt};
    if (!S_ISLNK(st.st_mode)) return {path, st};
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) throw fileCreateFailure(path, errno);
    Landing landing{std::string(real), std::nullopt};
    std::free(real);
    if (::stat(landing.path.c_str(), &st) == 0) landing.existing = st;
    return landing;
}

// Eight letters or digits. The system's random source is asked once per process (or the clock, failing
// that); each name then mixes that seed with a counter and the process ID, so a batch spends no system
// call on it and a forked child draws other names. O_EXCL keeps a clash harmless either way.
std::string randomPart() {
    static const std::uint64_t seed = [] {
        std::uint64_t bits = 0;
        if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits))
            bits = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        return bits;
    }();
    static std::atomic<std::uint64_t> counter{0};
    // Mixed so that every bit of seed, counter and process ID reaches every bit of the name.
    std::uint64_t bits =
        mix64(seed ^ (static_cast<std::uint64_t>(::getpid()) << 32) ^ (++counter * kGoldenGamma));
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
    const Landing landing = landingOf(path);
    const std::string& target = landing.path;
    // A new file gets 0666 less the umask from the kernel as it is created, so the umask is never read
    // here at all: no /proc read per save, and no moment in which another thread's umask() change or
    // file creation could meet a mask we set (the old way of reading it). A replaced file keeps its own
    // bits, set by fchmod below.
    std::optional<mode_t> keptMode;
    if (const auto& st = landing.existing) {
        // An existing file the user may not write stays as it is, as a direct overwrite would.
        if (S_ISDIR(st->st_mode)) throw fileCreateFailure(m_path, EISDIR);
        if (!S_ISREG(st->st_mode)) throw fileCreateFailure(m_path, std::string("not a regular file"));
        if (::access(target.c_str(), W_OK) != 0) throw fileCreateFailure(m_path, errno);
        // Permission bits only: a set-user-ID or set-group-ID bit would now grant the saver's rights.
        keptMode = st->st_mode & 0777;
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
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                   keptMode ? 0600 : 0666));
        error = m_fd ? 0 : errno;
        if (!m_fd && errno != EEXIST) break;
    }
    if (!m_fd) {
        m_tempName.clear();
        throw fileCreateFailure(m_path, error);
    }
    m_tempPath = folder + (folder.back() == '/' ? "" : "/") + m_tempName;
    if (keptMode && ::fchmod(m_fd.get(), *keptMode) != 0) {
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
    const std::span<const std::uint8_t> piece(static_cast<const std::uint8_t*>(data), n);
    write(std::span(&piece, 1));
}

void AtomicOutputFile::write(std::span<const std::span<const std::uint8_t>> pieces) {
    writePieces(m_fd.get(), pieces);
}

void AtomicOutputFile::complete() {
    if (m_complete) return;
    // The data must be on disk before the name moves, or a crash could leave an empty file behind.
    const bool synced = ::fsync(m_fd.get()) == 0;
    int error = synced ? 0 : errno;
    const bool closed = m_fd.close();
    if (!closed && error == 0) error = errno;
    if (!synced || !closed) {
        discard();
        throw streamWriteFailure(error);
    }
    m_complete = true;
}

void AtomicOutputFile::commit() {
    complete();
    int error = 0;
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

InPlaceOutputFile::InPlaceOutputFile(const std::string& path)
    : m_fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_CLOEXEC, 0666)) {
    if (!m_fd) throw fileCreateFailure(path, errno);
}

void InPlaceOutputFile::write(std::span<const std::uint8_t> bytes) {
    writePieces(m_fd.get(), std::span(&bytes, 1));
}

void InPlaceOutputFile::close() {
    if (!m_fd.close()) throw streamWriteFailure(errno);
}

}  // namespace nrbx::platform
