#include "e2e_support.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const char* const LauncherTitle = LauncherCaption;
const char* const WelcomeTitle = WizardCaption;
const char* const DestinationTitle = DestinationCaption;
const char* const ReadyTitle = ReadyCaption;
const char* const ProgressTitle = ProgressCaption;
const char* const CancelQuestionTitle = CancelCaption;
const char* const FolderQuestionTitle = MissingFolderTitle;
const char* const FolderErrorTitle = CreateFailedTitle;
const char DirectXOfferTitle[] = "Install Microsoft Direct X";
const char DirectXMessageTitle[] = "Microsoft Direct X Installation";
const char* const DirectXErrorTitle = DirectXErrorCaption;
const char* const RestartTitle = RestartCaption;
const char* const GameTitle = GameWindowTitle;

std::string DefaultGroupLabel() {
    return std::string("Start Menu\\Programs") + GroupFolderName;
}

const char* GroupWindowTitle() {
    const char* name = strrchr(GroupFolderName, '\\');
    return name ? name + 1 : GroupFolderName;
}

namespace {

const char AppDefaultsKey[] = "Software\\Wine\\AppDefaults\\Setup.exe";

std::string WithTrailingBackslash(std::string path) {
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
    return path;
}

void WalkDisc(const std::string& folder, const std::string& prefix,
              std::vector<std::string>* names) {
    WIN32_FIND_DATAA found;
    std::vector<std::string> subfolders;
    HANDLE search = FindFirstFileA((folder + "*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (found.cFileName[0] == '.') continue;
        // The disc's autorun file is not walked.
        if (prefix == "./" && _stricmp(found.cFileName, "AUTORUN.INF") == 0) continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            subfolders.push_back(found.cFileName);
        else
            names->push_back(prefix + found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    for (const std::string& sub : subfolders)
        WalkDisc(folder + sub + "\\", prefix + sub + "/", names);
}

}  // namespace

std::string TestProgramFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string DiscFolder() {
    // A disc in a drive of its own (the image test) is named by its root.
    if (const char* drive = getenv("VEXLO_E2E_DISC"); drive && *drive)
        return WithTrailingBackslash(drive);
    // The build gives the Unix path; Wine shows the Unix root as drive Z:.
    std::string path = "Z:" + std::string(VEXLO_E2E_DISC_DIR);
    for (char& c : path)
        if (c == '/') c = '\\';
    return WithTrailingBackslash(path);
}

std::string ScratchFolder() {
    std::string folder = "C:\\VexloE2E\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// ---- runs ----

SetupRun::~SetupRun() {
    if (process.process && !WaitProcessEnd(process.process, 0, nullptr))
        KillProcess(process.process);
    CloseStartedProcess(&process);
}

// Wine mirrors every shortcut saved in the prefix as a menu entry of the
// user's desktop; the tests' shortcuts must stay inside the prefix.
void KeepShortcutsInsidePrefix() {
    HKEY key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", &key) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, "winemenubuilder.exe", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    RegCloseKey(key);
}

bool SetupRun::Start(const char* setupPath, std::vector<std::string> environment) {
    std::string program = setupPath ? setupPath : DiscFolder() + "Setup.exe";
    KeepShortcutsInsidePrefix();
    std::vector<const char*> pointers;
    for (const std::string& item : environment)
        pointers.push_back(item.c_str());
    pointers.push_back(nullptr);
    // Started from elsewhere: the program must make its own folder current.
    std::string folder = ScratchFolder() + "elsewhere";
    CreateDirectoryA(folder.c_str(), nullptr);
    return StartProgram(program.c_str(), nullptr, folder.c_str(), pointers.data(), &process);
}

HWND SetupRun::Wait(const char* title, unsigned timeoutMs) const {
    return WaitTopWindow(title, process.processId, timeoutMs);
}

HWND SetupRun::WaitBox(const char* title, unsigned timeoutMs) const {
    return WaitMessageBox(title, process.processId, timeoutMs);
}

bool SetupRun::WaitEnd(DWORD* code, unsigned timeoutMs) {
    return WaitProcessEnd(process.process, timeoutMs, code);
}

bool SetupRun::Running() const {
    return process.process && WaitForSingleObject(process.process, 0) == WAIT_TIMEOUT;
}

HWND OpenWizard(SetupRun& run) {
    HWND launcher = run.Wait(LauncherTitle);
    if (!launcher || !ClickButton(launcher, InstallButton)) return nullptr;
    HWND sheet = run.Wait(WelcomeTitle);
    if (!sheet || !WaitControl(sheet, SheetNextButton, WindowWaitMs)) return nullptr;
    return sheet;
}

HWND OpenDirectXOffer(SetupRun& run) {
    HWND launcher = run.Wait(LauncherTitle);
    if (!launcher || !ClickButton(launcher, InstallButton)) return nullptr;
    return run.Wait(DirectXOfferTitle);
}

std::string AcceptDirectXOffer(SetupRun& run) {
    HWND offer = OpenDirectXOffer(run);
    if (!offer || !ClickButton(offer, IDOK)) return "<no DirectX offer>";
    HWND box = run.WaitBox(DirectXMessageTitle);
    if (!box) return "<no DirectX message>";
    std::string text = MessageText(box);
    if (!AnswerMessageBox(box, IDOK)) return "<DirectX message not answered>";
    return text;
}

HWND GoToDestination(HWND sheet) {
    if (!sheet || !ClickButton(sheet, SheetNextButton)) return nullptr;
    if (!WaitTitle(sheet, DestinationTitle) || !WaitControl(sheet, FolderEdit, WindowWaitMs))
        return nullptr;
    return sheet;
}

std::string WindowTitle(HWND window) {
    char title[512] = "";
    if (!IsWindow(window)) return "";
    GetWindowTextA(window, title, sizeof title);
    return title;
}

bool WaitTitle(HWND window, const char* title, unsigned timeoutMs) {
    uint32_t start = DriverClock();
    while (WindowTitle(window) != title) {
        if (!IsWindow(window) || DriverClock() - start >= timeoutMs) return false;
        Sleep(30);
    }
    return true;
}

std::string ControlText(HWND top, int id) {
    char text[2048] = "";
    if (!ReadControlText(top, id, text, sizeof text)) return "<unreadable>";
    return text;
}

std::string MessageText(HWND box) {
    char text[2048] = "";
    if (!ReadMessageBoxText(box, text, sizeof text)) return "<unreadable>";
    return text;
}

bool StaysAway(const SetupRun& run, const char* title, unsigned ms) {
    return run.Wait(title, ms) == nullptr;
}

// ---- registry ----

void SetSetupWindowsVersion(const char* version) {
    if (!version) {
        RegDeleteKeyA(HKEY_CURRENT_USER, AppDefaultsKey);
        return;
    }
    HKEY key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, AppDefaultsKey, &key) != ERROR_SUCCESS) return;
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                   DWORD(strlen(version) + 1));
    RegCloseKey(key);
}

// ---- files ----

void RemoveEmptyParents(std::string path) {
    while (!path.empty() && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    while (path.size() > 3 && RemoveDirectoryA(path.c_str())) {
        size_t cut = path.find_last_of("\\/");
        if (cut == std::string::npos) break;
        path.resize(cut);
    }
}

std::string ProgramsFolder() {
    char path[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, path, CSIDL_PROGRAMS, FALSE);
    return path;
}

bool ReadShortcut(const std::string& path, ShortcutInfo* info) {
    bool ok = false;
    HRESULT initialised = CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t widePath[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
            if (SUCCEEDED(file->Load(widePath, STGM_READ))) {
                char text[MAX_PATH] = "";
                link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
                info->target = text;
                text[0] = '\0';
                link->GetArguments(text, sizeof text);
                info->arguments = text;
                text[0] = '\0';
                link->GetWorkingDirectory(text, sizeof text);
                info->workingFolder = text;
                ok = true;
            }
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(initialised)) CoUninitialize();
    return ok;
}

std::vector<std::string> ListDiscFiles() {
    std::vector<std::string> names;
    WalkDisc(DiscFolder(), "./", &names);
    return names;
}

void CloseGroupFolderWindows(DWORD setupProcessId) {
    uint32_t start = DriverClock();
    for (;;) {
        HWND windows[64];
        int count = ListTopWindows(windows, 64, 0);
        bool left = false;
        for (int i = 0; i < count; ++i) {
            DWORD owner = WindowProcessId(windows[i]);
            if (owner == setupProcessId || owner == GetCurrentProcessId()) continue;
            if (WindowTitle(windows[i]) != GroupWindowTitle()) continue;
            // Only the shell's folder window, never a game window.
            char className[64] = "";
            GetClassNameA(windows[i], className, sizeof className);
            if (strcmp(className, "ExplorerWClass") != 0 && strcmp(className, "CabinetWClass") != 0)
                continue;
            CloseTopWindow(windows[i]);
            left = true;
        }
        if (!left || DriverClock() - start > ShortWaitMs) return;
        Sleep(100);
    }
}

// ---- the prefix as installations see it ----

// Lists a folder's tree; `topOnly` lists only the first level's sub-folders.
static void ListTree(const std::string& folder, std::vector<std::string>* entries, bool topOnly) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = folder + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            entries->push_back(path + "\\");
            if (!topOnly) ListTree(path + "\\", entries, false);
        } else {
            entries->push_back(path);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// What an installation and its removal may touch: drive C: (without the
// system, user and program folders, the temporary folder and the tests' own
// scratch folder), the Start Menu, and the system's list of installed programs.
std::vector<std::string> SnapshotOfPrefix() {
    std::vector<std::string> entries, all;
    ListTree("C:\\", &all, true);
    const char* skipped[] = {"C:\\windows\\", "C:\\users\\", "C:\\ProgramData\\",
                             "C:\\Program Files", "C:\\VexloE2E\\"};
    for (const std::string& entry : all) {
        bool skip = false;
        for (const char* prefix : skipped)
            skip = skip || _strnicmp(entry.c_str(), prefix, strlen(prefix)) == 0;
        if (!skip) entries.push_back(entry);
    }
    char startMenu[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, startMenu, CSIDL_STARTMENU, FALSE);
    ListTree(std::string(startMenu) + "\\", &entries, false);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                      0, KEY_READ, &key) == ERROR_SUCCESS) {
        char name[256];
        for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i)
            entries.push_back(std::string("registry: ") + name);
        RegCloseKey(key);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}
