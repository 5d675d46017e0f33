#include "platform/standard_descriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace nrbx::platform {

void ensureStandardDescriptors() noexcept {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // Every lower descriptor is open, so the system gives this one; read-write suits each stream.
        const int opened = ::open("/dev/null", O_RDWR);
        if (opened == fd) continue;
        if (opened < 0 || ::dup2(opened, fd) != fd) std::_Exit(127);
        ::close(opened);
    }
}

}  // namespace nrbx::platform
