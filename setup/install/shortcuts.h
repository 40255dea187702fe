// The shortcut phase of the install sequence: the Start Menu group with one
// shortcut per installed file (audio, configuration and setup files excepted)
// and the removal shortcut; their paths are appended to the uninstall list.
#pragma once

#include <windows.h>

// Does nothing when no Start Menu group was chosen (makeGroup 0).
void CreateShortcuts();

// Saves a shortcut file at linkPath to target with arguments (null: none) and
// the target's folder as working folder. The platform's result code.
HRESULT CreateShellLink(const char* target, const char* arguments, const char* linkPath,
                        const char* description);

// The shortcut's title for a relative name: without its extension, and
// GameShortcutTitle ("Vexlo Demo") for the game executable. False when it
// does not fit.
bool ShortcutTitle(char* title, size_t size, const char* relativeName);
