// nrbx-thumbnailer: a pattern file's picture as a PNG thumbnail, for the thumbnail services of file
// managers (share/thumbnailers/nrbx.thumbnailer).

#include "cli/run_tool.h"
#include "cli/thumbnailer_conversion.h"
#include "cli/thumbnailer_options.h"
#include "platform/standard_descriptors.h"

int main(int argc, char** argv) {
    using namespace nrbx;
    platform::ensureStandardDescriptors();
    return cli::runTool("nrbx-thumbnailer", argc, argv, cli::parseThumbnailerCommandLine,
                        cli::thumbnailerHelpText, cli::runThumbnailer);
}
