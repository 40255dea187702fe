// The uninstaller: finds the installed game through its Uninstall registry
// entry, asks, deletes every file of the uninstall list beside the game, the
// list, the high-score file and every folder left empty, then removes the
// entry. It acts only on lines inside the game's folder or a Start Menu group
// (removal_rules.h) and follows no link. Built twice; product_setting.h holds
// what differs between the builds.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "common/running_names.h"
#include "product_setting.h"
#include "setup/media/path_fs.h"
#include "common/contract.h"
#include "common/removal_roots_win32.h"

namespace {

// Registry values, the list's path and each of its lines live in buffers of
// this size; longer paths are not supported.
constexpr size_t PathBufferSize = 260;

constexpr char UninstallKeyRoot[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char UninstallListName[] = "Remove.txt";
constexpr char HighScoreFileName[] = "HighScores.data";

constexpr char NotInstalledTitle[] = "Not installed!";
constexpr char CompleteTitle[] = "Uninstall Complete";
constexpr char ErrorTitle[] = "UNINSTALL ERROR";

// Files that could not be deleted: PartialOneText or PartialManyText (the
// product's) with the first few names.
constexpr char MoreFilesText[] = "and %u more\r\n";
constexpr unsigned NamedFailures = 8;

// The game's /REMOVE puts the uninstaller (and the list) into a folder of
// its own in the temporary folder, named like this.
constexpr char TempCopyPrefix[] = "vxu";
constexpr char TempCopySuffix[] = ".tmp";
// Lists are small; a larger file is no list of ours.
constexpr long ListSizeLimit = 1 << 20;

// The game that started us may take a moment to end and release its file.
constexpr int DeleteAttempts = 20;
constexpr DWORD DeleteRetryMs = 100;

// Copies text into a buffer of the given size; false (and nothing copied)
// when it does not fit.
bool CopyText(char* buffer, size_t size, const char* text) {
    size_t length = strlen(text);
    if (length >= size) return false;
    memcpy(buffer, text, length + 1);
    return true;
}

void MakeInstallKeyPath(char* buffer, size_t size) {
    snprintf(buffer, size, "%s%s", UninstallKeyRoot, BuildSetting.keyName);
}

// Reads one value of the key as text, always terminated.
bool QueryText(HKEY key, const char* valueName, char* buffer) {
    DWORD size = PathBufferSize;
    if (RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                         &size) != ERROR_SUCCESS) {
        return false;
    }
    buffer[size < PathBufferSize ? size : PathBufferSize - 1] = '\0';
    return true;
}

// gameDest and uninstallString are buffers of PathBufferSize bytes. The
// UninstallString value must be there, but only GameDest is used.
// createdFolder (PathBufferSize bytes) gets the outermost folder the
// installation created, or "" when the entry records none.
bool ReadInstallInfo(char* gameDest, char* uninstallString, char* createdFolder) {
    char keyPath[PathBufferSize];
    MakeInstallKeyPath(keyPath, sizeof keyPath);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    bool found =
        QueryText(key, "UninstallString", uninstallString) && QueryText(key, "GameDest", gameDest);
    if (!QueryText(key, VEXLO_CREATED_FOLDER_VALUE, createdFolder)) createdFolder[0] = '\0';
    RegCloseKey(key);
    return found;
}

void DeleteInstallKey() {
    char keyPath[PathBufferSize];
    MakeInstallKeyPath(keyPath, sizeof keyPath);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath);
}

// Replaces everything after the path's last backslash (the whole text when it
// has none) with name. Only the backslash counts, not the slash. False, and
// the path unchanged, when the result would not fit.
bool ReplaceFileName(char* path, size_t size, const char* name) {
    char* lastBackslash = strrchr(path, '\\');
    char* tail = lastBackslash ? lastBackslash + 1 : path;
    size_t nameLength = strlen(name);
    if (size_t(tail - path) + nameLength >= size) return false;
    memcpy(tail, name, nameLength + 1);
    return true;
}

enum class Deletion { Deleted, Missing, Failed };

