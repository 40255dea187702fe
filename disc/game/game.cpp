// VexloDmo.exe, the stand-in for the game on the sample disc. It carries an
// archive at the end of its own file (the install appends the converted music
// and the uninstall list to it). Started plainly it shows the members of that
// archive and plays the .wav ones; with /REMOVE it hands the installation
// over to the demo uninstaller that it carries as a member.
#include <windows.h>

#include "game_remove.h"
#include "game_window.h"

namespace {

constexpr char RemoveSwitch[] = "/REMOVE";

// True when one of the whitespace-separated words of the command line is
// the switch (letters in any case).
bool HasSwitch(const char* commandLine, const char* name) {
    char word[64];
    const char* p = commandLine;
    for (;;) {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (!*p) return false;
        size_t length = 0;
        while (*p && *p != ' ' && *p != '\t') {
            if (length + 1 < sizeof word) word[length++] = *p;
            ++p;
        }
        word[length] = '\0';
        if (lstrcmpiA(word, name) == 0) return true;
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    if (HasSwitch(commandLine ? commandLine : "", RemoveSwitch)) return RunRemove();
    return RunGameWindow(instance, showCommand);
}
