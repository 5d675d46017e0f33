#include "ui/ui_state.h"

#include "ui/failure_report.h"
#include "ui/shell_state.h"

namespace nrbx::ui {

void resetUiState() {
    setFailureBoxPresenter(nullptr);
    resetShellState();
}

}  // namespace nrbx::ui
