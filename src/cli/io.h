#pragma once
// Files as the command-line tools name them: "-" is standard input or output, anything else a file
// ("./-" is a file named "-"). Outputs are checked for collisions by what they really are, before
// anything is written.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"
#include "platform/file_identity.h"

namespace nrbx::cli {

inline bool isStandardStream(std::string_view name) {
    return name == "-";
}

struct InputData {
    std::vector<std::uint8_t> bytes;  // the first `keep` bytes at most
    std::uint64_t size = 0;           // the whole input's size; for standard input, as far as it was read
    bool longer = false;              // standard input went on past keep (size is then keep + 1)
};
// Reads a file, or standard input for "-", keeping the first keep bytes. Raises the file-open and
// stream-read failures (with the system's reason); an input that is not a regular file is refused.
InputData readInput(const std::string& name, std::size_t keep);

// "WHAT 'NAME' has N bytes, not EXPECTED; the rest is ignored" (or "is taken as zeros") for an input of
// a fixed-size format that has another size, which still converts as the window loads it; else nothing.
std::optional<std::string> sizeWarning(const std::string& name, const InputData& in, std::size_t expected,
                                       std::string_view what);

// Writes the bytes to standard output directly for "-", else to the file by atomic replace (an existing
// file is replaced only once the new one is complete). Raises the core's failures.
void writeOutput(const std::string& name, std::span<const std::uint8_t> bytes);

// A run's outputs, all or none: each is written in full to its temporary file by add(), and only
// commit() moves them over their targets, one right after the other. Dropped before commit(), or when
// an add() fails, no output is created or replaced. Standard output ("-") is written by commit().
// A failure between two renames (a folder that cannot be synced, a crash, a power loss) leaves the
// outputs renamed before it new and the others as they were.
class StagedOutputs {
  public:
    void add(const std::string& name, std::span<const std::uint8_t> bytes);
    void commit();

  private:
    std::vector<std::unique_ptr<platform::AtomicOutputFile>> m_files;
    std::optional<std::vector<std::uint8_t>> m_standardOutput;
};

// Usage checks of the standard streams, given every input and output name of the run: standard input
// read at most once and not from a terminal, standard output written at most once, not to a terminal
// and not into the file or pipe standard error goes to. Returns the usage error, or an empty string.
std::string checkStandardStreams(std::span<const std::string> inputs, std::span<const std::string> outputs);

// Collects a run's inputs and planned outputs and refuses, before anything is written, an output that
// is one of the inputs and two outputs that are one file (compared by real folder and name: "a.bmp",
// "$PWD/a.bmp" and a path through a linked folder are one). "-" takes part in neither check.
class OutputCheck {
  public:
    // what: how a message names it, e.g. "the input 'a.pcg'" or "the palette file 'x.pal'".
    void addInput(const std::string& name, std::string what);
    // source: the input the output is made from, named in a collision message. Returns the usage error
    // ("output 'X' would replace the input 'Y'", "'A' and 'B' would both be written to 'X'"), or "".
    std::string addOutput(const std::string& output, const std::string& source);
    // From now on an output that already exists is refused too ("output 'X' exists; give --force to
    // replace it"), for files people keep that are replaced only when asked.
    void refuseExisting() { m_refuseExisting = true; }

  private:
    std::map<platform::FileId, std::string> m_inputs;
    struct Planned {
        std::string output;
        std::string source;
    };
    std::map<platform::OutputIdentity, Planned> m_outputs;
    std::map<std::string, Planned> m_unresolved;  // outputs in a folder that does not exist, by text
    bool m_refuseExisting = false;
};

}  // namespace nrbx::cli
