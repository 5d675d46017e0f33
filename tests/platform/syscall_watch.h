#pragma once
// Test seam below the file layer: the core test program defines a few system calls itself. They pass through
// to the C library, record what the file layer asked for, and inject faults no local disk gives.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace nrbx::testing {

struct SyscallWatch {
    bool recording = false;
    // "open PATH", "fsync folder INODE", "fsync file INODE", "rename", "umask", in call order.
    std::vector<std::string> calls;
    // Reads of this file while O_NONBLOCK is set answer EAGAIN, as a network or FUSE file system may.
    std::optional<ino_t> stallNonblockingReadsOn;
    std::optional<ino_t> failLseekOn;  // EIO
    bool failFolderSync = false;       // EIO
};

SyscallWatch& syscallWatch();
void resetSyscallWatch();

}  // namespace nrbx::testing