// Deletes one file, retrying a while when it is in use (the game that
// started us may still be ending). A folder counts as missing: folders are
// never listed.
Deletion DeleteOneFile(const char* path) {
    for (int attempt = 1;; ++attempt) {
        if (DeleteFileA(path)) return Deletion::Deleted;
        DWORD error = GetLastError();
        DWORD attributes = GetFileAttributesA(path);
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            DWORD why = GetLastError();
            return why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND ? Deletion::Missing
                                                                              : Deletion::Failed;
        }
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Deletion::Missing;
        bool mayPass = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
        if (!mayPass || (attributes & FILE_ATTRIBUTE_READONLY) || attempt == DeleteAttempts) {
            return Deletion::Failed;
        }
        Sleep(DeleteRetryMs);
    }
}

// What one removal did; the names of the first files it could not delete.
struct RemovalReport {
    unsigned failed = 0;
    unsigned refused = 0;
    char names[NamedFailures][PathBufferSize] = {};
};

void NoteFailure(RemovalReport* report, const char* path) {
    if (report->failed < NamedFailures)
        CopyText(report->names[report->failed], PathBufferSize, path);
    ++report->failed;
}

// Removes the folders the line leaves empty, below its root only.
void RemoveEmptyFolders(const removal::ResolvedLine& line) {
    removal::ForEachEmptyFolderCandidate(line, [&line](const char* folder) {
        if (!LeadsOutsideRoot(folder, line.rootLength)) RemoveDirectoryA(folder);
    });
}

// The list read whole into memory (malloc, the caller frees it); null when
// it cannot be read.
char* ReadList(const char* path, size_t* size) {
    FILE* file = fopen(path, "rb");
    if (!file) return nullptr;
    char* bytes = nullptr;
    long length = -1;
    if (fseek(file, 0, SEEK_END) == 0) length = ftell(file);
    if (length >= 0 && length <= ListSizeLimit && fseek(file, 0, SEEK_SET) == 0) {
        bytes = static_cast<char*>(malloc(size_t(length) + 1));
        if (bytes && fread(bytes, 1, size_t(length), file) != size_t(length)) {
            free(bytes);
            bytes = nullptr;
        }
    }
    fclose(file);
    if (bytes) *size = size_t(length);
    return bytes;
}

// The folder this program runs from, ending in a backslash.
bool OwnFolder(char* folder, size_t size) {
    DWORD length = GetModuleFileNameA(nullptr, folder, DWORD(size));
    if (length == 0 || length >= size) return false;
    return ReplaceFileName(folder, size, "");
}

// True when this program is the copy that the game's /REMOVE made: it runs
// from a folder vxu*.tmp directly in the temporary folder.
bool RunsAsTempCopy(const char* ownFolder) {
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp) return false;
    if (temp[length - 1] != '\\') return false;
    size_t ownLength = strlen(ownFolder);
    if (ownLength <= length || CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, ownFolder,
                                              int(length), temp, int(length)) != CSTR_EQUAL) {
        return false;
    }
    const char* name = ownFolder + length;
    size_t nameLength = ownLength - length - 1;  // without its backslash
    size_t prefixLength = strlen(TempCopyPrefix), suffixLength = strlen(TempCopySuffix);
    return nameLength > prefixLength + suffixLength && !memchr(name, '\\', nameLength) &&
           _strnicmp(name, TempCopyPrefix, prefixLength) == 0 &&
           _strnicmp(name + nameLength - suffixLength, TempCopySuffix, suffixLength) == 0;
}

// The list to read: the one the game's /REMOVE put beside this copy, else the
// plain list beside the game (an install that could not move it into the game,
// or an uninstaller started by hand).
void ChooseListPath(const char* gameDest, char* listPath, bool* besideUs) {
    char ownFolder[PathBufferSize];
    *besideUs = false;
    if (OwnFolder(ownFolder, sizeof ownFolder) && RunsAsTempCopy(ownFolder) &&
        ReplaceFileName(ownFolder, sizeof ownFolder, UninstallListName) &&
        GetFileAttributesA(ownFolder) != INVALID_FILE_ATTRIBUTES) {
        CopyText(listPath, PathBufferSize, ownFolder);
        *besideUs = true;
        return;
    }
    if (!CopyText(listPath, PathBufferSize, gameDest) ||
        !ReplaceFileName(listPath, PathBufferSize, UninstallListName)) {
        listPath[0] = '\0';
    }
}

