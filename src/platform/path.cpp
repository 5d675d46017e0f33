#include "platform/path.h"

#include <unistd.h>

#include <climits>
#include <vector>

namespace nrbx::platform {

PathFlavour posixFlavour() {
    return PathFlavour{};
}

PathFlavour windowsFlavour() {
    PathFlavour f;
    f.directorySeparator = '\\';
    f.driveSeparator = ':';
    f.doubleByte = true;
    for (int b = 0x81; b <= 0x9F; ++b) f.leadByte[b] = true;
    for (int b = 0xE0; b <= 0xFC; ++b) f.leadByte[b] = true;
    return f;
}

namespace {

unsigned char byteAt(std::string_view s, std::size_t i) {
    return static_cast<unsigned char>(s[i]);
}

// True when byte i is the trail byte of a double-byte character: an odd number of lead-byte values
// stand right before it.
bool isTrailByte(std::string_view s, std::size_t i, const PathFlavour& f) {
    if (!f.doubleByte || i == 0) return false;
    std::size_t leads = 0;
    for (std::size_t j = i; j > 0 && f.leadByte[byteAt(s, j - 1)]; --j) ++leads;
    return leads % 2 == 1;
}

bool isSeparator(char c, const PathFlavour& f) {
    return c == f.directorySeparator || (f.driveSeparator != '\0' && c == f.driveSeparator);
}

}  // namespace

std::string ExtractDirectory(std::string_view path, const PathFlavour& flavour) {
    // i is the length of the part kept: the separator found is byte i - 1, and 0 means none was found.
    std::size_t i = path.size();
    while (i > 0) {
        if (isSeparator(path[i - 1], flavour)) {
            if (!isTrailByte(path, i - 1, flavour)) break;
            i = i >= 2 ? i - 2 : 0;  // skip the trail byte together with its lead byte
            continue;
        }
        --i;
    }
    if (i > 1 && path[i - 1] == flavour.directorySeparator) {
        const bool keep = isSeparator(path[i - 2], flavour) && !isTrailByte(path, i - 2, flavour);
        if (!keep) --i;
    }
    return std::string(path.substr(0, i));
}

std::string executablePath() {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return {};
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

}  // namespace nrbx::platform
