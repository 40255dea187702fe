#include "setup/shell/wizard.h"

#include <commctrl.h>
#include <shlobj.h>
#include <cstdio>
#include <cstring>

#include "setup/install/disk_space.h"
#include "setup/install/progress_page.h"
#include "setup/media/path_fs.h"
#include "setup/media/path_text.h"
#include "setup/shell/dialog_art.h"
#include "setup/shell/resource.h"
#include "setup/shell/setup_state.h"
#include "setup/shell/shell.h"

namespace {

constexpr size_t SizeTextSize = 64;
constexpr const char BrowseDestTitle[] = "Select Folder To Install Vexlo In";
constexpr const char BrowseGroupTitle[] = "Select Location for Vexlo Folder";
constexpr const char MissingFolderTitle[] = "Vexlo Setup: Folder Does Not Exist";
constexpr const char CreateFailedTitle[] = "Vexlo Setup: Error creating folder";
constexpr const char MissingFolderText[] =
    "The folder \"%s\" does not exist. Would you like to create it?";
constexpr const char CreateFailedText[] = "The folder \"%s\" could not be created.";
constexpr const char LowSpaceText[] =
    "The folder \"%s\" does not appear to have enough space available to install Vexlo.  An "
    "addition %s of free space is required.  Would you like to attempt to install Vexlo anyway? "
    "\r\n\r\nPress Yes to try to install Vexlo.\r\nPress No to select a different location.";

// Property sheet flags of the wizard (together 0x1AC).
constexpr DWORD WizardSheetFlags =
    PSH_PROPSHEETPAGE | PSH_WIZARD | PSH_NOAPPLYNOW | PSH_USECALLBACK | PSH_USEICONID;

// The destination page's answer to Next: stay on the page.
constexpr LONG_PTR StayOnPage = 1;

void SetResult(HWND page, LONG_PTR result) {
    SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
}

void FreeItemList(LPITEMIDLIST items) {
    if (!items) return;
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator) {
        allocator->Free(items);
        allocator->Release();
    }
}

// Path of a special shell folder; empty when the shell does not know it.
void SpecialFolderPath(int folder, char* path) {
    path[0] = '\0';
    LPITEMIDLIST items = nullptr;
    if (SHGetSpecialFolderLocation(nullptr, folder, &items) != S_OK) return;
    if (!SHGetPathFromIDListA(items, path)) path[0] = '\0';
    FreeItemList(items);
}

// Copies text into a SetupState field; refuses (field unchanged) what does not fit.
bool StoreText(char* field, const char* text) {
    return CopyText(field, StatePathSize, text);
}

bool StoreGroupFolder(const char* parent) {
    char folder[StatePathSize];
    int length = snprintf(folder, sizeof folder, "%s%s", parent, GroupFolderName);
    if (length < 0 || static_cast<size_t>(length) >= sizeof folder) return false;
    return StoreText(setupState.groupFolder, folder);
}

void ShowFreeSpace(HWND page) {
    SetDlgItemTextA(page, IDC_SPACE_AVAILABLE, FormatSize(setupState.freeSpace));
}

// Reads the edit box into destFolder and measures its drive.
void TakeTypedFolder(HWND page) {
    GetDlgItemTextA(page, IDC_DEST_EDIT, setupState.destFolder, StatePathSize);
    AddTrailingSeparator(setupState.destFolder, StatePathSize);
    MeasureFreeSpace();
}

void PostWizardButtons(HWND page, DWORD buttons) {
    PostMessageA(GetParent(page), PSM_SETWIZBUTTONS, 0, buttons);
}

void AskCancelQuestion(HWND page) {
    INT_PTR answer = DialogBoxParamA(setupState.instance, MAKEINTRESOURCEA(IDD_CANCEL_QUESTION),
                                     nullptr, CenteredDialogProc, 0);
    SetResult(page, answer == IDC_EXIT_SETUP ? 0 : 1);
}

INT_PTR CommonPageMessage(HWND page, UINT message) {
    return message == WM_INITDIALOG || AnswerWizardArtMessage(page, message);
}

void InitDestinationPage(HWND page) {
    if (!setupState.destFolder[0]) {
        StoreText(setupState.destFolder, DefaultDestFolder);
        AddTrailingSeparator(setupState.destFolder, StatePathSize);
        MeasureFreeSpace();
    }
    SetDlgItemTextA(page, IDC_DEST_EDIT, setupState.destFolder);
    SetDlgItemTextA(page, IDC_GROUP_START_MENU, setupState.groupLabel);
    CheckDlgButton(page, IDC_GROUP_START_MENU, BST_CHECKED);
    ShowFreeSpace(page);
    SetDlgItemTextA(page, IDC_SPACE_REQUIRED, FormatSize(RequiredSpace));
}

