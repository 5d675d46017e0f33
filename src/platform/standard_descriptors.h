#pragma once
// Descriptors 0, 1 and 2 made sure to be open before a program opens anything else.

namespace nrbx::platform {

// Opens /dev/null on each of standard input, output and error that is closed, so that no file the
// program opens later can get one of those numbers and receive its messages or a picture meant for
// standard output. Leaves open ones untouched. Call it first in main, before any thread starts; when
// /dev/null itself cannot be opened the program ends at once with status 127, having nowhere safe to
// write.
void ensureStandardDescriptors() noexcept;

}  // namespace nrbx::platform
