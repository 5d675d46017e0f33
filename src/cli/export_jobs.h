#pragma once
// Which file each input becomes, decided for the whole batch before anything is written.

#include <string>
#include <vector>

#include "cli/export_options.h"

namespace nrbx::cli {

// With --split: one cell and the file it is written to.
struct CellOutput {
    int cx = 0;
    int cy = 0;
    std::string output;
    bool operator==(const CellOutput&) const = default;
};

struct Job {
    std::string input;
    std::string output;
    Format format = Format::Bmp;
    std::vector<CellOutput> cells;  // --split: the files written instead of output
    bool operator==(const Job&) const = default;
};

struct Plan {
    std::vector<Job> jobs;
    std::string error;  // a usage error; then no job runs
};

// The output of "dir/name.ext" is "name.bmp" or "name.png" in the output folder, or beside the input
// without one; standard input needs --output. With --split the output name "NAME.EXT" becomes one
// "NAME-XX-YY.EXT" per written cell. Refuses a missing output folder, misuse of the standard streams,
// two outputs that are one file, and an output that is one of the inputs or the palette file.
Plan planJobs(const Options& options);

// "dir/name.ext" for cell (cx, cy): "dir/name-XX-YY.ext".
std::string splitName(const std::string& output, int cx, int cy);

}  // namespace nrbx::cli
