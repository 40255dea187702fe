// The game's /REMOVE: the uninstall list and the demo uninstaller travel as
// members of the game's archive; this puts them where they work and starts
// the uninstaller, which asks the user and removes the installation.
#pragma once

constexpr char UninstallListMember[] = "Remove.txt";
constexpr char UninstallerMember[] = "UninstDemo.exe";

// Copies the members UninstDemo.exe and Remove.txt into a new folder of
// their own in the temporary folder (vxu*.tmp), starts the uninstaller there
// without waiting, and returns the exit code for the game (0 when the
// uninstaller was started). The uninstaller reads the list beside itself and,
// once it has ended, has its copy and that folder deleted.
int RunRemove();
