#pragma once
// nrbx-import's run: one picture into the pattern file, palette file and block map asked for.

#include "cli/import_options.h"
#include "cli/tool.h"

namespace nrbx::cli {

// Checks the names, reads the picture (and -p, --blocks, --base), converts it, and writes the outputs
// all or none (cli/io.h, StagedOutputs). Returns the exit status.
int runImport(const Tool& tool, const ImportOptions& options);

}  // namespace nrbx::cli
