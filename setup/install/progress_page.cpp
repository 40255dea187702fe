#include "setup/install/progress_page.h"

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "setup/install/copy_phase.h"
#include "setup/install/install_paths.h"
#include "setup/install/registry.h"
#include "setup/install/shortcuts.h"
#include "setup/media/file_stream.h"
#include "setup/shell/dialog_art.h"
#include "setup/shell/resource.h"
#include "setup/shell/setup_state.h"

namespace {

constexpr UINT_PTR InstallTimerId = 0;
constexpr UINT InstallTimerPeriod = 100;
// The copy phase moves the total bar up to this share; the rest is the end.
constexpr double CopyShare = 0.93;

// Set while RunInstallSequence runs: messages dispatched from inside it must
// not start it again.
bool installRunning = false;

void SetResult(HWND page, LONG_PTR result) {
    SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
}

void OnSetActive(HWND page) {
    HWND sheet = GetParent(page);
    PropSheet_SetWizButtons(sheet, PSWIZB_DISABLEDFINISH);
    EnableWindow(GetDlgItem(sheet, IDCANCEL), FALSE);
    SetTimer(page, InstallTimerId, InstallTimerPeriod, nullptr);
}

INT_PTR OnNotify(HWND page, const NMHDR* header) {
    switch (header->code) {
        case PSN_SETACTIVE:
            OnSetActive(page);
            return TRUE;
        case PSN_KILLACTIVE:
        case PSN_RESET:
            SetResult(page, 0);
            return TRUE;
        case PSN_QUERYCANCEL:
            SetResult(page, 1);
            return TRUE;
        case PSN_WIZFINISH:
            return TRUE;
        default:
            return FALSE;
    }
}

void OnTimer(HWND page, UINT_PTR timerId) {
    KillTimer(page, timerId);
    RunInstallSequence();
}

void SetItemText(int id, const char* text) {
    if (setupState.progressPage) SetDlgItemTextA(setupState.progressPage, id, text);
}

// The positions last given to the two bars: the progress callback comes far
// more often than a bar moves by one, and each move costs a redraw.
int shownTotalBar = -1;
int shownFileBar = -1;

void SetBar(int id, int position, int* shown) {
    if (!setupState.progressPage || position == *shown) return;
    SendDlgItemMessageA(setupState.progressPage, id, PBM_SETPOS, position, 0);
    *shown = position;
}

// Pending messages are handled at most this often from the progress callback:
// often enough for the window to follow the mouse, rarely enough to cost little.
constexpr DWORD PumpInterval = 15;
DWORD lastPump = 0;

// Step 5: the uninstall list becomes the member "Remove.txt" of the game
// executable; the plain file goes only when that worked.
void MoveUninstallListIntoGame() {
    char listPath[StatePathSize];
    char memberPath[StatePathSize];
    if (!JoinPath(listPath, sizeof listPath, setupState.destFolder, UninstallListName)) return;
    if (!ConcatPath(memberPath, sizeof memberPath, setupState.destFolder, GameExeName, ";")) return;
    if (!ConcatPath(memberPath, sizeof memberPath, memberPath, UninstallListName)) return;
    if (FileStream::CopyNamedFile(listPath, StreamAbsolute, memberPath, StreamAbsolute, nullptr))
        DeleteFileA(listPath);
}

void PostFinishButton(DWORD buttons) {
    if (setupState.progressPage)
        PropSheet_SetWizButtons(GetParent(setupState.progressPage), buttons);
}

}  // namespace

INT_PTR CALLBACK ProgressPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            setupState.progressPage = page;
            shownTotalBar = shownFileBar = -1;
            return TRUE;
        case WM_NOTIFY:
            return OnNotify(page, reinterpret_cast<const NMHDR*>(lParam));
        case WM_TIMER:
            OnTimer(page, wParam);
            return TRUE;
        default:
            return AnswerWizardArtMessage(page, message);
    }
}

void RunInstallSequence() {
    if (installRunning) return;
    installRunning = true;

    SetStatusLine("Setting Registry Keys...");
    SetTotalBar(0);
    SetFileBar(0);
    WriteUninstallKey(setupState.destFolder, GameExeName, GameExeName, RemoveSwitch,
                      ProductDisplayName);
    PumpPendingMessages();

    CopySourceTree();
    CreateShortcuts();
    MoveUninstallListIntoGame();

    SetTotalLabel("Finished");
    SetFileBar(100);
    SetStatusLine("Finished");
    SetTotalBar(100);
    SetFileBar(0);
    PostFinishButton(PSWIZB_FINISH);

    installRunning = false;
}

BarPositions ComputeBarPositions(unsigned long long doneWeight, unsigned long long fileWeight,
                                 unsigned long long totalWeight, float fraction) {
    auto filePart = static_cast<unsigned long long>(static_cast<double>(fileWeight) * fraction);
    float overall = totalWeight ? static_cast<float>(static_cast<double>(doneWeight + filePart) /
                                                     static_cast<double>(totalWeight) * CopyShare)
                                : 0.0f;
    return BarPositions{static_cast<int>(overall * 100), static_cast<int>(fraction * 100)};
}

void ReportFileProgress(float fraction) {
    BarPositions bars = ComputeBarPositions(setupState.doneWeight, setupState.fileWeight,
                                            setupState.totalWeight, fraction);
    SetTotalBar(bars.total);
    SetFileBar(bars.file);
    if (GetTickCount() - lastPump >= PumpInterval) PumpPendingMessages();
}

void SetStatusLine(const char* text) {
    SetItemText(IDC_STATUS_LINE, text);
}
void SetTotalLabel(const char* text) {
    SetItemText(IDC_TOTAL_LABEL, text);
}
void SetTotalBar(int position) {
    SetBar(IDC_TOTAL_BAR, position, &shownTotalBar);
}
void SetFileBar(int position) {
    SetBar(IDC_FILE_BAR, position, &shownFileBar);
}

void PumpPendingMessages() {
    lastPump = GetTickCount();
    HWND sheet = setupState.progressPage ? GetParent(setupState.progressPage) : nullptr;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Leave the quit request for the loop that owns it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (sheet && IsDialogMessageA(sheet, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
