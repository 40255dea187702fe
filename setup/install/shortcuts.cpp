#include "setup/install/shortcuts.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <io.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "setup/install/install_journal.h"
#include "setup/install/install_outcome.h"
#include "setup/install/install_paths.h"
#include "setup/install/progress_report.h"
#include "setup/media/path_fs.h"
#include "setup/media/path_text.h"
#include "setup/media/source_walk.h"
#include "setup/shell/setup_state.h"

namespace {

constexpr uint32_t NameStride = 512;

bool MakeLinkPath(char* linkPath, size_t size, const char* title) {
    return JoinPath(linkPath, size, setupState.groupFolder, title) &&
           ConcatPath(linkPath, size, linkPath, ".lnk");
}

// Every shortcut gets its line before it is saved, so a cut-short
// installation's shortcuts are all named in the list. False when the line
// could not be written (the shortcut is then not made).
bool AppendListLine(const char* linkPath) {
    char listPath[StatePathSize];
    if (!JoinPath(listPath, sizeof listPath, setupState.destFolder, UninstallListName)) {
        RecordFailure(UninstallListName, FailureCause::PathTooLong);
        return false;
    }
    errno = 0;
    std::FILE* list = fopen(listPath, "at");
    bool written = list && fprintf(list, "%s\n", linkPath) > 0 && fflush(list) == 0 &&
                   _commit(_fileno(list)) == 0;
    int error = errno;
    if (list && fclose(list) != 0) written = false;
    if (!written) RecordFailure(UninstallListName, CauseOfErrno(error));
    return written;
}

// A title with a folder part (docs/a) names a sub-folder the group does not
// have: such a shortcut is left out by design.
bool LandsInMissingFolder(const char* linkPath) {
    char folder[StatePathSize];
    if (!ConcatPath(folder, sizeof folder, linkPath)) return false;
    *FileNamePart(folder) = '\0';
    size_t length = strlen(folder);
    if (length > 0 && IsPathSeparator(folder[length - 1])) folder[length - 1] = '\0';
    return lstrcmpiA(folder, setupState.groupFolder) != 0 && !FolderExists(folder);
}

void SaveShortcut(const char* target, const char* arguments, const char* linkPath) {
    if (DestinationRefuses()) {
        RecordFailure(linkPath, installOutcome.cause);
        return;
    }
    // An earlier shortcut of that name is set aside for the undo to put back.
    if (!KeepAside(linkPath) || !AppendListLine(linkPath)) return;
    HRESULT result = CreateShellLink(target, arguments, linkPath, "");
    if (FAILED(result) && !LandsInMissingFolder(linkPath))
        RecordFailure(linkPath, CauseOfResult(result));
}

void OpenGroupFolder() {
    if (CreateDirectoryA(setupState.groupFolder, nullptr)) {
        // Only a group this installation made goes again with its undo.
        RecordCreatedFolder(setupState.groupFolder);
    } else {
        DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS)
            RecordFailure(setupState.groupFolder, CauseOfError(error));
    }
    SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHA, setupState.groupFolder, nullptr);
    // Showing the folder must not take the focus from the wizard.
    HWND foreground = GetForegroundWindow();
    ShellExecuteA(nullptr, "open", setupState.groupFolder, nullptr, nullptr, SW_SHOWNORMAL);
    if (GetForegroundWindow() != foreground) SetForegroundWindow(foreground);
}

void CreateFileShortcut(ShortcutNamer& namer, const char* entryName) {
    const char* relativeName = RelativeSourceName(entryName);
    char title[StatePathSize];
    bool tooLong = false;
    if (!namer.Next(relativeName, title, sizeof title, &tooLong)) {
        if (tooLong) RecordFailure(relativeName, FailureCause::PathTooLong);
        return;
    }
    char target[StatePathSize];
    char linkPath[StatePathSize];
    if (!JoinPath(target, sizeof target, setupState.destFolder, relativeName) ||
        !MakeLinkPath(linkPath, sizeof linkPath, title)) {
        RecordFailure(relativeName, FailureCause::PathTooLong);
        return;
    }
    SaveShortcut(target, nullptr, linkPath);
}

