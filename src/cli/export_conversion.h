#pragma once
// One input to its picture file(s), through the same core calls as the window's commands.

#include <cstdint>
#include <optional>
#include <vector>

#include "cli/export_jobs.h"
#include "cli/export_options.h"
#include "cli/tool.h"
#include "data/block_map.h"

namespace nrbx::cli {

// Start-up, pattern load, palette load, the block changes, then the save of the picture or, split, of
// each cell. The bytes are the inputs as read (io.h). Raises the core's failures.
void convertFile(const Options& options, const Job& job, const std::vector<std::uint8_t>& pattern,
                 const std::optional<std::vector<std::uint8_t>>& palette,
                 const std::optional<data::BlockMap>& blockMap = std::nullopt);

// The whole run of nrbx-export: plan the batch, read the palette and the block map once, write the
// palette table when asked, then convert each input in turn. Returns the exit status.
int runExport(const Tool& tool, const Options& options);

}  // namespace nrbx::cli
