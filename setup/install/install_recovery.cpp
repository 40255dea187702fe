#include "setup/install/install_recovery.h"

#include <windows.h>
#include <cstdio>
#include <cstring>

#include "setup/install/install_paths.h"
#include "setup/media/archive_reader.h"
#include "setup/media/path_fs.h"
#include "setup/media/path_text.h"
#include "setup/shell/setup_state.h"

namespace {

// Gone already counts as removed.
bool RemoveFile(const char* path) {
    if (DeleteFileA(path)) return true;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The folder holding path, if it is empty now.
void RemoveFolderOf(const char* path) {
    char folder[StatePathSize];
    if (!ConcatPath(folder, sizeof folder, path)) return;
    char* name = FileNamePart(folder);
    if (name == folder) return;
    name[-1] = '\0';
    RemoveDirectoryA(folder);
}

bool CarriesUninstallList(const char* gamePath) {
    ArchiveReader reader;
    if (!reader.OpenArchive(gamePath, 1)) return false;
    return reader.OpenEntry(UninstallListName, false) != nullptr;
}

bool FolderOf(char* folder, size_t size, const char* path) {
    if (!ConcatPath(folder, size, path)) return false;
    *FileNamePart(folder) = '\0';
    return folder[0] != '\0';
}

}  // namespace

bool UnfinishedGamePath(char* path, size_t size, const char* folder) {
    return JoinPath(path, size, folder, GameExeName) &&
           ConcatPath(path, size, path, UnfinishedGameSuffix);
}

bool UndoUnfinishedInstall(const char* folder) {
    char listPath[StatePathSize];
    char gamePath[StatePathSize];
    char unfinished[StatePathSize];
    if (!JoinPath(listPath, sizeof listPath, folder, UninstallListName) ||
        !JoinPath(gamePath, sizeof gamePath, folder, GameExeName) ||
        !UnfinishedGamePath(unfinished, sizeof unfinished, folder))
        return false;

    bool complete = true;
    if (std::FILE* list = std::fopen(listPath, "rt")) {
        char line[StatePathSize + 2];
        while (std::fgets(line, sizeof line, list)) {
            line[std::strcspn(line, "\r\n")] = '\0';
            if (line[0] == '\0' || lstrcmpiA(line, gamePath) == 0) continue;
            if (!RemoveFile(line)) complete = false;
            RemoveFolderOf(line);
        }
        std::fclose(list);
    }
    if (!RemoveFile(unfinished)) complete = false;
    // The list goes last: while anything it names is left, it stays.
    if (complete && !RemoveFile(listPath)) complete = false;
    RemoveEmptyFolders(folder);
    return complete;
}

void RemoveEmptyFolders(const char* folder) {
    char bare[StatePathSize];
    if (!ConcatPath(bare, sizeof bare, folder)) return;
    for (;;) {
        size_t length = std::strlen(bare);
        while (length > 0 && IsPathSeparator(bare[length - 1]))
            bare[--length] = '\0';
        // A drive's root ("C:") is never removed; nor is a folder not empty.
        if (length <= 2 || !RemoveDirectoryA(bare)) return;
        char* name = FileNamePart(bare);
        if (name == bare) return;
        *name = '\0';
    }
}

bool RecoverUnfinishedInstall(const char* gameDest, bool* undoIncomplete) {
    *undoIncomplete = false;
    char folder[StatePathSize];
    char listPath[StatePathSize];
    char unfinished[StatePathSize];
    if (!FolderOf(folder, sizeof folder, gameDest) ||
        !JoinPath(listPath, sizeof listPath, folder, UninstallListName) ||
        !ConcatPath(unfinished, sizeof unfinished, gameDest, UnfinishedGameSuffix))
        return FileExists(gameDest);

    if (FileExists(gameDest)) {
        // A second installation over this one was cut short: the game in
        // place is the earlier one, whole.
        if (FileExists(unfinished)) DeleteFileA(unfinished);
        if (FileExists(listPath) && CarriesUninstallList(gameDest)) DeleteFileA(listPath);
        return true;
    }
    // Cut short between the last member and the move into place: finish it.
    if (FileExists(unfinished) && CarriesUninstallList(unfinished) &&
        MoveFileA(unfinished, gameDest)) {
        DeleteFileA(listPath);
        return true;
    }
    if (FileExists(unfinished) || FileExists(listPath))
        *undoIncomplete = !UndoUnfinishedInstall(folder);
    return false;
}

bool RestoreUninstallKey(const char* gameDest, const char* uninstallString) {
    HKEY key;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, UninstallKeyPath, &key) != ERROR_SUCCESS) return false;
    auto set = [key](const char* name, const char* text) {
        return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                              static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
    };
    bool ok = set("UninstallString", uninstallString) && set("DisplayName", ProductDisplayName) &&
              set("GameDest", gameDest);
    RegCloseKey(key);
    return ok;
}
