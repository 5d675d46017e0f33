#pragma once
// Paths: the directory part of a path under either platform's rules, and the program's own location.

#include <array>
#include <string>
#include <string_view>

namespace nrbx::platform {

// How a platform spells paths: its directory separator, an optional drive separator, and the lead bytes
// of its double-byte code page (a separator byte right after an odd run of lead bytes is a trail byte).
struct PathFlavour {
    char directorySeparator = '/';
    char driveSeparator = '\0';  // '\0': none
    bool doubleByte = false;
    std::array<bool, 256> leadByte{};
};

PathFlavour posixFlavour();
// Backslash and colon, code page 932 lead bytes 0x81-0x9F and 0xE0-0xFC.
PathFlavour windowsFlavour();

// The directory part of path, without a trailing separator except after a drive ("C:\") or a leading
// pair of separators; empty when the path holds no separator.
std::string ExtractDirectory(std::string_view path, const PathFlavour& flavour = posixFlavour());

// Full path of the running executable, or empty when the system does not tell.
std::string executablePath();

}  // namespace nrbx::platform
