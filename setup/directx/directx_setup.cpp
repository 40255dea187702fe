#include "setup/directx/directx.h"

#include <shellapi.h>
#include <cstdio>

#include "setup/media/path_text.h"
#include "setup/shell/dialog_art.h"
#include "setup/shell/resource.h"
#include "setup/shell/setup_state.h"
#include "setup/shell/shell.h"

namespace {

constexpr const char InstallTitle[] = "Microsoft Direct X Installation";
constexpr const char InstalledText[] = "Microsoft Direct X 5.0 successfully installed.";
constexpr const char FailedText[] = "There was a problem installing Microsoft Direct X 5.0.";
constexpr const char BrowserTitle[] = "Could Not Open Web Browser";
constexpr const char BrowserText[] =
    "Your web browser could not be opned automatically.  Please open your web browser manually "
    "and go to the following web page:\r\n\r\n%s";

// DirectXSetupA's results that mean success; the second asks for a restart.
constexpr int SetupSucceeded = 0;
constexpr int SetupNeedsRestart = 1;

using DirectXSetupProc = int(WINAPI*)(HWND, LPSTR, DWORD);

bool JoinSourcePath(char* path, size_t size, const char* name) {
    return ConcatPath(path, size, setupState.sourceFolder, name);
}

void OpenHelpPage() {
    HINSTANCE started =
        ShellExecuteA(nullptr, "open", DirectXHelpPage, nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(started) > 32) return;
    char text[MessageTextSize];
    snprintf(text, sizeof text, BrowserText, DirectXHelpPage);
    MessageBoxA(nullptr, text, BrowserTitle, MB_OK | MB_ICONSTOP);
}

}  // namespace

bool RunDirectXSetup(uint8_t* restartFlag) {
    *restartFlag = 0;
    char libraryPath[StatePathSize];
    char sourcePath[StatePathSize];
    if (!JoinSourcePath(libraryPath, sizeof libraryPath, DirectXSetupLibrary) ||
        !JoinSourcePath(sourcePath, sizeof sourcePath, DirectXSourceFolder))
        return false;

    HMODULE library = LoadLibraryA(libraryPath);
    if (!library) return false;
    INT_PTR answer = DialogBoxParamA(setupState.instance, MAKEINTRESOURCEA(IDD_DIRECTX_OFFER),
                                     nullptr, CenteredDialogProc, 0);
    if (answer == IDCANCEL) {
        FreeLibrary(library);
        return true;
    }
    auto setup = reinterpret_cast<DirectXSetupProc>(
        reinterpret_cast<void*>(GetProcAddress(library, "DirectXSetupA")));
    if (!setup) {
        FreeLibrary(library);
        return false;
    }

    int result = setup(nullptr, sourcePath, DirectXSetupFlags);
    bool installed = result == SetupSucceeded || result == SetupNeedsRestart;
    if (installed)
        MessageBoxA(nullptr, InstalledText, InstallTitle, MB_OK | MB_ICONINFORMATION);
    else
        MessageBoxA(nullptr, FailedText, InstallTitle, MB_OK | MB_ICONSTOP);
    if (result == SetupNeedsRestart) *restartFlag = 1;
    FreeLibrary(library);
    return installed;
}

INT_PTR CALLBACK DirectXMissingDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            CenterOnDesktop(window);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    OpenHelpPage();
                    EndDialog(window, IDCANCEL);
                    break;
                case IDCANCEL:
                    EndDialog(window, IDCANCEL);
                    break;
                case IDC_INSTALL_WITHOUT_DIRECTX:
                    EndDialog(window, IDC_INSTALL_WITHOUT_DIRECTX);
                    break;
            }
            return TRUE;
    }
    return FALSE;
}