// Deletes a file of the game's folder that the removal itself owns (the list,
// the high scores), unless a link leads it elsewhere.
void DeleteInGameFolder(const removal::RemovalRoots& roots, const char* name) {
    char path[PathBufferSize];
    if (!CopyText(path, sizeof path, roots.GameFolder()) ||
        !ReplaceFileName(path, sizeof path, name)) {
        return;
    }
    if (!LeadsOutsideRoot(path, strlen(roots.GameFolder()))) DeleteFileA(path);
}

// The system's own folders, which the removal never takes away.
bool IsSystemFolder(const char* folder) {
    char system[3][MAX_PATH] = {};
    GetWindowsDirectoryA(system[0], MAX_PATH);
    GetSystemDirectoryA(system[1], MAX_PATH);
    GetTempPathA(MAX_PATH, system[2]);
    for (const char* path : system) {
        if (path[0] &&
            (removal::IsSameOrInside(path, folder) || removal::IsSameOrInside(folder, path)))
            return true;
    }
    return false;
}

// The game's folder when the removal left it empty, then the folders above it
// (C:\Games) that are empty too, but only those the installation created
// (createdFolder, the outermost, from the entry): a folder that was there
// before stays, and so does a drive's root or a system folder.
void RemoveGameFolder(const removal::RemovalRoots& roots, const char* createdFolder) {
    char folder[PathBufferSize];
    // "E:" would name the drive's current folder, not its root.
    if (roots.GameAtDriveRoot()) return;
    if (!CopyText(folder, sizeof folder, roots.GameFolder())) return;
    size_t length = strlen(folder);
    folder[--length] = '\0';
    if (LeadsOutsideRoot(folder, length) || !RemoveDirectoryA(folder)) return;
    // The record is taken only where the rule for created folders takes it:
    // the game's folder or one above it, never a root.
    char created[PathBufferSize];
    if (removal::ResolveFolder(createdFolder, strlen(createdFolder), roots, created) !=
        removal::Verdict::Inside)
        return;
    for (;;) {
        char* lastBackslash = strrchr(folder, '\\');
        if (!lastBackslash || lastBackslash - folder < 3) return;  // "C:\" itself
        *lastBackslash = '\0';
        if (!removal::IsSameOrInside(folder, created) || IsSystemFolder(folder) ||
            LeadsOutsideRoot(folder, strlen(folder)) || !RemoveDirectoryA(folder))
            return;
    }
}

enum class Outcome { Removed, Partial, ListMissing, NotInstalled, Gone };

// Deletes what the uninstall list names inside the installation, then the
// list, the high-score file and the game's folder if left empty. The game's
// file goes last: while anything else could not be deleted, it stays with the
// list it carries, so the removal can run again.
Outcome RemoveListedFiles(const char* gameDest, const char* createdFolder, RemovalReport* report) {
    removal::RemovalRoots roots;
    if (!roots.SetGameFolder(gameDest)) return Outcome::NotInstalled;
    removal::AddProgramsFolders(&roots);
    char gamePath[PathBufferSize];
    removal::CheckAbsolutePath(gameDest, strlen(gameDest), gamePath);

    char listPath[PathBufferSize];
    bool listBesideUs = false;
    ChooseListPath(gameDest, listPath, &listBesideUs);
    size_t listSize = 0;
    char* list = listPath[0] ? ReadList(listPath, &listSize) : nullptr;
    if (!list) {
        // Neither the list nor the game: an installation already removed.
        if (GetFileAttributesA(gameDest) == INVALID_FILE_ATTRIBUTES) return Outcome::Gone;
        MessageBoxA(nullptr, ListMissingText, ErrorTitle, MB_OK);
        return Outcome::ListMissing;
    }

    bool gameListed = false;
    removal::ListLines lines(list, listSize);
    const char* text;
    size_t length;
    removal::ResolvedLine line;
    while (lines.Next(&text, &length)) {
        if (removal::ResolveLine(text, length, roots, &line) != removal::Verdict::Inside ||
            LeadsOutsideRoot(line.path, line.rootLength)) {
            ++report->refused;
            continue;
        }
        if (_stricmp(line.path, gamePath) == 0) {
            gameListed = true;
            continue;
        }
        if (DeleteOneFile(line.path) == Deletion::Failed) NoteFailure(report, line.path);
        RemoveEmptyFolders(line);
    }
    free(list);
    if (report->failed == 0 && gameListed &&
        !LeadsOutsideRoot(gamePath, strlen(roots.GameFolder())) &&
        DeleteOneFile(gamePath) == Deletion::Failed) {
        NoteFailure(report, gamePath);
    }
    if (report->failed > 0) return Outcome::Partial;

    if (listBesideUs) DeleteFileA(listPath);
    DeleteInGameFolder(roots, UninstallListName);
    DeleteInGameFolder(roots, HighScoreFileName);
    RemoveGameFolder(roots, createdFolder);
    return Outcome::Removed;
}

