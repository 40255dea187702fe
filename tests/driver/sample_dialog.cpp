// A small dialog program for testing the UI driver itself: an edit box that
// reports its notifications, a question box, radio buttons, a progress bar, a
// disabled button and a two-page wizard. The last event shows in a log line.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <cstdio>
#include <cstring>

#include "sample_ids.h"

namespace {

HINSTANCE instance;
int changeCount = 0;
char wizardText[128] = "";

// The log holds the latest events, one a line, newest last: another
// program's window may take the activation at any moment, and the focus
// change that brings must not hide the event a test waits for.
constexpr int LogEvents = 16;
constexpr int EventLength = 200;
char events[LogEvents][EventLength];
int eventCount = 0;

void ShowLog(HWND dialog, const char* text) {
    if (eventCount == LogEvents) {
        memmove(events[0], events[1], sizeof events - sizeof events[0]);
        --eventCount;
    }
    snprintf(events[eventCount++], EventLength, "%s", text);
    char log[LogEvents * EventLength] = "";
    size_t used = 0;
    for (int i = 0; i < eventCount; ++i)
        used += snprintf(log + used, sizeof log - used, "%s%s", i ? "\n" : "", events[i]);
    SetDlgItemTextA(dialog, IDC_SAMPLE_LOG, log);
}

void OnEditNotification(HWND dialog, WORD code) {
    char text[128] = "", line[200];
    GetDlgItemTextA(dialog, IDC_SAMPLE_EDIT, text, sizeof text);
    if (code == EN_CHANGE) {
        snprintf(line, sizeof line, "change %d %s", ++changeCount, text);
        ShowLog(dialog, line);
    } else if (code == EN_KILLFOCUS) {
        snprintf(line, sizeof line, "killfocus %s", text);
        ShowLog(dialog, line);
    }
}

INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message != WM_NOTIFY) return FALSE;
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    bool second = GetDlgItem(page, IDC_PAGE2_EDIT) != nullptr;
    switch (header->code) {
        case PSN_SETACTIVE:
            PostMessageA(GetParent(page), PSM_SETWIZBUTTONS, 0,
                         second ? (PSWIZB_BACK | PSWIZB_FINISH) : PSWIZB_NEXT);
            SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
            return TRUE;
        case PSN_WIZFINISH:
            GetDlgItemTextA(page, IDC_PAGE2_EDIT, wizardText, sizeof wizardText);
            return TRUE;
    }
    return FALSE;
}

void RunWizard(HWND dialog) {
    PROPSHEETPAGEA pages[2] = {};
    for (int i = 0; i < 2; ++i) {
        pages[i].dwSize = sizeof pages[i];
        pages[i].hInstance = instance;
        pages[i].pszTemplate = MAKEINTRESOURCEA(i == 0 ? IDD_SAMPLE_PAGE1 : IDD_SAMPLE_PAGE2);
        pages[i].pfnDlgProc = PageProc;
    }
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_WIZARD | PSH_NOAPPLYNOW;
    header.hwndParent = dialog;
    header.hInstance = instance;
    header.pszCaption = "Sample Wizard";
    header.nPages = 2;
    header.ppsp = pages;
    wizardText[0] = '\0';
    INT_PTR result = PropertySheetA(&header);
    char line[200];
    snprintf(line, sizeof line, "wizard %d %s", int(result), wizardText);
    ShowLog(dialog, line);
}

void OnInit(HWND dialog) {
    char text[MAX_PATH] = "";
    GetEnvironmentVariableA("SAMPLE_GREETING", text, sizeof text);
    SetDlgItemTextA(dialog, IDC_SAMPLE_GREETING, text);
    GetCurrentDirectoryA(sizeof text, text);
    SetDlgItemTextA(dialog, IDC_SAMPLE_FOLDER, text);
    SendDlgItemMessageA(dialog, IDC_SAMPLE_BAR, PBM_SETPOS, 42, 0);
    CheckRadioButton(dialog, IDC_SAMPLE_RADIO_A, IDC_SAMPLE_RADIO_B, IDC_SAMPLE_RADIO_A);
}

void OnCommand(HWND dialog, WORD id, WORD code) {
    switch (id) {
        case IDC_SAMPLE_EDIT:
            OnEditNotification(dialog, code);
            break;
        case IDC_SAMPLE_ASK: {
            int answer = MessageBoxA(dialog, "Shall we go on?", "Sample Question",
                                     MB_YESNO | MB_ICONQUESTION);
            ShowLog(dialog, answer == IDYES ? "answer yes" : "answer no");
            break;
        }
        case IDC_SAMPLE_RADIO_A:
        case IDC_SAMPLE_RADIO_B:
            ShowLog(dialog, id == IDC_SAMPLE_RADIO_A ? "radio a" : "radio b");
            break;
        case IDC_SAMPLE_DISABLED:
            ShowLog(dialog, "disabled button clicked");
            break;
        case IDC_SAMPLE_WIZARD:
            RunWizard(dialog);
            break;
        case IDOK:
        case IDCANCEL:
            EndDialog(dialog, id);
            break;
    }
}

INT_PTR CALLBACK SampleDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            OnInit(dialog);
            return TRUE;
        case WM_COMMAND:
            OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE thisInstance, HINSTANCE, LPSTR, int) {
    instance = thisInstance;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    INT_PTR result =
        DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SAMPLE), nullptr, SampleDialogProc, 0);
    // Distinguishes "closed by a button" from a crash or a kill.
    return 100 + int(result);
}
