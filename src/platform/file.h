#pragma once
// File calls of the program, each raising the failure a user is shown; the only place that opens files.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace nrbx::platform {

// An open file descriptor, closed when dropped.
class Descriptor {
  public:
    Descriptor() = default;
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor();
    Descriptor(Descriptor&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    Descriptor& operator=(Descriptor&& other) noexcept;

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    // Closes now and says whether the system reported success (a late write error shows up here).
    bool close() noexcept;

  private:
    int m_fd = -1;
};

// An existing regular file opened for reading. Directories, FIFOs and devices are refused without being
// opened; every refusal is the file-open failure with the path as given.
class InputFile {
  public:
    explicit InputFile(const std::string& path);
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Raises the stream-read failure when the system cannot tell.
    std::uint64_t size() const;
    // Reads exactly n bytes or raises the stream-read failure; n = 0 reads nothing and never fails.
    void readExact(void* buffer, std::size_t n);
    // Reads until n bytes or the end of the file and returns how many were read: a file of known
    // largest size in one system call, without asking for its size first. Raises the stream-read
    // failure on an error.
    std::size_t readUpTo(void* buffer, std::size_t n);

  private:
    Descriptor m_fd;
};

// A file written in full beside its target and moved over it only by commit(), so an existing file of
// that name is never lost or half-written. Without commit() the temporary file is removed again.
// The temporary file is hidden and named ".nrbx-XXXXXXXX.tmp" whatever the target's name, so the longest
// legal names can be saved and a leftover of a killed process is recognisable.
// A symbolic link is written through to the file it names; one that leads nowhere (dangling or a loop)
// is the create failure, and stays as it is.
// A replaced file keeps its permission bits (0777) but no set-user-ID, set-group-ID or sticky bit; a new
// one gets 0666 less the umask (applied by the system as it creates the file).
class AtomicOutputFile {
  public:
    explicit AtomicOutputFile(const std::string& path);
    ~AtomicOutputFile();
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    // Writes all n bytes or raises the stream-write failure; n = 0 writes nothing.
    void write(const void* data, std::size_t n);
    // The pieces one after another, gathered into as few system calls as the system takes (rows of a
    // picture straight from where they lie); fails as write() does.
    void write(std::span<const std::span<const std::uint8_t>> pieces);
    // Puts the whole content on disk under the temporary name, so that commit() only has to rename:
    // several files made complete first are then renamed one right after the other. No more writes.
    void complete();
    // Moves the file over its target (after complete(), if not yet done) and returns once the new file
    // and its name are on disk.
    void commit();

    const std::string& temporaryPath() const { return m_tempPath; }

  private:
    void discard() noexcept;

    std::string m_path;  // as the user gave it, for messages
    std::string m_name;  // the target's name in its folder (a symbolic link's target)
    std::string m_tempName;
    std::string m_tempPath;
    Descriptor m_folder;  // names are used relative to it, so a path near PATH_MAX still fits
    bool m_folderSyncable = true;
    Descriptor m_fd;
    bool m_complete = false;
};

// A file written where it is, truncated first and not replaced: for an output whose owner made the file
// and reads it back through a handle of its own (a thumbnail service), which a renamed-over file would
// leave reading the old, empty one. Raises the create failure when it cannot be opened.
class InPlaceOutputFile {
  public:
    explicit InPlaceOutputFile(const std::string& path);
    InPlaceOutputFile(const InPlaceOutputFile&) = delete;
    InPlaceOutputFile& operator=(const InPlaceOutputFile&) = delete;

    // Writes every byte or raises the stream-write failure.
    void write(std::span<const std::uint8_t> bytes);
    // Closes the file, raising the stream-write failure for an error the system reports only then.
    void close();

  private:
    Descriptor m_fd;
};

// Test seam: byte budgets after which reads and writes come up short, as a failing disk would.
struct FileFaults {
    std::optional<std::size_t> readBudget;
    std::optional<std::size_t> writeBudget;
};
void setFileFaults(const FileFaults& faults);
void resetFileFaults();

}  // namespace nrbx::platform
