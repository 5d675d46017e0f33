#include "platform/file_identity.h"

#include <sys/stat.h>

#include <cstdlib>

#include "platform/path.h"

namespace nrbx::platform {

std::optional<FileId> existingFileId(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::optional<OutputIdentity> outputIdentity(const std::string& path) {
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    std::string folder = ExtractDirectory(target, posixFlavour());
    if (folder.empty()) folder.assign(1, '.');
    const auto slash = target.find_last_of('/');
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    const auto id = existingFileId(folder);
    if (!id) return std::nullopt;
    return OutputIdentity{*id, std::move(name)};
}

}  // namespace nrbx::platform
