#pragma once
// One input to its picture file(s), through the same core calls as the window's commands.

#include <cstdint>
#include <optional>
#include <vector>

#include "cli/jobs.h"
#include "cli/options.h"
#include "data/block_map.h"

namespace nrbx::cli {

// Start-up, pattern load, palette load, the block changes, then the save of the picture or, split, of
// each cell. The bytes are the inputs as read (io.h). Raises the core's failures.
void convertFile(const Options& options, const Job& job, const std::vector<std::uint8_t>& pattern,
                 const std::optional<std::vector<std::uint8_t>>& palette,
                 const std::optional<data::BlockMap>& blockMap = std::nullopt);

}  // namespace nrbx::cli
