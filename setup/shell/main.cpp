// Setup.exe: the disc's launcher and installer.
#include <windows.h>

#include "setup/shell/launcher.h"
#include "setup/shell/resource.h"
#include "setup/shell/setup_state.h"
#include "setup/shell/shell.h"
#include "setup/shell/single_run.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    setupState.instance = instance;
    setupState.restartNeeded = 0;

    EnumWindows(HideDecompressWindow, reinterpret_cast<LPARAM>(DecompressWindowTitle));

    // Before anything is read or written: another Setup or the uninstaller
    // of the product may be at work.
    if (!ClaimSetupRun()) return 0;

    // Every relative path of the setup program resolves against its own folder.
    GetModuleFolder(setupState.sourceFolder, sizeof setupState.sourceFolder);
    if (setupState.sourceFolder[0]) SetCurrentDirectoryA(setupState.sourceFolder);

    ForgetVanishedInstall();

    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_LAUNCHER), nullptr, LauncherDialogProc, 0);

    if (setupState.restartNeeded) OfferRestart();
    return 0;
}
