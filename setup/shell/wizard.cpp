#include "setup/shell/wizard.h"

#include <commctrl.h>
#include <shlobj.h>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/removal_roots_win32.h"
#include "setup/install/disk_space.h"
#include "setup/install/path_limits.h"
#include "setup/install/progress_page.h"
#include "setup/media/path_fs.h"
#include "setup/media/path_text.h"
#include "setup/shell/dialog_art.h"
#include "setup/shell/resource.h"
#include "setup/shell/setup_state.h"
#include "setup/shell/shell.h"

namespace {

constexpr size_t SizeTextSize = 64;
constexpr const char MissingFolderText[] =
    "The folder \"%s\" does not exist. Would you like to create it?";
constexpr const char CreateFailedText[] = "The folder \"%s\" could not be created.";

// Property sheet flags of the wizard (together 0x1AC).
constexpr DWORD WizardSheetFlags =
    PSH_PROPSHEETPAGE | PSH_WIZARD | PSH_NOAPPLYNOW | PSH_USECALLBACK | PSH_USEICONID;

// The destination page's answer to Next: stay on the page.
constexpr LONG_PTR StayOnPage = 1;
// The answer to Next and Back that keeps every page where it is.
constexpr LONG_PTR RefusePageChange = -1;

// True while the wizard shows a question or a folder browser: the sheet is
// disabled then, and a click that reaches it anyway (posted, say) changes
// nothing and opens no second question.
bool questionOpen = false;

// Questions belong to the sheet (the page's parent), which is disabled while
// one is open.
HWND QuestionOwner(HWND page) {
    HWND sheet = GetParent(page);
    return sheet ? sheet : page;
}

int AskQuestion(HWND page, const char* text, const char* title, UINT type) {
    questionOpen = true;
    int answer = MessageBoxA(QuestionOwner(page), text, title, type);
    questionOpen = false;
    return answer;
}

void SetResult(HWND page, LONG_PTR result) {
    SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
}

// Path of a special shell folder; empty when the shell does not know it.
void SpecialFolderPath(int folder, char* path) {
    path[0] = '\0';
    LPITEMIDLIST items = nullptr;
    if (SHGetSpecialFolderLocation(nullptr, folder, &items) != S_OK) return;
    if (!SHGetPathFromIDListA(items, path)) path[0] = '\0';
    FreeShellItemList(items);
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

// The edit box's whole text, with a trailing separator.
std::string TypedFolder(HWND page) {
    HWND edit = GetDlgItem(page, IDC_DEST_EDIT);
    std::string text(static_cast<size_t>(GetWindowTextLengthA(edit)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(edit, &text[0], static_cast<int>(text.size()))));
    if (!text.empty() && !IsPathSeparator(text.back())) text += '\\';
    return text;
}

// Takes the edit box's folder into destFolder and measures its drive. A text
// that destFolder cannot hold whole leaves destFolder as it was (Next then
// refuses it); the free space is that of its drive all the same.
void TakeTypedFolder(HWND page) {
    std::string typed = TypedFolder(page);
    StoreText(setupState.destFolder, typed.c_str());
    setupState.freeSpace = GetDriveFreeBytes(typed.c_str());
}

// True when path is folder or lies below it; both full paths, compared
// without regard to case.
bool IsSameOrBelow(const char* path, const char* folder) {
    size_t length = strlen(folder);
    while (length > 0 && IsPathSeparator(folder[length - 1]))
        --length;
    if (length == 0 || _strnicmp(path, folder, length) != 0) return false;
    return path[length] == '\0' || IsPathSeparator(path[length]);
}

// A drive's root (E:\) or a network share's (\\server\share), given as a
// full path without trailing separators.
bool IsRootPath(const char* full) {
    if (IsPathSeparator(full[0]) && IsPathSeparator(full[1])) {
        const char* share = strpbrk(full + 2, "\\/");
        return share && !strpbrk(share + 1, "\\/");
    }
    return full[0] != '\0' && full[1] == ':' && full[2] == '\0';
}

// Why a folder cannot hold an installation however much room it has: its
// removal would have to spare a whole drive, Windows' own files would be
// mixed with the game's, or a file stands where a folder must be. The
// shown text is what the user typed, the file's path for a file in the way.
enum class Unusable { No, DriveRoot, SystemFolder, FileInTheWay };

Unusable UnusableFolder(const char* folder, char* shown, size_t shownSize) {
    snprintf(shown, shownSize, "%s", folder);
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(folder, sizeof full, full, nullptr);
    // What cannot be made whole is for the path limits and the folder
    // creation to refuse.
    if (length == 0 || length >= sizeof full) return Unusable::No;
    while (length > 0 && IsPathSeparator(full[length - 1]))
        full[--length] = '\0';
    if (length == 0 || IsRootPath(full)) return Unusable::DriveRoot;

    char system[MAX_PATH];
    UINT systemLength = GetWindowsDirectoryA(system, sizeof system);
    if (systemLength > 0 && systemLength < sizeof system && IsSameOrBelow(full, system))
        return Unusable::SystemFolder;
    systemLength = GetSystemDirectoryA(system, sizeof system);
    if (systemLength > 0 && systemLength < sizeof system && IsSameOrBelow(full, system))
        return Unusable::SystemFolder;

    // The folder itself or any folder on the way to it that is a file.
    for (size_t end = 0; end <= length; ++end) {
        if (end < length && !IsPathSeparator(full[end])) continue;
        char saved = full[end];
        full[end] = '\0';
        DWORD attributes = GetFileAttributesA(full);
        bool file =
            attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
        if (file) {
            snprintf(shown, shownSize, "%s", full);
            return Unusable::FileInTheWay;
        }
        full[end] = saved;
    }
    return Unusable::No;
}

// Shows why a folder cannot be installed in, if it cannot. True when it was
// refused.
bool RefuseUnusableFolder(HWND page, const char* folder) {
    char shown[MAX_PATH];
    char text[MessageTextSize];
    switch (UnusableFolder(folder, shown, sizeof shown)) {
        case Unusable::No:
            return false;
        case Unusable::DriveRoot:
            snprintf(text, sizeof text, DriveRootText, shown);
            break;
        case Unusable::SystemFolder:
            snprintf(text, sizeof text, SystemFolderText, shown);
            break;
        case Unusable::FileInTheWay:
            snprintf(text, sizeof text, FileInTheWayText, shown);
            break;
    }
    AskQuestion(page, text, FolderRefusedTitle, MB_OK | MB_ICONSTOP);
    return true;
}

// Shows why a folder cannot be installed in, if it cannot: a path the install
// would build that does not fit, a semicolon, or a folder no installation may
// use. True when it was refused. The one check of both ways a folder is
// chosen (typed and Next, or the folder browser).
bool RefuseUnfitFolder(HWND page, const char* folder, const char* groupFolder) {
    PathLimitFault fault;
    if (CheckInstallPathLimits(folder, groupFolder, &fault))
        return RefuseUnusableFolder(page, folder);
    char text[MessageTextSize];
    const char* title = TooLongTitle;
    unsigned length = static_cast<unsigned>(fault.length);
    unsigned limit = static_cast<unsigned>(fault.limit);
    switch (fault.kind) {
        case PathLimitKind::Semicolon:
            title = SemicolonTitle;
            snprintf(text, sizeof text, SemicolonText, folder);
            break;
        case PathLimitKind::UninstallCommand:
            snprintf(text, sizeof text, CommandTooLongText, folder, length, limit);
            break;
        case PathLimitKind::Shortcut:
            snprintf(text, sizeof text, GroupTooLongText, groupFolder, fault.name, length, limit);
            break;
        default:
            snprintf(text, sizeof text, TooLongText, folder, fault.name, length, limit);
            break;
    }
    AskQuestion(page, text, title, MB_OK | MB_ICONSTOP);
    return true;
}

void PostWizardButtons(HWND page, DWORD buttons) {
    PostMessageA(GetParent(page), PSM_SETWIZBUTTONS, 0, buttons);
}

void AskCancelQuestion(HWND page) {
    questionOpen = true;
    INT_PTR answer = DialogBoxParamA(setupState.instance, MAKEINTRESOURCEA(IDD_CANCEL_QUESTION),
                                     QuestionOwner(page), CenteredDialogProc, 0);
    questionOpen = false;
    SetResult(page, answer == IDC_EXIT_SETUP ? 0 : 1);
}

// While a question is open nothing moves: Next, Back and Finish keep the page,
// Cancel keeps the sheet without asking again. False for other notifications.
bool RefuseWhileAsking(HWND page, const NMHDR* header) {
    if (!questionOpen) return false;
    switch (header->code) {
        case PSN_WIZNEXT:
        case PSN_WIZBACK:
            SetResult(page, RefusePageChange);
            return true;
        case PSN_WIZFINISH:
        case PSN_QUERYCANCEL:
            SetResult(page, TRUE);
            return true;
    }
    return false;
}

// The two Start Menu radio buttons are one Tab stop: the checked one.
void KeepTabStopOnCheckedGroupButton(HWND page) {
    for (int id : {IDC_GROUP_NONE, IDC_GROUP_START_MENU}) {
        HWND button = GetDlgItem(page, id);
        LONG_PTR style = GetWindowLongPtrA(button, GWL_STYLE);
        LONG_PTR wanted =
            IsDlgButtonChecked(page, id) == BST_CHECKED ? style | WS_TABSTOP : style & ~WS_TABSTOP;
        if (wanted != style) SetWindowLongPtrA(button, GWL_STYLE, wanted);
    }
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
    KeepTabStopOnCheckedGroupButton(page);
    ShowFreeSpace(page);
    SetDlgItemTextA(page, IDC_SPACE_REQUIRED, FormatSize(RequiredSpace));
}

// The shell's folder browser with the page as owner; true, with the chosen
// folder's path in path (MAX_PATH bytes), unless it was cancelled.
bool BrowseForFolder(HWND page, LPCITEMIDLIST root, const char* title, UINT flags, char* path) {
    char displayName[MAX_PATH] = "";
    BROWSEINFOA browse = {};
    browse.hwndOwner = QuestionOwner(page);
    browse.pidlRoot = root;
    browse.pszDisplayName = displayName;
    browse.lpszTitle = title;
    browse.ulFlags = flags;
    questionOpen = true;
    LPITEMIDLIST chosen = SHBrowseForFolderA(&browse);
    questionOpen = false;
    if (!chosen) return false;
    bool named = SHGetPathFromIDListA(chosen, path) != FALSE;
    FreeShellItemList(chosen);
    return named;
}

void BrowseDestination(HWND page) {
    char path[MAX_PATH] = "";
    if (!BrowseForFolder(page, nullptr, BrowseDestTitle, BIF_RETURNONLYFSDIRS, path)) return;
    std::string folder = path;
    if (!folder.empty() && !IsPathSeparator(folder.back())) folder += '\\';
    if (RefuseUnfitFolder(page, folder.c_str(), nullptr)) return;
    StoreText(setupState.destFolder, folder.c_str());
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
        KeepTabStopOnCheckedGroupButton(page);
    }
    FreeShellItemList(programs);
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

// Next on the destination page: take the folder, refuse one whose paths do
// not fit, offer to create it, check the space.
void ValidateDestination(HWND page) {
    char text[MessageTextSize];
    SetResult(page, 0);
    std::string typed = TypedFolder(page);
    setupState.freeSpace = GetDriveFreeBytes(typed.c_str());
    ShowFreeSpace(page);
    setupState.makeGroup = IsDlgButtonChecked(page, IDC_GROUP_START_MENU) == BST_CHECKED ? 1 : 0;

    // Before anything is written (the folder itself included). A folder that
    // passes is far shorter than destFolder's room, so it is stored whole.
    if (RefuseUnfitFolder(page, typed.c_str(),
                          setupState.makeGroup ? setupState.groupFolder : nullptr) ||
        !StoreText(setupState.destFolder, typed.c_str())) {
        SetResult(page, StayOnPage);
        return;
    }

    if (!FolderExists(setupState.destFolder)) {
        snprintf(text, sizeof text, MissingFolderText, setupState.destFolder);
        if (AskQuestion(page, text, MissingFolderTitle, MB_YESNO | MB_ICONQUESTION) != IDYES) {
            SetResult(page, StayOnPage);
        } else if (!CreateFolderPath(setupState.destFolder, setupState.destCreatedFrom,
                                     sizeof setupState.destCreatedFrom)) {
            snprintf(text, sizeof text, CreateFailedText, setupState.destFolder);
            AskQuestion(page, text, CreateFailedTitle, MB_OK | MB_ICONSTOP);
            SetResult(page, StayOnPage);
        }
    }

    if (setupState.freeSpace >= RequiredSpace) return;
    // FormatSize shares one buffer: keep the shortfall's text.
    char shortfall[SizeTextSize];
    snprintf(shortfall, sizeof shortfall, "%s", FormatSize(RequiredSpace - setupState.freeSpace));
    snprintf(text, sizeof text, LowSpaceText, setupState.destFolder, shortfall);
    if (AskQuestion(page, text, MissingFolderTitle, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) !=
        IDYES)
        SetResult(page, StayOnPage);
}

// The welcome and ready pages: their buttons when shown; leaving, reset and
// Next always allowed. Only the ready page asks before Cancel closes the sheet.
INT_PTR PlainPageNotify(HWND page, const NMHDR* header, DWORD buttons, bool asksOnCancel) {
    if (RefuseWhileAsking(page, header)) return TRUE;
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
    if (RefuseWhileAsking(page, header)) return TRUE;
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

void MakeDefaultGroup() {
    char programs[MAX_PATH];
    SpecialFolderPath(CSIDL_PROGRAMS, programs);
    StoreGroupFolder(programs);
    MakeGroupLabel();
}

std::vector<FilledText> FilledProductTexts() {
    // The destination page's radio button shows the default group's label;
    // the progress page's status line says when the installation failed
    // (install_sequence.cpp).
    MakeDefaultGroup();
    return {{IDD_DESTINATION, IDC_GROUP_START_MENU, "GroupFolderName", setupState.groupLabel},
            {IDD_PROGRESS, IDC_STATUS_LINE, "InstallFailedStatus", InstallFailedStatus}};
}

void RunInstallWizard() {
    MakeDefaultGroup();

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
            // A click posted to the page while a question is open does nothing.
            if (questionOpen) return TRUE;
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
                case IDC_GROUP_NONE:
                case IDC_GROUP_START_MENU:
                    KeepTabStopOnCheckedGroupButton(page);
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
