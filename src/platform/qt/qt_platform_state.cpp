#include "platform/qt/qt_platform_state.h"

#include "platform/qt/drag_cursor.h"
#include "platform/qt/file_dialog.h"
#include "platform/qt/help_viewer.h"
#include "platform/qt/link_opener.h"
#include "platform/qt/locale_settings.h"

namespace nrbx::platform {

void resetQtPlatformState() {
    removeAppCursorOverride();
    setFileDialogRunner(nullptr);
    resetHelpViewerState();
    resetLinkOpenerState();
    resetLocaleState();
}

}  // namespace nrbx::platform
