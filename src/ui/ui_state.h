#pragma once
// The reset of every module state of the ui level, for tests.

namespace nrbx::ui {

// Start-up shell values and the message box as the failure report's presenter.
void resetUiState();

}  // namespace nrbx::ui
