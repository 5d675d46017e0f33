#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "platform/failure.h"
#include "platform/path.h"

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

}  // namespace

void setFileFaults(const FileFaults& faults) {
    g_faults = faults;
}
void resetFileFaults() {
    g_faults = FileFaults{};
}

InputFile::InputFile(const std::string& path) {
    // O_NONBLOCK keeps a FIFO without a writer from hanging the program; it is refused just below.
    m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0) throw fileOpenFailure(path);
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        throw fileOpenFailure(path);
    }
}

InputFile::~InputFile() {
    if (m_fd >= 0) ::close(m_fd);
}

std::uint64_t InputFile::size() const {
    const off_t here = ::lseek(m_fd, 0, SEEK_CUR);
    const off_t end = ::lseek(m_fd, 0, SEEK_END);
    ::lseek(m_fd, here, SEEK_SET);
    return end < 0 ? 0 : static_cast<std::uint64_t>(end);
}

void InputFile::readExact(void* buffer, std::size_t n) {
    auto* out = static_cast<unsigned char*>(buffer);
    const std::size_t wanted = takeBudget(g_faults.readBudget, n);
    std::size_t done = 0;
    while (done < wanted) {
        const ssize_t got = ::read(m_fd, out + done, wanted - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    if (done < n) throw streamReadFailure();
}

namespace {

std::string resolveLink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    // Replacing the link itself would cut it from the file it names; write where it points instead.
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) return path;
    std::string resolved(real);
    std::free(real);
    return resolved;
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

AtomicOutputFile::AtomicOutputFile(const std::string& path) : m_path(path), m_targetPath(resolveLink(path)) {
    mode_t mode = 0666 & ~currentUmask();
    struct stat st {};
    if (::stat(m_targetPath.c_str(), &st) == 0) {
        // An existing file the user may not write stays as it is, as a direct overwrite would.
        if (!S_ISREG(st.st_mode) || ::access(m_targetPath.c_str(), W_OK) != 0)
            throw fileCreateFailure(m_path);
        mode = st.st_mode & 07777;
    }
    std::string dir = ExtractDirectory(m_targetPath, posixFlavour());
    if (dir.empty()) dir.assign(1, '.');  // assign, not = ".": GCC 12 -O3 misreports -Wrestrict
    const std::string base = m_targetPath.substr(m_targetPath.find_last_of('/') + 1);
    std::string pattern = dir + (dir.back() == '/' ? "" : "/") + "." + base + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    m_fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0) throw fileCreateFailure(m_path);
    m_tempPath = name.data();
    if (::fchmod(m_fd, mode) != 0) {
        discard();
        throw fileCreateFailure(m_path);
    }
}

AtomicOutputFile::~AtomicOutputFile() {
    discard();
}

void AtomicOutputFile::discard() noexcept {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_tempPath.empty()) ::unlink(m_tempPath.c_str());
    m_tempPath.clear();
}

void AtomicOutputFile::write(const void* data, std::size_t n) {
    const auto* in = static_cast<const unsigned char*>(data);
    const std::size_t allowed = takeBudget(g_faults.writeBudget, n);
    std::size_t done = 0;
    while (done < allowed) {
        const ssize_t put = ::write(m_fd, in + done, allowed - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        done += static_cast<std::size_t>(put);
    }
    if (done < n) throw streamWriteFailure();
}

void AtomicOutputFile::commit() {
    // The data must be on disk before the name moves, or a crash could leave an empty file behind.
    const bool synced = ::fsync(m_fd) == 0;
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    if (!synced || !closed) {
        discard();
        throw streamWriteFailure();
    }
    if (::rename(m_tempPath.c_str(), m_targetPath.c_str()) != 0) {
        discard();
        throw fileCreateFailure(m_path);
    }
    m_tempPath.clear();
}

}  // namespace nrbx::platform
