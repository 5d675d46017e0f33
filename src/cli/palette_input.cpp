#include "cli/palette_input.h"

#include <algorithm>

#include "cli/io.h"
#include "data/palette.h"

namespace nrbx::cli {

PaletteInput readPalette(const std::string& name, const std::function<void(const std::string&)>& warn) {
    InputData in = readInput(name, data::kMaxTextPaletteBytes);
    PaletteInput palette{data::parsePalette(in.bytes, name), {}};
    if (palette.file.format == data::PaletteFormat::Binary) {
        if (const auto text = sizeWarning(name, in, data::kPaletteBytes, "palette file")) warn(*text);
        in.bytes.resize(std::min(in.bytes.size(), data::kPaletteBytes));
        palette.loadBytes = std::move(in.bytes);
    } else {
        if (in.longer || in.size > in.bytes.size()) throw data::paletteTooLarge(name);
        palette.loadBytes.assign(palette.file.bytes.begin(), palette.file.bytes.end());
    }
    return palette;
}

}  // namespace nrbx::cli
