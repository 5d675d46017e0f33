#pragma once
// A PNG or BMP picture opened in the window: told by its first bytes, imported as nrbx-import imports one
// picture (exactly when it fits, else with its colours reduced by the defaults).

#include <string>

#include "import/conversion.h"

namespace nrbx::ui {

// The file starts as a PNG or a BMP picture does, whatever its name. Raises the file-open and
// stream-read failures, as the loads would for the same file.
bool isPictureFile(const std::string& path);

struct OpenedPicture {
    importing::ImportResult result;  // the picture's cells from cell 0,0; the others zero, in block 0
    bool reduced = false;            // its colours did not fit as they are
    int blocksUsed = 0;
};

// Reads, decodes and imports the picture; raises the read failures and the import's refusals.
OpenedPicture importPictureFile(const std::string& path);

}  // namespace nrbx::ui
