// The stand-in for the game on the sample disc, built on the game kit as a
// publisher's game would be. It carries an archive at the end of its own file
// (the install appends the converted music and the uninstall list to it).
// Started plainly it shows the members of that archive and plays the .wav
// ones; with /REMOVE it hands the installation over to the uninstaller that it
// carries as a member.
#include <windows.h>

#include "disc/gamekit/game_kit.h"
#include "game_window.h"
#include "product_names.h"

namespace {

// The box's text when the list cannot be written beside the uninstaller's copy.
constexpr char ListNotWrittenText[] = "The uninstall list (Remove.txt) could not be written.";

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    if (GameKitWantsRemoval(commandLine)) {
        GameKitRemoval removal = {};
        removal.uninstallerMember = UninstallerMember;
        removal.boxTitle = GameWindowTitle;
        removal.notStartedText = UninstallerNotStartedText;
        removal.listNotWrittenText = ListNotWrittenText;
        return GameKitRunRemoval(&removal);
    }
    return RunGameWindow(instance, showCommand);
}
