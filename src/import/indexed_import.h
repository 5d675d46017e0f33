#pragma once
// --indexed sprite: the picture's indices are the pattern's, its colour table the palette.

#include "import/cells.h"

namespace nrbx::importing {

void importIndices(const Picture& picture, const Cells& cells, const ImportSettings& settings,
                   ImportResult& result);

}  // namespace nrbx::importing
