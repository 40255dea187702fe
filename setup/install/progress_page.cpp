#include "setup/install/progress_page.h"

#include <windows.h>
#include <prsht.h>

#include "setup/install/install_outcome.h"
#include "setup/install/install_sequence.h"
#include "setup/install/progress_report.h"
#include "setup/shell/dialog_art.h"
#include "setup/shell/resource.h"

namespace {

constexpr UINT_PTR InstallTimerId = 0;
constexpr UINT InstallTimerPeriod = 100;

void SetResult(HWND page, LONG_PTR result) {
    SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
}

void OnSetActive(HWND page) {
    HWND sheet = GetParent(page);
    // Shown again after a failure: not the last attempt's outcome.
    SetDlgItemTextA(page, IDC_TOTAL_LABEL, "Total Installation Progress...");
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

// Back on the destination page after a failure another folder may mend:
// Cancel works again, and the folder's text is selected for typing over.
void ChooseFolderAgain(HWND sheet) {
    EnableWindow(GetDlgItem(sheet, IDCANCEL), TRUE);
    PropSheet_SetCurSelByID(sheet, IDD_DESTINATION);
    HWND destination = PropSheet_GetCurrentPageHwnd(sheet);
    HWND edit = destination ? GetDlgItem(destination, IDC_DEST_EDIT) : nullptr;
    if (edit) PostMessageA(sheet, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
}

// A failed installation says what failed and what to do. Where another
// folder may do (full, read-only, name too long) the wizard goes back to the
// destination page; otherwise it ends: Setup starts afresh once the problem
// is solved.
void OnTimer(HWND page, UINT_PTR timerId) {
    KillTimer(page, timerId);
    RunInstallSequence();
    if (!InstallFailed()) return;
    HWND sheet = GetParent(page);
    char text[1024];
    FormatInstallFailure(text, sizeof text);
    MessageBoxA(sheet, text, InstallFailedTitle, MB_OK | MB_ICONSTOP);
    if (AnotherFolderMayDo()) {
        ChooseFolderAgain(sheet);
        return;
    }
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
