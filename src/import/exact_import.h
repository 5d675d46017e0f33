#pragma once
// No palette given: the palette built from the cells' colours exactly (import/palette_build.h), or a
// refusal that says why none fits.

#include "import/cells.h"

namespace nrbx::importing {

void importBuildingPalette(const Cells& cells, const ImportSettings& settings, ImportResult& result);

}  // namespace nrbx::importing
