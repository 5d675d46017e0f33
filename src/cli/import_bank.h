#pragma once
// nrbx-import's run for a bank: several pictures into one pattern file and one palette, with the
// manifest and the C header that say where each picture went.

#include "cli/import_options.h"
#include "cli/tool.h"

namespace nrbx::cli {

// Checks the names, reads every picture (and -p, --base), imports them together, places their cells
// (cli/bank_layout.h) and writes the outputs all or none. Returns the exit status.
int runBank(const Tool& tool, const ImportOptions& options);

}  // namespace nrbx::cli
