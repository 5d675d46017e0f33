// nrbx-export: the window's picture conversion for scripts and build pipelines, without a display.

#include "cli/export_conversion.h"
#include "cli/export_options.h"
#include "cli/run_tool.h"

int main(int argc, char** argv) {
    using namespace nrbx::cli;
    return runTool("nrbx-export", argc, argv, parseCommandLine, helpText, runExport);
}
