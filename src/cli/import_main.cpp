// nrbx-import: a PNG or BMP picture back into sprite-pattern file, palette file and block map.

#include "cli/import_conversion.h"
#include "cli/import_options.h"
#include "cli/run_tool.h"

int main(int argc, char** argv) {
    using namespace nrbx::cli;
    return runTool("nrbx-import", argc, argv, parseImportCommandLine, importHelpText, runImport);
}
