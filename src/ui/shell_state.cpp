#include "ui/shell_state.h"

namespace nrbx::ui {

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
