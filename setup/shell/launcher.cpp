#include "setup/shell/launcher.h"

#include <cstring>

#include "setup/directx/directx.h"
#include "setup/install/install_recovery.h"
#include "setup/install/registry.h"
#include "setup/media/path_fs.h"
#include "setup/shell/dialog_art.h"
#include "setup/shell/resource.h"
#include "setup/shell/setup_state.h"
#include "setup/shell/shell.h"
#include "setup/shell/wizard.h"

namespace {

constexpr size_t WindowTitleSize = 1000;

void PlayFromDisc(HWND launcher) {
    EndDialog(launcher, 1);
    // No folder: the program search finds the game beside the setup program.
    WinExec(GameExeName, SW_SHOWNORMAL);
}

void InstallFromDisc(HWND launcher) {
    EndDialog(launcher, 1);
    uint32_t version = 0;
    uint32_t platform = 0;
    DetectDirectXVersion(&version, &platform);
    // DirectX 2 or later counts as present.
    if (version < DirectX2 && !RunDirectXSetup(&setupState.restartNeeded)) {
        INT_PTR answer = DialogBoxParamA(setupState.instance, MAKEINTRESOURCEA(IDD_DIRECTX_ERROR),
                                         nullptr, DirectXMissingDialogProc, 0);
        if (answer != IDC_INSTALL_WITHOUT_DIRECTX) return;
    }
    RunInstallWizard();
}

// Width in pixels that a button needs for its text in its own font, with the
// room a push button keeps around its caption.
int ButtonTextWidth(HWND button, int padding) {
    char text[WindowTitleSize] = "";
    int length = GetWindowTextA(button, text, sizeof text);
    HDC context = GetDC(button);
    if (!context) return 0;
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(button, WM_GETFONT, 0, 0));
    HGDIOBJ previous = font ? SelectObject(context, font) : nullptr;
    SIZE extent = {};
    bool measured = GetTextExtentPoint32A(context, text, length, &extent) != 0;
    if (previous) SelectObject(context, previous);
    ReleaseDC(button, context);
    return measured ? extent.cx + padding : 0;
}

}  // namespace

void FitLauncherButtons(HWND launcher) {
    // A product's longer name must not be cut: both buttons grow to the wider
    // text, to the left from their right edge, as far as the dialog allows.
    const int ids[] = {IDC_PLAY, IDC_INSTALL};
    RECT units = {7, 0, 8, 0};  // margin to the dialog's edge; padding, both sides
    MapDialogRect(launcher, &units);
    RECT client = {};
    GetClientRect(launcher, &client);
    int wanted = 0;
    for (int id : ids) {
        HWND button = GetDlgItem(launcher, id);
        if (!button) return;
        int width = ButtonTextWidth(button, units.right + 2 * GetSystemMetrics(SM_CXEDGE));
        if (width > wanted) wanted = width;
    }
    for (int id : ids) {
        HWND button = GetDlgItem(launcher, id);
        RECT place = {};
        GetWindowRect(button, &place);
        MapWindowPoints(nullptr, launcher, reinterpret_cast<POINT*>(&place), 2);
        int width = place.right - place.left;
        if (wanted <= width) continue;
        int right = place.right;
        int left = right - wanted;
        if (left < units.left) {
            left = units.left;
            right = left + wanted;
            if (right > client.right - units.left) right = client.right - units.left;
        }
        SetWindowPos(button, nullptr, left, place.top, right - left, place.bottom - place.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

BOOL CALLBACK HideDecompressWindow(HWND window, LPARAM title) {
    char text[WindowTitleSize] = "";
    GetWindowTextA(window, text, sizeof text);
    if (strcmp(text, reinterpret_cast<const char*>(title)) != 0) return TRUE;
    ShowWindow(window, SW_HIDE);
    return FALSE;
}

// An installation that a crash or a power loss cut short is finished or
// undone here; an entry whose game is gone is forgotten once nothing of it is
// left (else it stays for the next start to try again).
void ForgetVanishedInstall() {
    if (!ReadUninstallKey(setupState.installedGame, setupState.installedUninstall)) return;
    bool undoIncomplete = false;
    if (RecoverUnfinishedInstall(setupState.installedGame, &undoIncomplete)) return;
    if (!undoIncomplete) DeleteUninstallKey();
}

INT_PTR CALLBACK LauncherDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            FitLauncherButtons(window);
            CenterOnDesktop(window);
            return TRUE;
        case WM_PAINT:
            PaintDialogArt(window, LauncherArtName);
            return TRUE;
        case WM_QUERYNEWPALETTE:
            RealizeDialogArtPalette(window, LauncherArtName);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDCANCEL:
                    EndDialog(window, 1);
                    break;
                case IDC_PLAY:
                    PlayFromDisc(window);
                    break;
                case IDC_INSTALL:
                    InstallFromDisc(window);
                    break;
            }
            return TRUE;
    }
    return FALSE;
}

bool EnableShutdownPrivilege() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) return false;
    if (version.dwPlatformId != VER_PLATFORM_WIN32_NT) return true;

    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool held = false;
    if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
        // Succeeds even when nothing was granted: the last error tells.
        held = AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
               GetLastError() == ERROR_SUCCESS;
    }
    CloseHandle(token);
    return held;
}

void OfferRestart() {
    INT_PTR answer = DialogBoxParamA(setupState.instance, MAKEINTRESOURCEA(IDD_RESTART), nullptr,
                                     CenteredDialogProc, 0);
    if (answer != IDOK) return;
    EnableShutdownPrivilege();
    ExitWindowsEx(EWX_REBOOT, 0);
}
