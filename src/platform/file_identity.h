#pragma once
// Which file a name really stands for, so that two spellings of one file ("a.bmp", "$PWD/a.bmp", a path
// through a linked folder) are told to be the same before anything is written.

#include <compare>
#include <cstdint>
#include <optional>
#include <string>

namespace nrbx::platform {

// An existing file: its device and inode, seen through symbolic links.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    auto operator<=>(const FileId&) const = default;
};
std::optional<FileId> existingFileId(const std::string& path);

// Where a file written to path lands: the real folder (device and inode) plus the name inside it.
// A symbolic link at path is followed, as the atomic output writes through it. Equal identities mean
// one file, whether it exists yet or not. None when the folder does not exist (the write fails anyway).
struct OutputIdentity {
    FileId folder;
    std::string name;
    auto operator<=>(const OutputIdentity&) const = default;
};
std::optional<OutputIdentity> outputIdentity(const std::string& path);

}  // namespace nrbx::platform