// The shell's folder browser with the page as owner; true, with the chosen
// folder's path in path (MAX_PATH bytes), unless it was cancelled.
bool BrowseForFolder(HWND page, LPCITEMIDLIST root, const char* title, UINT flags, char* path) {
    char displayName[MAX_PATH] = "";
    BROWSEINFOA browse = {};
    browse.hwndOwner = page;
    browse.pidlRoot = root;
    browse.pszDisplayName = displayName;
    browse.lpszTitle = title;
    browse.ulFlags = flags;
    LPITEMIDLIST chosen = SHBrowseForFolderA(&browse);
    if (!chosen) return false;
    bool named = SHGetPathFromIDListA(chosen, path) != FALSE;
    FreeItemList(chosen);
    return named;
}

void BrowseDestination(HWND page) {
    char path[MAX_PATH] = "";
    if (!BrowseForFolder(page, nullptr, BrowseDestTitle, BIF_RETURNONLYFSDIRS, path)) return;
    if (!StoreText(setupState.destFolder, path)) return;
    AddTrailingSeparator(setupState.destFolder, StatePathSize);
    MeasureFreeSpace();
    SetDlgItemTextA(page, IDC_DEST_EDIT, setupState.destFolder);
    ShowFreeSpace(page);
}

void ChangeGroup(HWND page) {
    LPITEMIDLIST programs = nullptr;
    if (SHGetSpecialFolderLocation(page, CSIDL_PROGRAMS, &programs) != S_OK) programs = nullptr;
    char path[MAX_PATH] = "";
    if (BrowseForFolder(page, programs, BrowseGroupTitle, 0, path) && StoreGroupFolder(path)) {
        MakeGroupLabel();
        SetDlgItemTextA(page, IDC_GROUP_START_MENU, setupState.groupLabel);
        CheckDlgButton(page, IDC_GROUP_NONE, BST_UNCHECKED);
        CheckDlgButton(page, IDC_GROUP_START_MENU, BST_CHECKED);
    }
    FreeItemList(programs);
}

void DestinationEditChanged(HWND page, WORD notification) {
    switch (notification) {
        case EN_CHANGE:
            SetDlgItemTextA(page, IDC_SPACE_AVAILABLE, SpacePlaceholder);
            break;
        case EN_KILLFOCUS:
            TakeTypedFolder(page);
            ShowFreeSpace(page);
            break;
    }
}

// Next on the destination page: take the folder, offer to create it, check the space.
void ValidateDestination(HWND page) {
    char text[MessageTextSize];
    SetResult(page, 0);
    TakeTypedFolder(page);
    ShowFreeSpace(page);
    setupState.makeGroup = IsDlgButtonChecked(page, IDC_GROUP_START_MENU) == BST_CHECKED ? 1 : 0;

    if (!FolderExists(setupState.destFolder)) {
        snprintf(text, sizeof text, MissingFolderText, setupState.destFolder);
        if (MessageBoxA(page, text, MissingFolderTitle, MB_YESNO | MB_ICONQUESTION) != IDYES) {
            SetResult(page, StayOnPage);
        } else if (!CreateFolderPath(setupState.destFolder)) {
            snprintf(text, sizeof text, CreateFailedText, setupState.destFolder);
            MessageBoxA(page, text, CreateFailedTitle, MB_OK | MB_ICONSTOP);
            SetResult(page, StayOnPage);
        }
    }

    if (setupState.freeSpace >= RequiredSpace) return;
    // FormatSize shares one buffer: keep the shortfall's text.
    char shortfall[SizeTextSize];
    snprintf(shortfall, sizeof shortfall, "%s", FormatSize(RequiredSpace - setupState.freeSpace));
    snprintf(text, sizeof text, LowSpaceText, setupState.destFolder, shortfall);
    if (MessageBoxA(page, text, MissingFolderTitle, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) !=
        IDYES)
        SetResult(page, StayOnPage);
}

// The welcome and ready pages: their buttons when shown; leaving, reset and
// Next always allowed. Only the ready page asks before Cancel closes the sheet.
INT_PTR PlainPageNotify(HWND page, const NMHDR* header, DWORD buttons, bool asksOnCancel) {
    switch (header->code) {
        case PSN_SETACTIVE:
            PostWizardButtons(page, buttons);
            return TRUE;
        case PSN_KILLACTIVE:
        case PSN_RESET:
            SetResult(page, 0);
            return TRUE;
        case PSN_WIZNEXT:
            return TRUE;
        case PSN_QUERYCANCEL:
            if (!asksOnCancel) return FALSE;
            AskCancelQuestion(page);
            return TRUE;
    }
    return FALSE;
}

