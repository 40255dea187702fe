#include "setup/install/progress_page.h"

#include <windows.h>
#include <prsht.h>

#include "setup/install/install_outcome.h"
#include "setup/install/install_sequence.h"
#include "setup/install/progress_report.h"
#include "setup/shell/dialog_art.h"

namespace {

constexpr UINT_PTR InstallTimerId = 0;
constexpr UINT InstallTimerPeriod = 100;

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

// A failed installation says what failed and what to do, then the wizard
// ends: Setup starts afresh once the problem is solved.
void OnTimer(HWND page, UINT_PTR timerId) {
    KillTimer(page, timerId);
    RunInstallSequence();
    if (!InstallFailed()) return;
    HWND sheet = GetParent(page);
    char text[1024];
    FormatInstallFailure(text, sizeof text);
    MessageBoxA(sheet, text, InstallFailedTitle, MB_OK | MB_ICONSTOP);
    PropSheet_PressButton(sheet, PSBTN_FINISH);
}

}  // namespace

INT_PTR CALLBACK ProgressPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            AttachProgressPage(page);
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
