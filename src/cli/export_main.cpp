// nrbx-export: the window's picture conversion for scripts and build pipelines, without a display.

#include "cli/export_conversion.h"
#include "cli/export_options.h"
#include "cli/run_tool.h"
#include "platform/standard_descriptors.h"

int main(int argc, char** argv) {
    using namespace nrbx;
    platform::ensureStandardDescriptors();
    return cli::runTool("nrbx-export", argc, argv, cli::parseCommandLine, cli::helpText, cli::runExport);
}
