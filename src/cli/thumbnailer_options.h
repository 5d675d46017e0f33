#pragma once
// nrbx-thumbnailer's command line: the pattern file, the output the thumbnail service made, the size.

#include <span>
#include <string>

namespace nrbx::cli {

struct ThumbnailerOptions {
    std::string pattern;
    std::string output;  // written in place (see platform::InPlaceOutputFile)
    int size = 256;      // pixels on the longer side at most
    bool quiet = false;  // runTool asks every tool's options for it; the thumbnailer has no -q
};

struct ThumbnailerCommandLine {
    enum class Action { Thumbnail, Help, Version, UsageError };
    Action action = Action::Thumbnail;
    ThumbnailerOptions options;
    std::string error;  // one line, for Action::UsageError
};

ThumbnailerCommandLine parseThumbnailerCommandLine(std::span<const std::string> args);

std::string thumbnailerHelpText();

}  // namespace nrbx::cli
