#pragma once
// One input to one picture file, through the same core calls as the window's commands.

#include <string>

#include "cli/jobs.h"
#include "cli/options.h"

namespace nrbx::cli {

// Start-up, pattern load, palette load, the block changes, then the save. Raises the core's failures.
void convertFile(const Options& options, const Job& job);

// Reads the palette file once, so a missing one is reported once rather than for every input.
void checkPalette(const std::string& path);

}  // namespace nrbx::cli
