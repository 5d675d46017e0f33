#pragma once
// The window program's command line: files to open, or a request answered on the terminal alone.

#include <string>
#include <vector>

namespace nrbx::app {

struct CommandLine {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    std::vector<std::string> files;  // in the order given
    std::string error;               // for UsageError: one line, without the program's name
};

// Reads the arguments after the program's name. "--" ends the options; "-" alone is a file name.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// Usage text for --help; helpFile is where the help command will look for the manual.
std::string usageText(const std::string& helpFile);
std::string versionText();

}  // namespace nrbx::app
