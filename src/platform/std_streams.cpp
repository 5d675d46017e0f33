#include "platform/std_streams.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/failure.h"

namespace nrbx::platform {

bool standardInputIsTerminal() {
    return ::isatty(STDIN_FILENO) == 1;
}
bool standardOutputIsTerminal() {
    return ::isatty(STDOUT_FILENO) == 1;
}
bool standardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

bool standardOutputSharedWithError() {
    struct stat out {};
    struct stat err {};
    if (::fstat(STDOUT_FILENO, &out) != 0 || ::fstat(STDERR_FILENO, &err) != 0) return false;
    if (S_ISCHR(out.st_mode) || S_ISBLK(out.st_mode)) return false;
    return out.st_dev == err.st_dev && out.st_ino == err.st_ino;
}

StreamBytes readStandardInput(std::size_t keep) {
    StreamBytes in;
    in.bytes.resize(keep + 1);
    std::size_t done = 0;
    while (done < in.bytes.size()) {
        const ssize_t got = ::read(STDIN_FILENO, in.bytes.data() + done, in.bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw streamReadFailure(errno);
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    in.longer = done > keep;
    in.bytes.resize(in.longer ? keep : done);
    return in;
}

void writeStandardOutput(const void* data, std::size_t n) {
    const auto* out = static_cast<const unsigned char*>(data);
    std::size_t done = 0;
    while (done < n) {
        const ssize_t put = ::write(STDOUT_FILENO, out + done, n - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) throw streamWriteFailure(put < 0 ? errno : 0);
        done += static_cast<std::size_t>(put);
    }
}

}  // namespace nrbx::platform
