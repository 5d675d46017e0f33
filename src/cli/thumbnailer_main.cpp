// nrbx-thumbnailer: a pattern file's picture as a PNG thumbnail, for the thumbnail services of file
// managers (share/thumbnailers/nrbx.thumbnailer).

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "canvas/load.h"
#include "canvas/start_up.h"
#include "cli/io.h"
#include "cli/option_table.h"
#include "cli/tool.h"
#include "data/pattern.h"
#include "export/export_image.h"
#include "export/image_ops.h"
#include "export/png/png_writer.h"
#include "export/saved_picture.h"
#include "platform/failure.h"
#include "platform/file.h"

namespace {

using namespace nrbx;

constexpr int kDefaultSize = 256;
constexpr int kMaxSize = 4096;

// The thumbnail service owns the output: it made the file, holds it open and reads the thumbnail back
// through that handle. So it is written in place; the atomic replace that keeps a user's file whole
// would leave the service reading the old, empty file.
void writeInPlace(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    platform::Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!file) throw platform::fileCreateFailure(path, errno);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(file.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw platform::streamWriteFailure(errno);
        done += static_cast<std::size_t>(n);
    }
    if (!file.close()) throw platform::streamWriteFailure(errno);
}

void makeThumbnail(const std::string& input, const std::string& output, int size) {
    const cli::InputData in = cli::readInput(input, data::kPatternBytes);
    canvas::resetPictureToStartUp();
    canvas::loadPattern(in.bytes);
    const exporting::ExportImage picture = exporting::savedPicture(std::nullopt, 24);
    writeInPlace(output, exporting::encodePng(exporting::fittedExport(picture, size)));
}

}  // namespace

int main(int argc, char** argv) {
    cli::Tool tool("nrbx-thumbnailer");
    try {
        int size = kDefaultSize;
        const cli::OptionSpec table[] = {
            {"size", 's', "N", "at most N pixels on the longer side, 1..4096 (default 256)",
             [&](std::string_view v) {
                 const auto n = cli::parseNumber(v, 1, kMaxSize);
                 if (!n) return cli::badValue("--size", v, "1..4096");
                 size = *n;
                 return std::string();
             }},
        };
        const std::vector<std::string> args(argv + 1, argv + argc);
        const cli::ParsedArguments parsed = cli::parseOptions(args, table);
        switch (parsed.action) {
            case cli::ParsedArguments::Action::Help:
                std::cout << cli::formatHelp(
                    {"Usage: nrbx-thumbnailer [-s N] PATTERN-FILE OUTPUT",
                     "Writes the picture of a sprite-pattern file, in the built-in palette, as a PNG "
                     "thumbnail into OUTPUT, which is written in place. Pixels stay sharp: the picture is "
                     "enlarged by a whole factor or sampled down, never smoothed.",
                     "Thumbnail services run it through share/thumbnailers/nrbx.thumbnailer. Exit status "
                     "0 when the thumbnail was written, 1 when not, 2 for a wrong command line."},
                    table);
                return cli::kExitOk;
            case cli::ParsedArguments::Action::Version:
                std::cout << tool.versionText();
                return cli::kExitOk;
            case cli::ParsedArguments::Action::UsageError:
                return tool.usageError(parsed.error);
            case cli::ParsedArguments::Action::Run:
                break;
        }
        if (parsed.operands.size() != 2) return tool.usageError("give one pattern file and one output");
        makeThumbnail(parsed.operands[0], parsed.operands[1], size);
        return cli::kExitOk;
    } catch (const platform::Failure& failure) {
        return tool.failed(failure);
    } catch (const std::exception& e) {
        tool.message(platform::withFullStop(e.what()));
        return cli::kExitFailed;
    }
}
