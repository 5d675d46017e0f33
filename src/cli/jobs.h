#pragma once
// Which file each input becomes, decided for the whole batch before anything is written.

#include <string>
#include <vector>

#include "cli/options.h"

namespace nrbx::cli {

struct Job {
    std::string input;
    std::string output;
    Format format = Format::Bmp;
    bool operator==(const Job&) const = default;
};

struct Plan {
    std::vector<Job> jobs;
    std::string error;  // a usage error; then no job runs
};

// The output of "dir/name.ext" is "name.bmp" or "name.png" in the output folder, or beside the input
// without one. Refuses a missing output folder, two inputs landing on one output, and an output that
// is one of the inputs or the palette file.
Plan planJobs(const Options& options);

// --format, else the extension of the output name (.png, any case), else BMP.
Format formatFor(const Options& options, const std::string& outputName);

}  // namespace nrbx::cli
