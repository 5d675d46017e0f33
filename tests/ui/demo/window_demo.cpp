// Test-only: the real window with the demo files loaded and a few cells in another palette block, for
// screenshots. The dialogs are answered with the files in samples/; then it runs until closed.

#include <QAction>
#include <QToolButton>
#include <optional>

#include "app/application.h"
#include "app/guarded_application.h"
#include "platform/qt/file_dialog.h"
#include "platform/qt/up_down.h"
#include "ui/nrbx_main.h"

int main(int argc, char** argv) {
    nrbx::app::GuardedApplication qt(argc, argv);
    nrbx::app::Application application;
    application.start();
    application.show();
    auto* form = application.mainWindow();

    QStringList answers = {QStringLiteral(NRBX_SAMPLES_DIR "/demo.pcg"),
                           QStringLiteral(NRBX_SAMPLES_DIR "/demo.pal")};
    nrbx::platform::setFileDialogRunner([&](QWidget*, const nrbx::platform::FileDialogRequest&) {
        if (answers.isEmpty()) return std::optional<nrbx::platform::FileDialogAnswer>();
        return std::optional(nrbx::platform::FileDialogAnswer{answers.takeFirst(), 1});
    });
    form->nx_pcgload->trigger();
    form->nx_palload->trigger();
    form->pi_md(Qt::LeftButton, {}, 2 * 16 + 4, 1 * 16 + 4);
    form->pi_mm({}, 5 * 16 + 4, 3 * 16 + 4);
    form->pi_mu(Qt::LeftButton, {}, 5 * 16 + 4, 3 * 16 + 4);
    for (int i = 0; i < 3; ++i) form->pb_setbt->nextButton()->click();
    const int status = qt.exec();
    application.shutDown();
    return status;
}
