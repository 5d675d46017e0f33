#include "ui/shell_state.h"

namespace nrbx::ui {

// Both come from the install rules (src/ui/CMakeLists.txt), so they follow the install prefix.
const char* const kStartupHelpPath = NRBX_INSTALLED_HELP_FILE;
const char* const kHelpFolderFromExecutable = NRBX_HELP_FOLDER_FROM_EXECUTABLE;

namespace {
ShellState g_shell;
}

ShellState& shellState() {
    return g_shell;
}
void resetShellState() {
    g_shell = ShellState{};
}

}  // namespace nrbx::ui
