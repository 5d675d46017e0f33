#pragma once
// The two load commands' steps, once for the window and the converter: read, convert, render every cell.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "data/block_map.h"

namespace nrbx::canvas {

// Called where the window shows its status text, between reading and the conversion of the picture.
using LoadStep = std::function<void()>;

// ReadPatternFile (or the bytes read elsewhere, standard input), DecodePatterns, converting, then
// RenderCells of all cells with the current palette block. A failure to read ends it at once: nothing
// after runs, so the cell grid and the images stay as they were.
void loadPattern(const std::string& path, const LoadStep& converting = {});
void loadPattern(std::span<const std::uint8_t> bytes, const LoadStep& converting = {});

// ReadPaletteFile (or the bytes), converting, UnpackPaletteWords, BuildPaletteColors, then RenderCells
// of all cells; a failure to read ends it as for the pattern.
void loadPalette(const std::string& path, const LoadStep& converting = {});
void loadPalette(std::span<const std::uint8_t> bytes, const LoadStep& converting = {});

// Renders every cell again in the block the map gives it (an imported picture, nrbx-export --block-map);
// the current palette block stays what it was.
void renderInBlocks(const data::BlockMap& blocks);

}  // namespace nrbx::canvas
