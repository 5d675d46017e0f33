#pragma once
// Values the program sets at start-up and its windows read: title, executable folder, version, help path.

#include <string>

namespace nrbx::ui {

inline constexpr const char* kApplicationTitle = "ノルバクス";
inline constexpr const char* kHelpFileName = "nrbx.hlp";
// Stands in the help path until the help command first builds the real one: where the install rules
// put the help file (the build's install prefix), so context help finds it in an installed program.
extern const char* const kStartupHelpPath;
// The installed help file's folder relative to the installed executable's folder ("../share/nrbx").
extern const char* const kHelpFolderFromExecutable;

struct ShellState {
    std::string applicationTitle = kApplicationTitle;
    std::string helpFilePath = kStartupHelpPath;  // never empty
    std::string executableDirectory;
    double versionValue = 0.0;
    bool patternLoaded = false;
    bool paletteLoaded = false;
};

const ShellState& shellState();
void resetShellState();

// The program's start: its title, and the stand-in help path.
void startShell();
// The main window's start: where the executable lies, the version, nothing loaded yet.
void startWindowShell(std::string executableDirectory, double versionValue);
void setPatternLoaded(bool loaded);
void setPaletteLoaded(bool loaded);
void setHelpFilePath(std::string path);
void setApplicationTitle(std::string title);
void setExecutableDirectory(std::string directory);
void setVersionValue(double value);

}  // namespace nrbx::ui
