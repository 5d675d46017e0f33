#pragma once
// A picture back into sprite-pattern bytes, palette and block map.

#include <string>

#include "import/import_settings.h"
#include "import/picture.h"

namespace nrbx::importing {

// Cells outside the picture keep `base`. Raises a failure naming the picture, and the cell (as numbered
// in the whole sprite picture) where one is at fault, for anything that cannot be converted exactly.
ImportResult importPicture(const Picture& picture, const ImportSettings& settings, const PatternBytes& base,
                           const std::string& name);

}  // namespace nrbx::importing