void CreateFileShortcuts() {
    OpenSource(".", false);
    uint32_t count = CountSourceTree("*.*");
    char* names = count ? static_cast<char*>(calloc(count, NameStride)) : nullptr;
    if (names) {
        SourceListing listing;
        listing.names = names;
        listing.stride = NameStride;
        listing.maxCount = count;
        uint32_t listed = ListSourceFiles("*.*", listing);
        ShortcutNamer namer(listed);
        for (uint32_t i = 0; i < listed; ++i) {
            CreateFileShortcut(namer, names + static_cast<size_t>(i) * NameStride);
            PumpPendingMessages();
        }
        free(names);
    }
    CloseSource();
}

void CreateRemoveShortcut() {
    char target[StatePathSize];
    char linkPath[StatePathSize];
    if (!JoinPath(target, sizeof target, setupState.destFolder, GameExeName) ||
        !MakeLinkPath(linkPath, sizeof linkPath, RemoveShortcutTitle)) {
        RecordFailure(RemoveShortcutTitle, FailureCause::PathTooLong);
        return;
    }
    SaveShortcut(target, RemoveSwitch, linkPath);
}

}  // namespace

ShortcutNamer::ShortcutNamer(uint32_t capacity)
    : titles_(static_cast<char*>(calloc(static_cast<size_t>(capacity) + 2, StatePathSize))),
      capacity_(titles_ ? capacity + 2 : 0) {
    // The game's and the removal's titles are theirs whatever the listing's
    // order: a file named "Remove Vexlo Demo.txt" must not take the removal's.
    if (capacity_ == 0) return;
    snprintf(titles_, StatePathSize, "%s", GameShortcutTitle);
    snprintf(titles_ + StatePathSize, StatePathSize, "%s", RemoveShortcutTitle);
    count_ = 2;
}

ShortcutNamer::~ShortcutNamer() {
    free(titles_);
}

bool ShortcutNamer::Taken(const char* title) const {
    for (uint32_t i = 0; i < count_; ++i)
        if (strcasecmp(titles_ + static_cast<size_t>(i) * StatePathSize, title) == 0) return true;
    return false;
}

bool ShortcutNamer::Next(const char* relativeName, char* title, size_t size, bool* tooLong) {
    if (tooLong) *tooLong = false;
    if (IsAudioFile(relativeName) || IsConfigFile(relativeName) || IsSetupFile(relativeName))
        return false;
    bool fits;
    if (strcasecmp(relativeName, GameExeName) == 0 && !gameNamed_) {
        gameNamed_ = true;
        fits = ConcatPath(title, size, GameShortcutTitle);
    } else if (count_ >= capacity_) {
        // Without room to remember titles, no other title is known to be free.
        return false;
    } else {
        fits = ConcatPath(title, size, relativeName) && ReplaceExtension(title, size, "");
        if (fits && Taken(title)) fits = ConcatPath(title, size, relativeName);
        if (fits && Taken(title)) return false;
        if (fits && strlen(title) >= StatePathSize) fits = false;
        if (fits) {
            snprintf(titles_ + static_cast<size_t>(count_) * StatePathSize, StatePathSize, "%s",
                     title);
            ++count_;
        }
    }
    if (!fits && tooLong) *tooLong = true;
    return fits;
}

HRESULT CreateShellLink(const char* target, const char* arguments, const char* linkPath,
                        const char* description) {
    IShellLinkA* link = nullptr;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkA, reinterpret_cast<void**>(&link));
    if (FAILED(result)) return result;

    link->SetPath(target);
    link->SetArguments(arguments ? arguments : "");
    link->SetDescription(description);
    char workingFolder[StatePathSize];
    ConcatPath(workingFolder, sizeof workingFolder, target);
    *FileNamePart(workingFolder) = '\0';  // the whole text when it has no separator
    link->SetWorkingDirectory(workingFolder);

    IPersistFile* file = nullptr;
    result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(result)) {
        WCHAR widePath[MAX_PATH];
        if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, MAX_PATH) > 0)
            result = file->Save(widePath, TRUE);
        else
            result = E_INVALIDARG;  // no room for the path
        file->Release();
    }
    link->Release();
    return result;
}

void CreateShortcuts() {
    if (setupState.makeGroup == 0) return;
    CoInitialize(nullptr);
    SetStatusLine("Creating Start Menu Shortcuts...");
    SetTotalBar(CopyPhaseBarEnd);
    SetFileBar(0);
    OpenGroupFolder();
    CreateFileShortcuts();
    CreateRemoveShortcut();
    CoUninitialize();
}
