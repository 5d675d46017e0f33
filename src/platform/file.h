#pragma once
// File calls of the program, each raising the failure a user is shown; the only place that opens files.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nrbx::platform {

// An existing regular file opened for reading. Directories, FIFOs and devices are refused at once
// (opening never blocks); every refusal is the file-open failure with the path as given.
class InputFile {
  public:
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    std::uint64_t size() const;
    // Reads exactly n bytes or raises the stream-read failure; n = 0 reads nothing and never fails.
    void readExact(void* buffer, std::size_t n);

  private:
    int m_fd = -1;
};

// A file written in full beside its target and moved over it only by commit(), so an existing file of
// that name is never lost or half-written. Without commit() the temporary file is removed again.
class AtomicOutputFile {
  public:
    explicit AtomicOutputFile(const std::string& path);
    ~AtomicOutputFile();
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    // Writes all n bytes or raises the stream-write failure; n = 0 writes nothing.
    void write(const void* data, std::size_t n);
    void commit();

    const std::string& temporaryPath() const { return m_tempPath; }

  private:
    void discard() noexcept;

    std::string m_path;        // as the user gave it, for messages
    std::string m_targetPath;  // where the file lands (a symbolic link's target)
    std::string m_tempPath;
    int m_fd = -1;
};

// Test seam: byte budgets after which reads and writes come up short, as a failing disk would.
struct FileFaults {
    std::optional<std::size_t> readBudget;
    std::optional<std::size_t> writeBudget;
};
void setFileFaults(const FileFaults& faults);
void resetFileFaults();

}  // namespace nrbx::platform
