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

ShellState& shellState();
void resetShellState();

}  // namespace nrbx::ui