INT_PTR DestinationNotify(HWND page, const NMHDR* header) {
    switch (header->code) {
        case PSN_SETACTIVE:
            PostWizardButtons(page, PSWIZB_BACK | PSWIZB_NEXT);
            return TRUE;
        case PSN_RESET:
            SetResult(page, 0);
            return TRUE;
        case PSN_WIZNEXT:
            ValidateDestination(page);
            return TRUE;
        case PSN_QUERYCANCEL:
            AskCancelQuestion(page);
            return TRUE;
    }
    return FALSE;
}

}  // namespace

void MeasureFreeSpace() {
    setupState.freeSpace = GetDriveFreeBytes(setupState.destFolder);
}

void MakeGroupLabel() {
    char copy[StatePathSize];
    snprintf(copy, sizeof copy, "%s", setupState.groupFolder);
    char startMenu[MAX_PATH];
    SpecialFolderPath(CSIDL_STARTMENU, startMenu);
    size_t length = strlen(startMenu);
    const char* below = copy;
    if (_strnicmp(copy, startMenu, length) == 0) below = copy + length;
    snprintf(setupState.groupLabel, StatePathSize, "%s%s", GroupLabelPrefix, below);
}

void FillWizardPage(HINSTANCE instance, PROPSHEETPAGEA_V1* page, int templateId,
                    DLGPROC procedure) {
    memset(page, 0, sizeof *page);
    page->dwSize = PROPSHEETPAGEA_V1_SIZE;
    page->dwFlags = 0;
    page->hInstance = instance;
    page->pszTemplate = MAKEINTRESOURCEA(templateId);
    page->pfnDlgProc = procedure;
    page->lParam = 0;
}

int CALLBACK WizardSheetCallback(HWND sheet, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED) CenterOnDesktop(sheet);
    return 0;
}

void RunInstallWizard() {
    char programs[MAX_PATH];
    SpecialFolderPath(CSIDL_PROGRAMS, programs);
    StoreGroupFolder(programs);
    MakeGroupLabel();

    PROPSHEETPAGEA_V1 pages[4];
    FillWizardPage(setupState.instance, &pages[0], IDD_WELCOME, WelcomePageProc);
    FillWizardPage(setupState.instance, &pages[1], IDD_DESTINATION, DestinationPageProc);
    FillWizardPage(setupState.instance, &pages[2], IDD_READY, ReadyPageProc);
    FillWizardPage(setupState.instance, &pages[3], IDD_PROGRESS, ProgressPageProc);

    PROPSHEETHEADERA header;
    memset(&header, 0, sizeof header);
    header.dwSize = PROPSHEETHEADERA_V1_SIZE;
    header.dwFlags = WizardSheetFlags;
    header.hwndParent = nullptr;
    header.hInstance = setupState.instance;
    header.pszIcon = MAKEINTRESOURCEA(IDI_SETUP);
    header.pszCaption = WizardCaption;
    header.nPages = 4;
    header.nStartPage = 0;
    header.ppsp = reinterpret_cast<LPCPROPSHEETPAGEA>(pages);
    header.pfnCallback = WizardSheetCallback;

    // The progress page's bar control lives in the common controls library.
    InitCommonControls();
    PropertySheetA(&header);
}

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_NOTIFY)
        return PlainPageNotify(page, reinterpret_cast<NMHDR*>(lParam), PSWIZB_NEXT, false);
    return CommonPageMessage(page, message);
}

INT_PTR CALLBACK DestinationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            InitDestinationPage(page);
            return TRUE;
        case WM_NOTIFY:
            return DestinationNotify(page, reinterpret_cast<NMHDR*>(lParam));
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_DEST_BROWSE:
                    BrowseDestination(page);
                    break;
                case IDC_GROUP_CHANGE:
                    ChangeGroup(page);
                    break;
                case IDC_DEST_EDIT:
                    DestinationEditChanged(page, HIWORD(wParam));
                    break;
            }
            return TRUE;
    }
    return CommonPageMessage(page, message);
}

INT_PTR CALLBACK ReadyPageProc(HWND page, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_NOTIFY)
        return PlainPageNotify(page, reinterpret_cast<NMHDR*>(lParam), PSWIZB_BACK | PSWIZB_NEXT,
                               true);
    return CommonPageMessage(page, message);
}
