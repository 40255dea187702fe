#include "e2e_support.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const char LauncherTitle[] = "Vexlo";
const char WizardTitlePattern[] = "Vexlo Setup*";
const char WelcomeTitle[] = "Vexlo Setup";
const char DestinationTitle[] = "Vexlo Setup - Select Destination";
const char ReadyTitle[] = "Vexlo Setup - Ready To Install";
const char ProgressTitle[] = "Vexlo Setup - Progress";
const char CancelQuestionTitle[] = "Cancel Vexlo Setup?";
const char FolderQuestionTitle[] = "Vexlo Setup: Folder Does Not Exist";
const char FolderErrorTitle[] = "Vexlo Setup: Error creating folder";
const char DirectXOfferTitle[] = "Install Microsoft Direct X";
const char DirectXMessageTitle[] = "Microsoft Direct X Installation";
const char DirectXErrorTitle[] = "Vexlo Setup Error";
const char RestartTitle[] = "Must Rest Before Playing Vexlo";
const char GameTitle[] = "Vexlo Demo";

namespace {

const char AppDefaultsKey[] = "Software\\Wine\\AppDefaults\\Setup.exe";

std::string WithTrailingBackslash(std::string path) {
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
    return path;
}

uint32_t GetU32(const std::string& bytes, size_t offset) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data()) + offset;
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

uint16_t GetU16(const std::string& bytes, size_t offset) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data()) + offset;
    return uint16_t(p[0] | p[1] << 8);
}

// Archive layout: end record (22 bytes, last in the file), central directory
// entries (46 bytes + name), local headers (30 bytes + name + data).
constexpr uint32_t EndSignature = 0x06054B50;
constexpr uint32_t OwnEndSignature = 0x06055A51;
constexpr uint32_t CentralSignature = 0x02014B50;
constexpr size_t EndRecordSize = 22;
constexpr size_t EndEntryCount = 10;
constexpr size_t EndDirectoryOffset = 16;
constexpr size_t CentralSize = 46;
constexpr size_t CentralDataSize = 24;
constexpr size_t CentralNameLength = 28;
constexpr size_t CentralExtraLength = 30;
constexpr size_t CentralCommentLength = 32;
constexpr size_t CentralLocalOffset = 42;
constexpr size_t LocalHeaderSize = 30;

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

bool ReadArchiveMembers(const std::string& path, std::vector<ArchiveMember>* members,
                        uint32_t* directoryOffset) {
    std::string bytes;
    if (!ReadFileBytes(path, &bytes) || bytes.size() < EndRecordSize) return false;
    size_t end = bytes.size() - EndRecordSize;
    uint32_t signature = GetU32(bytes, end);
    if (signature != EndSignature && signature != OwnEndSignature) return false;
    uint32_t count = GetU16(bytes, end + EndEntryCount);
    size_t at = GetU32(bytes, end + EndDirectoryOffset);
    if (directoryOffset) *directoryOffset = uint32_t(at);
    members->clear();
    for (uint32_t i = 0; i < count; ++i) {
        if (at + CentralSize > end || GetU32(bytes, at) != CentralSignature) return false;
        uint32_t dataSize = GetU32(bytes, at + CentralDataSize);
        uint16_t nameLength = GetU16(bytes, at + CentralNameLength);
        size_t local = GetU32(bytes, at + CentralLocalOffset);
        ArchiveMember member;
        member.name = bytes.substr(at + CentralSize, nameLength);
        size_t data = local + LocalHeaderSize + nameLength;
        if (data + dataSize > bytes.size()) return false;
        member.data = bytes.substr(data, dataSize);
        members->push_back(member);
        at += CentralSize + nameLength + GetU16(bytes, at + CentralExtraLength) +
              GetU16(bytes, at + CentralCommentLength);
    }
    return true;
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
            if (WindowTitle(windows[i]) != GameTitle) continue;
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
