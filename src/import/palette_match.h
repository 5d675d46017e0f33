#pragma once
// -p: every colour of a cell found in the cell's block of the given palette.

#include "import/cells.h"

namespace nrbx::importing {

void importByPalette(const Cells& cells, const ImportSettings& settings, ImportResult& result);

}  // namespace nrbx::importing
