#pragma once
// nrbx-thumbnailer's work: the pattern file's picture as a PNG thumbnail.

#include "cli/thumbnailer_options.h"
#include "cli/tool.h"

namespace nrbx::cli {

// The whole picture in the built-in palette, fitted to options.size, written in place into
// options.output. Reports a failure itself; returns the exit status.
int runThumbnailer(const Tool& tool, const ThumbnailerOptions& options);

}  // namespace nrbx::cli
