#include "ui/shell_state.h"

#include <utility>

namespace nrbx::ui {

// Both come from the install rules (src/ui/CMakeLists.txt), so they follow the install prefix.
const char* const kStartupHelpPath = NRBX_INSTALLED_HELP_FILE;
const char* const kHelpFolderFromExecutable = NRBX_HELP_FOLDER_FROM_EXECUTABLE;

namespace {
ShellState g_shell;
}

const ShellState& shellState() {
    return g_shell;
}
void resetShellState() {
    g_shell = ShellState{};
}

void startShell() {
    g_shell.applicationTitle = kApplicationTitle;
    g_shell.helpFilePath = kStartupHelpPath;
}

void startWindowShell(std::string executableDirectory, double versionValue) {
    g_shell.executableDirectory = std::move(executableDirectory);
    g_shell.versionValue = versionValue;
    g_shell.patternLoaded = false;
    g_shell.paletteLoaded = false;
}

void setPatternLoaded(bool loaded) {
    g_shell.patternLoaded = loaded;
}

void setPaletteLoaded(bool loaded) {
    g_shell.paletteLoaded = loaded;
}

void setHelpFilePath(std::string path) {
    g_shell.helpFilePath = std::move(path);
}

void setApplicationTitle(std::string title) {
    g_shell.applicationTitle = std::move(title);
}

void setExecutableDirectory(std::string directory) {
    g_shell.executableDirectory = std::move(directory);
}

void setVersionValue(double value) {
    g_shell.versionValue = value;
}

}  // namespace nrbx::ui
