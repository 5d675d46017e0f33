#pragma once
// What nrbx-import's two runs (one picture, a bank) share before converting: the check of every name
// given, and the --base pattern.

#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "cli/import_options.h"
#include "cli/tool.h"
#include "import/import_settings.h"

namespace nrbx::cli {

// An output as the run names it: its option, so a clash says which.
struct NamedOutput {
    const std::optional<std::string>* name;
    const char* option;
};

// Everything that can be told from the names alone, before any file is read. `inputs`: each name with how
// a message calls it. Empty when all is well, else the usage error.
std::string checkImportNames(const std::vector<std::pair<std::string, std::string>>& inputs,
                             std::span<const NamedOutput> outputs, bool force);

// The cells no picture covers: --base, read and checked for its size, or zeros.
importing::PatternBytes basePattern(const Tool& tool, const ImportOptions& o);

}  // namespace nrbx::cli
