#pragma once
// --reduce: the picture's colours reduced until they fit the palette (import/reduce.h), or kept exactly
// when they fit already.

#include "import/cells.h"

namespace nrbx::importing {

void importReducing(const Picture& picture, const Cells& cells, const ImportSettings& settings,
                    ImportResult& result);

}  // namespace nrbx::importing
