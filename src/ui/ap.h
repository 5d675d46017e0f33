#pragma once
// The about window Tap_fm (icon, name, version, copyright, link) and the help command's file path.

#include <QWidget>

#include <string>
#include <string_view>

class QEvent;
class QFrame;
class QIcon;
class QLabel;
class QObject;

namespace nrbx::ui {

// The maker's web page, shown by lb_hlink and opened by hlink_cl. example.org is reserved: no real site.
inline constexpr const char* kMakerAddress = "https://nrbx.example.org/";
inline constexpr const char* kCopyrightLine = "Copyright (C) 2026 nrbx developers";
inline constexpr const char* kAboutCaption = "アプリケーション情報";
// Resource path of the program's icon: 32 x 32 pixels in 16 colours.
inline constexpr const char* kIconResource = ":/nrbx/icon.png";

// The program's icon, for Image1 and for the application's windows.
QIcon applicationIcon();

// Where the help command looks for the help file: the executable's directory and "nrbx.hlp", with one
// separator between them also when the directory is the root ("/" gives "/nrbx.hlp"), when that file
// exists; else the installed place relative to that directory ("/usr/bin/../share/nrbx/nrbx.hlp").
std::string helpFilePathFor(std::string_view executableDirectory);

// The help command (N2Click): the help path beside the executable into the shell state, then the help
// viewer asked for its contents. Neither step looks at the file or reports anything.
void openHelpContents(QWidget* owner);

class Tap_fm;
// The about window, set as soon as it exists (null before start-up and after exit).
extern Tap_fm* ap_fm;

// A top-level window of its own, not owned by the main window. Closing it only hides it.
class Tap_fm : public QWidget {
    Q_OBJECT
  public:
    Tap_fm();

    // nx_apClick: visible at its current place, in front, active (which runs act).
    void showInFront();

    QLabel* Label1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* lb_hlink = nullptr;

    // Sets the version label; runs at every activation of the window.
    void act();
    // Opens the maker's web page.
    void hlink_cl();

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace nrbx::ui
