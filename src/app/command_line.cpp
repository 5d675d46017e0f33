#include "app/command_line.h"

#include <charconv>

#include "data/version.h"

namespace nrbx::app {

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            line.files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            // The first request wins over anything after it, as with most tools.
            if (line.action == CommandLine::Action::Run) line.action = CommandLine::Action::Help;
        } else if (arg == "--version") {
            if (line.action == CommandLine::Action::Run) line.action = CommandLine::Action::Version;
        } else {
            // An unknown option is never mistaken for a file, even after --help.
            return CommandLine{CommandLine::Action::UsageError, {}, "unknown option '" + arg + "'"};
        }
    }
    return line;
}

std::string usageText(const std::string& helpFile) {
    return "Usage: nrbx [FILE...]\n"
           "Shows sprite-pattern files (32768 bytes, 256 sprites of 16x16 pixels) in the\n"
           "nrbx window.\n"
           "\n"
           "Each FILE is loaded in order once the window is shown: a name ending in .pal as\n"
           "a palette file, any other name as a sprite-pattern file. A PNG or BMP picture\n"
           "(told by its first bytes) is imported as nrbx-import converts one picture, its\n"
           "colours reduced when they do not fit. Files dropped onto the window load the\n"
           "same way.\n"
           "\n"
           "  -h, --help      show this help\n"
           "      --version   show the version\n"
           "\n"
           "Help file: " +
           helpFile + "\n";
}

std::string versionText() {
    char digits[32];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, data::kVersionValue, std::chars_format::fixed, 2);
    return "nrbx " + std::string(digits, result.ptr) + "\n";
}

}  // namespace nrbx::app
