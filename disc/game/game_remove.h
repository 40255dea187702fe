// The game's /REMOVE: the uninstall list and the demo uninstaller travel as
// members of the game's archive; this puts them where they work and starts
// the uninstaller, which asks the user and removes the installation.
#pragma once

constexpr char UninstallListMember[] = "Remove.txt";
constexpr char UninstallerMember[] = "UninstDemo.exe";

// Writes the member Remove.txt out as the plain file beside the game, copies
// the member UninstDemo.exe into a new folder of its own in the temporary
// folder, starts it there without waiting, and returns the exit code for the
// game (0 when the uninstaller was started).
int RunRemove();
