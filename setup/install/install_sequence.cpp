#include "setup/install/install_sequence.h"

#include <windows.h>
#include <prsht.h>

#include "setup/install/copy_phase.h"
#include "setup/media/path_text.h"
#include "setup/install/progress_report.h"
#include "setup/install/registry.h"
#include "setup/install/shortcuts.h"
#include "setup/media/file_stream.h"
#include "setup/shell/setup_state.h"

namespace {

// Set while RunInstallSequence runs: messages dispatched from inside it must
// not start it again.
bool installRunning = false;

void WriteRegistryEntry() {
    SetStatusLine("Setting Registry Keys...");
    SetTotalBar(0);
    SetFileBar(0);
    WriteUninstallKey(setupState.destFolder, GameExeName, GameExeName, RemoveSwitch,
                      ProductDisplayName);
    PumpPendingMessages();
}

// The uninstall list becomes the member "Remove.txt" of the game executable;
// the plain file goes only when that worked.
void MoveUninstallListIntoGame() {
    char listPath[StatePathSize];
    char memberPath[StatePathSize];
    if (!JoinPath(listPath, sizeof listPath, setupState.destFolder, UninstallListName)) return;
    if (!ConcatPath(memberPath, sizeof memberPath, setupState.destFolder, GameExeName, ";")) return;
    if (!ConcatPath(memberPath, sizeof memberPath, memberPath, UninstallListName)) return;
    if (FileStream::CopyNamedFile(listPath, StreamAbsolute, memberPath, StreamAbsolute, nullptr))
        DeleteFileA(listPath);
}

void ShowFinished() {
    SetTotalLabel("Finished");
    SetFileBar(100);
    SetStatusLine("Finished");
    SetTotalBar(100);
    SetFileBar(0);
    if (setupState.progressPage)
        PropSheet_SetWizButtons(GetParent(setupState.progressPage), PSWIZB_FINISH);
}

}  // namespace

void RunInstallSequence() {
    if (installRunning) return;
    installRunning = true;

    WriteRegistryEntry();
    CopySourceTree();
    CreateShortcuts();
    MoveUninstallListIntoGame();
    ShowFinished();

    installRunning = false;
}
