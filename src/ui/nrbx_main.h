#pragma once
// The main window: the picture, the palette-block group, the status line, the menus and the dialogs,
// each wired to its handler. The handlers call the core and show what it changed.

#include <QMainWindow>
#include <string>
#include <vector>

#include "platform/qt/up_down.h"

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QTimer;

namespace nrbx::platform {
class Failure;
class Bevel;
class FileDialog;
class ImageControl;
class StatusBar;
}  // namespace nrbx::platform

namespace nrbx::ui {

class Tnrbx_form : public QMainWindow {
    Q_OBJECT
  public:
    // Designed size of the client area (everything below the menu bar, the status bar included).
    static constexpr int kClientWidth = 473;
    static constexpr int kClientHeight = 316;
    static constexpr int kLeft = 274;
    static constexpr int kTop = 154;

    // Sets the main window reference first, builds the components at their designed places, then
    // runs FormCreate.
    explicit Tnrbx_form(QWidget* parent = nullptr);
    ~Tnrbx_form() override;

    int clientWidth() const;
    int clientHeight() const;

    // Loads each file in order as if it had been chosen in the matching open dialog: a name ending in
    // ".pal" (any case) with the palette load, any other with the pattern load. A PNG or BMP picture
    // (told by its first bytes) is imported instead, pattern and palette at once, each cell shown in
    // its block. A failing load shows its error box and the next file is still loaded. Names are in the
    // system's file-name encoding.
    void openFiles(const std::vector<std::string>& paths);

    // The components, in the order the window declares them; the window owns them all.
    QMenuBar* MainMenu1 = nullptr;
    QMenu* nx_file = nullptr;
    QAction* nx_pcgload = nullptr;
    QAction* nx_save = nullptr;
    platform::ImageControl* pcg_img = nullptr;
    QMenu* Help1 = nullptr;
    QAction* nx_ap = nullptr;
    platform::FileDialog* OpenDialog1 = nullptr;
    platform::FileDialog* SaveDialog1 = nullptr;
    platform::UpDown* pb_setbt = nullptr;
    QLabel* Label1 = nullptr;
    platform::Bevel* Bevel1 = nullptr;
    QLabel* pbx_mon = nullptr;
    platform::Bevel* Bevel2 = nullptr;
    QAction* N1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* N2 = nullptr;
    QLabel* stms = nullptr;
    QAction* nx_palload = nullptr;
    QMenu* Edit1 = nullptr;
    QAction* SelectAll1 = nullptr;
    platform::StatusBar* stbar = nullptr;
    QAction* N3 = nullptr;
    QAction* nx_selsave = nullptr;
    QMenu* Popup1 = nullptr;
    QAction* pop_all = nullptr;
    QAction* pop_copy = nullptr;
    QAction* nx_copy = nullptr;
    QAction* nx_cpcansel = nullptr;
    QAction* pop_can = nullptr;

  public slots:
    void nx_pcgloadClick();
    void FormCreate();
    void pb_setbtClick(nrbx::platform::UpDown::Arrow arrow);
    void pi_md(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void pi_mu(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void pi_mm(Qt::KeyboardModifiers shift, int x, int y);
    void nx_saveClick();
    void nx_apClick();
    void Exit1Click();
    void N2Click();
    void nx_palloadClick();
    void SelectAll1Click();
    void Fresize();
    void fclose();
    void nx_selsaveClick();
    void nx_copyClick();
    void nx_cpcanselClick();
    void Ed_cl();
    void on_pop1();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // F1 while one of the menus is open asks the help viewer for context 0.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Files dropped from a file manager load as if they had been named on the command line.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void createComponents();
    void createMenus();
    void connectHandlers();
    // The designed size of the whole window, menu bar included.
    QSize designedSize() const;
    // A fixed border that still maximises: any other size in the normal state is given back.
    void keepDesignedSize();
    // The designed position, moved in where the window would not fit on its screen.
    void placeOnScreen();
    void setStatus(const QString& text);
    // The steps of the two load commands after their dialog.
    void loadPattern(const std::string& path);
    void loadPalette(const std::string& path);
    void loadPicture(const std::string& path);
    // A picture's failure for the error box, the status line saying it was not imported.
    platform::Failure pictureFailure(const std::string& path, const platform::Failure& failure);
    // The open dialog set up for one load command; false when cancelled.
    bool runOpenDialog(const QString& title, const QString& filter);
    // The save dialog step shared by both save commands: bits per pixel of the chosen type, or 0 when
    // nothing is to be written.
    int runSaveDialog(const QString& title);

    QTimer* m_sizeCheck = nullptr;
    int m_sizeRequests = 0;  // designed-size requests since the size was last right
    bool m_placedWithFrame = false;
};

// The main window reference: set as soon as the window object exists, cleared when it goes.
extern Tnrbx_form* nrbx_form;

}  // namespace nrbx::ui
