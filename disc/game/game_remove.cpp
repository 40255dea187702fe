#include "game_remove.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "game_archive.h"

namespace {

constexpr char GameTitle[] = "Vexlo Demo";
constexpr char ListNotWrittenText[] = "The uninstall list (Remove.txt) could not be written.";
constexpr char UninstallerNotStartedText[] = "The Vexlo Demo uninstaller could not be started.";
constexpr char TempFolderPrefix[] = "vxu";

bool HasMember(ArchiveReader& archive, const char* name) {
    EntryHandle* entry = archive.OpenEntry(name, false);
    if (!entry) return false;
    archive.CloseEntry(entry);
    return true;
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

bool JoinPath(char* path, uint32_t size, const char* folder, const char* name) {
    return snprintf(path, size, "%s\\%s", folder, name) < int(size);
}

// The list goes beside the uninstaller's copy, never into the game's folder:
// answering No then leaves that folder as it was, and nothing is written
// through a link planted there. Without the member (the install could not
// move the list into the game) the plain list beside the game is the one the
// uninstaller reads.
bool StartUninstaller(ArchiveReader& archive, bool* listWritten) {
    *listWritten = true;
    if (!HasMember(archive, UninstallerMember)) return false;
    char folder[GamePathSize];
    if (!MakeUniqueTempFolder(folder, sizeof folder)) return false;
    char program[GamePathSize], list[GamePathSize];
    bool ready = JoinPath(program, sizeof program, folder, UninstallerMember) &&
                 JoinPath(list, sizeof list, folder, UninstallListMember) &&
                 ExtractMember(archive, UninstallerMember, program);
    if (ready && HasMember(archive, UninstallListMember)) {
        *listWritten = ExtractMember(archive, UninstallListMember, list);
        ready = *listWritten;
    }
    if (ready && StartDetached(program, folder)) return true;
    DeleteFileA(list);
    DeleteFileA(program);
    RemoveDirectoryA(folder);
    return false;
}

}  // namespace

int RunRemove() {
    ArchiveReader archive;
    bool listWritten = true;
    if (!OpenOwnArchive(archive) || !StartUninstaller(archive, &listWritten)) {
        MessageBoxA(nullptr, listWritten ? UninstallerNotStartedText : ListNotWrittenText,
                    GameTitle, MB_OK | MB_ICONSTOP);
        return 1;
    }
    // Ending now releases the game's file before the uninstaller deletes it.
    return 0;
}
