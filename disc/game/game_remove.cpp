#include "game_remove.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "game_archive.h"

namespace {

constexpr char GameTitle[] = "Vexlo Demo";
constexpr char ListNotWrittenText[] =
    "The uninstall list (Remove.txt) could not be written beside the game.";
constexpr char UninstallerNotStartedText[] = "The Vexlo Demo uninstaller could not be started.";
constexpr char TempFolderPrefix[] = "vxu";

bool HasMember(ArchiveReader& archive, const char* name) {
    EntryHandle* entry = archive.OpenEntry(name, false);
    if (!entry) return false;
    archive.CloseEntry(entry);
    return true;
}

// The game's folder, ending in its backslash.
bool GetGameFolder(char* buffer, uint32_t size) {
    if (!GetGamePath(buffer, size)) return false;
    char* lastBackslash = strrchr(buffer, '\\');
    if (!lastBackslash) return false;
    lastBackslash[1] = '\0';
    return true;
}

// The member replaces a plain list of an earlier run. Without the member
// (the install could not move the list into the game) a plain list that is
// already there is the one to use, so it is left alone.
bool WriteUninstallList(ArchiveReader& archive) {
    if (!HasMember(archive, UninstallListMember)) return true;
    char listPath[GamePathSize];
    if (!GetGameFolder(listPath, sizeof listPath)) return false;
    size_t folderLength = strlen(listPath);
    if (folderLength + strlen(UninstallListMember) >= sizeof listPath) return false;
    strcpy(listPath + folderLength, UninstallListMember);
    return ExtractMember(archive, UninstallListMember, listPath);
}

// A folder of its own in the temporary folder, so the uninstaller keeps its
// name and never meets an older copy. Ends without a separator.
bool MakeUniqueTempFolder(char* folder, uint32_t size) {
    char tempPath[GamePathSize];
    DWORD length = GetTempPathA(sizeof tempPath, tempPath);
    if (length == 0 || length >= sizeof tempPath || size < MAX_PATH) return false;
    if (!GetTempFileNameA(tempPath, TempFolderPrefix, 0, folder)) return false;
    DeleteFileA(folder);
    return CreateDirectoryA(folder, nullptr) != 0;
}

// Starts the program in its own folder (never in the game's, which the
// uninstaller is about to remove) and does not wait for it.
bool StartDetached(const char* program, const char* folder) {
    char commandLine[GamePathSize + 2];
    if (snprintf(commandLine, sizeof commandLine, "\"%s\"", program) >= int(sizeof commandLine)) {
        return false;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                        &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool StartUninstaller(ArchiveReader& archive) {
    if (!HasMember(archive, UninstallerMember)) return false;
    char folder[GamePathSize];
    if (!MakeUniqueTempFolder(folder, sizeof folder)) return false;
    char program[GamePathSize];
    if (snprintf(program, sizeof program, "%s\\%s", folder, UninstallerMember) >=
        int(sizeof program)) {
        RemoveDirectoryA(folder);
        return false;
    }
    if (ExtractMember(archive, UninstallerMember, program) && StartDetached(program, folder)) {
        return true;
    }
    DeleteFileA(program);
    RemoveDirectoryA(folder);
    return false;
}

}  // namespace

int RunRemove() {
    ArchiveReader archive;
    bool archiveOpen = OpenOwnArchive(archive);
    if (archiveOpen && !WriteUninstallList(archive)) {
        MessageBoxA(nullptr, ListNotWrittenText, GameTitle, MB_OK | MB_ICONSTOP);
        return 1;
    }
    if (!archiveOpen || !StartUninstaller(archive)) {
        MessageBoxA(nullptr, UninstallerNotStartedText, GameTitle, MB_OK | MB_ICONSTOP);
        return 1;
    }
    // Ending now releases the game's file before the uninstaller deletes it.
    return 0;
}
