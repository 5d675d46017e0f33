#include "cli/thumbnailer_options.h"

#include <vector>

#include "cli/option_table.h"

namespace nrbx::cli {

namespace {

constexpr int kMaxSize = 4096;

std::vector<OptionSpec> optionTable(ThumbnailerOptions& o) {
    return {
        {"size", 's', "N", "at most N pixels on the longer side, 1..4096 (default 256)",
         number(o.size, "--size", 1, kMaxSize)},
    };
}

}  // namespace

ThumbnailerCommandLine parseThumbnailerCommandLine(std::span<const std::string> args) {
    return readCommandLine<ThumbnailerCommandLine>(
        args, optionTable, [](ThumbnailerOptions& o, const std::vector<std::string>& operands) {
            if (operands.size() != 2) return std::string("give one pattern file and one output");
            o.pattern = operands[0];
            o.output = operands[1];
            return std::string();
        });
}

std::string thumbnailerHelpText() {
    ThumbnailerOptions unused;
    return formatHelp(
        HelpLayout{
            "Usage: nrbx-thumbnailer [-s N] PATTERN-FILE OUTPUT",
            "Writes the picture of a sprite-pattern file, in the built-in palette, as a PNG thumbnail into "
            "OUTPUT, which is written in place. Pixels stay sharp: the picture is enlarged by a whole factor "
            "or sampled down, never smoothed.",
            "Thumbnail services run it through share/thumbnailers/nrbx.thumbnailer. Exit status 0 when the "
            "thumbnail was written, 1 when not, 2 for a wrong command line.",
        },
        optionTable(unused));
}

}  // namespace nrbx::cli
