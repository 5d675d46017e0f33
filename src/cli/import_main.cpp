// nrbx-import: a PNG or BMP picture back into sprite-pattern file, palette file and block map.

#include "cli/import_conversion.h"
#include "cli/import_options.h"
#include "cli/run_tool.h"
#include "platform/standard_descriptors.h"

int main(int argc, char** argv) {
    using namespace nrbx;
    platform::ensureStandardDescriptors();
    return cli::runTool("nrbx-import", argc, argv, cli::parseImportCommandLine, cli::importHelpText,
                        cli::runImport);
}
