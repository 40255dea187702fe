// The uninstaller: finds the installed game through its Uninstall registry
// entry, asks, deletes every file of the uninstall list beside the game, the
// list, the high-score file and every folder left empty, then removes the
// entry. Built twice; product_setting.h holds what differs between the builds.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "product_setting.h"

namespace {

// Registry values, the list's path and each of its lines live in buffers of
// this size; longer paths are not supported.
constexpr size_t PathBufferSize = 260;

constexpr char UninstallKeyRoot[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char UninstallListName[] = "Remove.txt";
constexpr char HighScoreFileName[] = "HighScores.data";

constexpr char ConfirmTitle[] = "Remove Vexlo";
constexpr char NotInstalledTitle[] = "Not installed!";
constexpr char CompleteTitle[] = "Uninstall Complete";
constexpr char ErrorTitle[] = "UNINSTALL ERROR";
constexpr char ListMissingText[] =
    "Couldn't find the Uninstall List (\"Remove.txt\").  Could not remove Vexlo from your "
    "system.";

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
    snprintf(buffer, size, "%s%s", UninstallKeyRoot, ProductKeyName);
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
bool ReadInstallInfo(char* gameDest, char* uninstallString) {
    char keyPath[PathBufferSize];
    MakeInstallKeyPath(keyPath, sizeof keyPath);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    bool found =
        QueryText(key, "UninstallString", uninstallString) && QueryText(key, "GameDest", gameDest);
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

// Tries to remove every folder the path names, from the innermost outwards
// (C:\Games\Vexlo Demo\ tries C:\Games\Vexlo Demo, C:\Games, C:); folders
// that are not empty stay.
void RemoveEmptyFolders(const char* path) {
    char folder[PathBufferSize];
    if (!CopyText(folder, sizeof folder, path)) return;
    for (size_t n = strlen(folder) + 1; n-- > 0;) {
        if (folder[n] == '\\' || folder[n] == '/') {
            folder[n] = '\0';
            RemoveDirectoryA(folder);
        }
    }
}

// Deletes one listed file; missing files and folders are passed over.
void DeleteListedFile(const char* path) {
    for (int attempt = 1;; ++attempt) {
        if (DeleteFileA(path)) return;
        DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) return;
        DWORD attributes = GetFileAttributesA(path);
        if (attributes == INVALID_FILE_ATTRIBUTES ||
            (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
            return;
        }
        if (attempt == DeleteAttempts) return;
        Sleep(DeleteRetryMs);
    }
}

// Reads the next line of the list into line (size bytes), without its line
// end. A line too long for the buffer is read to its end and dropped rather
// than cut into pieces that would name other paths. False at the list's end.
bool ReadListLine(FILE* list, char* line, size_t size) {
    for (;;) {
        if (!fgets(line, int(size), list)) return false;
        char* lineEnd = strchr(line, '\n');
        if (lineEnd) {
            *lineEnd = '\0';
            return true;
        }
        int next = fgetc(list);
        if (next == '\n' || next == EOF) return true;  // the line just fit
        while (next != '\n' && next != EOF)
            next = fgetc(list);
    }
}

// Deletes what the uninstall list beside the game names, then the list, the
// high-score file and the game's folder if left empty. False, after telling
// the user, when the list cannot be opened; nothing is deleted then.
bool RemoveListedFiles(const char* gameDest) {
    char listPath[PathBufferSize];
    FILE* list = nullptr;
    if (CopyText(listPath, sizeof listPath, gameDest) &&
        ReplaceFileName(listPath, sizeof listPath, UninstallListName)) {
        list = fopen(listPath, "rt");
    }
    if (!list) {
        MessageBoxA(nullptr, ListMissingText, ErrorTitle, MB_OK);
        return false;
    }

    char line[PathBufferSize];
    while (ReadListLine(list, line, sizeof line)) {
        DeleteListedFile(line);
        ReplaceFileName(line, sizeof line, "");
        RemoveEmptyFolders(line);
    }
    fclose(list);
    DeleteFileA(listPath);

    // The game's folder still held the list and the high scores until now.
    if (ReplaceFileName(listPath, sizeof listPath, HighScoreFileName)) DeleteFileA(listPath);
    ReplaceFileName(listPath, sizeof listPath, "");
    RemoveEmptyFolders(listPath);
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char gameDest[PathBufferSize];
    char uninstallString[PathBufferSize];
    if (!ReadInstallInfo(gameDest, uninstallString)) {
        MessageBoxA(nullptr, NotInstalledText, NotInstalledTitle, MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    // Only a Yes goes on: a box that could not be shown (0) is no consent.
    if (MessageBoxA(nullptr, ConfirmText, ConfirmTitle, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return 0;
    }
    // Without its list nothing was removed: the entry stays, so the user can
    // try again, and no success is claimed.
    if (!RemoveListedFiles(gameDest)) return 0;
    DeleteInstallKey();
    MessageBoxA(nullptr, RemovedText, CompleteTitle, MB_OK | MB_ICONINFORMATION);
    return 0;
}