void ShowPartialRemoval(const RemovalReport& report) {
    char names[NamedFailures * (PathBufferSize + 2) + 1] = "";
    unsigned named = report.failed < NamedFailures ? report.failed : NamedFailures;
    for (unsigned i = 0; i < named; ++i) {
        strcat(names, report.names[i]);
        strcat(names, "\r\n");
    }
    char more[64] = "";
    if (report.failed > named) snprintf(more, sizeof more, MoreFilesText, report.failed - named);
    char text[sizeof names + 256];
    if (report.failed == 1) {
        snprintf(text, sizeof text, PartialOneText, report.names[0]);
    } else {
        snprintf(text, sizeof text, PartialManyText, report.failed, names, more);
    }
    MessageBoxA(nullptr, text, ErrorTitle, MB_OK | MB_ICONSTOP);
}

bool IsWindows95Family() {
    return (GetVersion() & 0x80000000u) != 0;
}

// Asks the system to delete the program and then its folder at the next
// start: MoveFileEx on the NT family, the [rename] section of WININIT.INI on
// the Windows 95 family (which deletes files only; the empty folder stays).
void DeleteAfterRestart(const char* program, const char* folder) {
    if (!IsWindows95Family()) {
        MoveFileExA(program, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        MoveFileExA(folder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        return;
    }
    char shortName[MAX_PATH], wininit[MAX_PATH];
    UINT length = GetWindowsDirectoryA(wininit, sizeof wininit);
    if (!GetShortPathNameA(program, shortName, sizeof shortName) || length == 0 ||
        length + 14 >= sizeof wininit) {
        return;
    }
    strcat(wininit, wininit[length - 1] == '\\' ? "WININIT.INI" : "\\WININIT.INI");
    // Written by hand: the section holds one "NUL" key per file to delete,
    // which the profile functions would overwrite.
    FILE* file = fopen(wininit, "at");
    if (!file) return;
    fprintf(file, "[rename]\nNUL=%s\n", shortName);
    fclose(file);
}

// Starts the command interpreter hidden, reading from a pipe whose other end
// only this process holds: its "pause" returns when this process has ended,
// then it deletes the program (retrying while the system releases the file)
// and the folder. The NT family only; its interpreter knows "&" and "for /l".
void StartCleaner(const char* program, const char* folder) {
    char interpreter[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("COMSPEC", interpreter, sizeof interpreter);
    if (IsWindows95Family() || length == 0 || length >= sizeof interpreter) return;
    char command[3 * MAX_PATH + 200];
    if (snprintf(command, sizeof command,
                 "\"%s\" /c pause >nul & (for /l %%i in (1,1,500) do @if exist \"%s\" del \"%s\" "
                 "2>nul) & rd \"%s\"",
                 interpreter, program, program, folder) >= int(sizeof command)) {
        return;
    }
    // Only the read end is handed down (an inheritable duplicate).
    HANDLE ownReadEnd, writeEnd, readEnd;
    if (!CreatePipe(&ownReadEnd, &writeEnd, nullptr, 0)) return;
    HANDLE self = GetCurrentProcess();
    BOOL duplicated = DuplicateHandle(self, ownReadEnd, self, &readEnd, 0, TRUE,
                                      DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE);
    if (!duplicated) {
        CloseHandle(writeEnd);
        return;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = readEnd;
    PROCESS_INFORMATION process = {};
    // The temporary folder, not ours: a folder in use cannot be removed.
    char parent[MAX_PATH];
    GetTempPathA(sizeof parent, parent);
    if (CreateProcessA(nullptr, command, nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP, nullptr,
                       parent, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(readEnd);
    // writeEnd stays open until this process ends: that is the signal.
}

// The copy the game made cannot delete its own running file: once it has
// ended, the command interpreter deletes it, the list beside it and its
// folder. On the Windows 95 family, and in case that fails, the system
// deletes them at the next start.
void CleanUpTempCopy() {
    char folder[PathBufferSize], program[PathBufferSize], list[PathBufferSize];
    if (!OwnFolder(folder, sizeof folder) || !RunsAsTempCopy(folder)) return;
    GetModuleFileNameA(nullptr, program, sizeof program);
    CopyText(list, sizeof list, folder);
    ReplaceFileName(list, sizeof list, UninstallListName);
    folder[strlen(folder) - 1] = '\0';
    DeleteFileA(list);
    DeleteAfterRestart(program, folder);
    StartCleaner(program, folder);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Held from the start, so that Setup sees a removal that is only asking
    // yet; another removal waits for it further on. Taken before Setup's is
    // looked for, as Setup does the other way round: of two starting
    // together, at least one sees the other.
    HANDLE running = CreateMutexA(nullptr, FALSE, VEXLO_REMOVAL_RUNNING_MUTEX);
    if (HANDLE setup = OpenMutexA(SYNCHRONIZE, FALSE, VEXLO_SETUP_RUNNING_MUTEX)) {
        // Setup may be writing the very files this would remove.
        CloseHandle(setup);
        MessageBoxA(nullptr, SetupBusyText, UninstallConfirmTitle, MB_OK | MB_ICONEXCLAMATION);
        if (running) CloseHandle(running);
        CleanUpTempCopy();
        return 0;
    }
    char gameDest[PathBufferSize];
    char uninstallString[PathBufferSize];
    char createdFolder[PathBufferSize];
    if (!ReadInstallInfo(gameDest, uninstallString, createdFolder)) {
        MessageBoxA(nullptr, BuildSetting.notInstalledText, NotInstalledTitle,
                    MB_OK | MB_ICONEXCLAMATION);
        CleanUpTempCopy();
        return 0;
    }
    // Only a Yes goes on: a box that could not be shown (0) is no consent.
    if (MessageBoxA(nullptr, BuildSetting.confirmText, UninstallConfirmTitle,
                    MB_YESNO | MB_ICONQUESTION) != IDYES) {
        CleanUpTempCopy();
        return 0;
    }
    // Another removal may have run meanwhile: wait for it, then look again.
    if (running) WaitForSingleObject(running, INFINITE);
    RemovalReport report;
    Outcome outcome = ReadInstallInfo(gameDest, uninstallString, createdFolder)
                          ? RemoveListedFiles(gameDest, createdFolder, &report)
                          : Outcome::NotInstalled;
    // Only a complete removal takes the entry away: otherwise it stays, with
    // the list, so the user can try again.
    if (outcome == Outcome::Removed || outcome == Outcome::Gone) DeleteInstallKey();
    if (running) ReleaseMutex(running);
    switch (outcome) {
        case Outcome::Removed:
            MessageBoxA(nullptr, BuildSetting.removedText, CompleteTitle,
                        MB_OK | MB_ICONINFORMATION);
            break;
        case Outcome::Partial:
            ShowPartialRemoval(report);
            break;
        case Outcome::NotInstalled:
        case Outcome::Gone:
            MessageBoxA(nullptr, BuildSetting.notInstalledText, NotInstalledTitle,
                        MB_OK | MB_ICONEXCLAMATION);
            break;
        case Outcome::ListMissing:
            break;
    }
    CleanUpTempCopy();
    return 0;
}
