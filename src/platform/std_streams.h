#pragma once
// Standard input and output as files are read and written: "-" in the command-line tools.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nrbx::platform {

bool standardInputIsTerminal();
bool standardOutputIsTerminal();
bool standardErrorIsTerminal();
// Whether standard output and standard error lead into one file or pipe (as "2>&1" makes them), where a
// message would land inside the output. Devices (a terminal, /dev/null) do not count.
bool standardOutputSharedWithError();

struct StreamBytes {
    std::vector<std::uint8_t> bytes;  // at most the bytes asked for
    bool longer = false;              // more followed; they were not read
};
// Reads standard input up to its end or keep + 1 bytes, whichever comes first (an endless stream must
// not hang or fill memory). Raises the stream-read failure with the system's reason.
StreamBytes readStandardInput(std::size_t keep);

// Writes all n bytes to standard output directly (no temporary file is possible there); raises the
// stream-write failure with the system's reason.
void writeStandardOutput(const void* data, std::size_t n);

}  // namespace nrbx::platform
