#include "setup/install/install_sequence.h"

#include <windows.h>
#include <prsht.h>
#include <cerrno>
#include <cstdlib>

#include "setup/install/copy_phase.h"
#include "setup/install/install_journal.h"
#include "setup/install/install_outcome.h"
#include "setup/install/install_paths.h"
#include "setup/install/install_recovery.h"
#include "setup/install/progress_report.h"
#include "setup/install/registry.h"
#include "setup/install/shortcuts.h"
#include "setup/media/archive_format.h"
#include "setup/media/archive_reader.h"
#include "setup/media/file_stream.h"
#include "setup/media/path_fs.h"
#include "setup/media/source_state.h"
#include "setup/media/source_walk.h"
#include "setup/shell/setup_state.h"

// How an installation stays recoverable, whatever write a kill or a power
// loss interrupts:
// 1. Nothing is written before the tree has been listed (a name the rules
//    refuse ends Setup there) and the disc's game executable has been read
//    whole, with the archive at its end.
// 2. The Uninstall entry names destFolder\VexloDmo.exe, which is not there
//    yet: until step 6 the next start of Setup sees a vanished game, and
//    undoes what the plain list names.
// 3. The plain list Remove.txt names each file, and then each shortcut,
//    before it is written (the line is committed to the disk first), so all
//    that a cut leaves is named there.
// 4. The game executable is copied as VexloDmo.exe.new, first of all files;
//    the audio members and last the list go into it there.
// 5. When the list is in and VexloDmo.exe.new has been flushed to the disk,
//    it moves into place (an earlier VexloDmo.exe is set aside just before:
//    cut between the two, the next start finds the .new complete, with its
//    list, and moves it).
// 6. The journal says the game is in place, the earlier files set aside go,
//    then the journal, then the plain list; what a cut leaves of these the
//    next start tidies up.
// Beside the list, the journal Remove.jnl (install_journal.h) names first the
// folders the wizard made and an earlier game executable; then, before a
// file of this installation is written over an earlier one's name, that
// earlier file, which is then set aside under another name. So an undo
// deletes only what this installation wrote, puts the earlier files back and
// removes only the folders it created.
// A step that fails is recorded with its cause; the installation then undoes
// steps 2 to 5 as the next start would, puts back the entry of an earlier
// installation, and says what failed.

namespace {

// Set while RunInstallSequence runs: messages dispatched from inside it must
// not start it again.
bool installRunning = false;

// The Uninstall entry and game as they were before this installation.
struct EarlierInstall {
    bool entryRead = false;
    char gameDest[RegistryValueSize] = "";
    char uninstallString[RegistryValueSize] = "";
    bool gameInFolder = false;  // destFolder held VexloDmo.exe already
};

void NoteEarlierInstall(EarlierInstall* earlier) {
    earlier->entryRead = ReadUninstallKey(earlier->gameDest, earlier->uninstallString);
    char game[StatePathSize];
    earlier->gameInFolder =
        JoinPath(game, sizeof game, setupState.destFolder, GameExeName) && FileExists(game);
}

// Lists the tree as the copy will (a refused name ends Setup here, before
// anything is written).
void ListSourceTreeFirst() {
    OpenSource(".", false);
    uint32_t count = CountSourceTree("*.*");
    if (count > 0) {
        if (auto* entries = static_cast<SourceEntry*>(calloc(count, sizeof(SourceEntry)))) {
            SourceListing listing;
            listing.names = entries[0].name;
            listing.sizes = &entries[0].size;
            listing.stride = sizeof(SourceEntry);
            listing.maxCount = count;
            ListSourceFiles("*.*", listing);
            free(entries);
        }
    }
    CloseSource();
}

// The disc's game executable reads to its end and carries an archive that
// takes members (an end record in its last 22 bytes) and lists its own.
bool DiscGameReadable() {
    OpenSource(".", false);
    char path[StreamPathSize];
    bool fits = ConcatPath(path, sizeof path, sourceRoot, "/", GameExeName);
    CloseSource();
    if (!fits) return false;

    FileStream game;
    if (!game.Open(path, StreamRead | StreamAbsolute)) return false;
    uint64_t size = game.Size();
    if (size < ArchiveFormat::EndRecord::Size) return false;
    static uint8_t buffer[65536];
    uint64_t left = size;
    while (left > 0) {
        uint32_t chunk = left < sizeof buffer ? uint32_t(left) : uint32_t(sizeof buffer);
        if (game.Read(buffer, chunk) != chunk) return false;
        left -= chunk;
    }
    // The buffer ends with the file's last bytes.
    uint32_t lastChunk = uint32_t(size % sizeof buffer ? size % sizeof buffer : sizeof buffer);
    if (lastChunk < ArchiveFormat::EndRecord::Size) {
        if (game.SeekTo(size - ArchiveFormat::EndRecord::Size) != 0 ||
            game.Read(buffer, ArchiveFormat::EndRecord::Size) != ArchiveFormat::EndRecord::Size)
            return false;
        lastChunk = ArchiveFormat::EndRecord::Size;
    }
    const uint8_t* endRecord = buffer + lastChunk - ArchiveFormat::EndRecord::Size;
    if (!ArchiveFormat::IsEndSignature(ArchiveFormat::GetU32(endRecord))) return false;
    game.Close();
    // An archive without members yet takes them all the same.
    if (ArchiveFormat::GetU16(endRecord + ArchiveFormat::EndRecord::TotalEntries) == 0 &&
        ArchiveFormat::GetU32(endRecord + ArchiveFormat::EndRecord::DirectorySize) == 0)
        return true;
    ArchiveReader reader;
    return reader.OpenArchive(path, 1) != 0;
}

void WriteRegistryEntry() {
    SetStatusLine("Setting Registry Keys...");
    SetTotalBar(0);
    SetFileBar(0);
    if (!WriteUninstallKey(setupState.destFolder, GameExeName, GameExeName, RemoveSwitch,
                           ProductDisplayName)) {
        // A text that does not fit is refused before anything is written.
        char uninstallString[RegistryValueSize];
        bool fits =
            JoinPath(uninstallString, sizeof uninstallString, setupState.destFolder, GameExeName) &&
            strlen(uninstallString) + 3 + strlen(RemoveSwitch) < RegistryValueSize;
        RecordFailure("the Uninstall entry",
                      fits ? FailureCause::AccessDenied : FailureCause::PathTooLong);
    }
    PumpPendingMessages();
}

// The uninstall list becomes the member "Remove.txt" of the game executable
// being built; the plain file stays until that is in place.
void MoveUninstallListIntoGame() {
    char listPath[StatePathSize];
    char memberPath[StatePathSize];
    if (!JoinPath(listPath, sizeof listPath, setupState.destFolder, UninstallListName) ||
        !UnfinishedGamePath(memberPath, sizeof memberPath, setupState.destFolder) ||
        !ConcatPath(memberPath, sizeof memberPath, memberPath, ";", UninstallListName)) {
        RecordFailure(UninstallListName, FailureCause::PathTooLong);
        return;
    }
    errno = 0;
    if (!FileStream::CopyNamedFile(listPath, StreamAbsolute, memberPath, StreamAbsolute, nullptr))
        RecordFailure(UninstallListName, CauseAtDestination(errno, 64 * 1024));
}

// The game's bytes reach the disk before its registered name does: a power
// loss just after the move never leaves a half-written game under that name.
bool FlushToDisk(const char* path, DWORD* error) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    bool flushed = FlushFileBuffers(file) != 0;
    *error = flushed ? 0 : GetLastError();
    CloseHandle(file);
    return flushed;
}

// The game executable, complete, takes its registered name.
void PutGameInPlace() {
    char unfinished[StatePathSize];
    char game[StatePathSize];
    char listPath[StatePathSize];
    if (!UnfinishedGamePath(unfinished, sizeof unfinished, setupState.destFolder) ||
        !JoinPath(game, sizeof game, setupState.destFolder, GameExeName) ||
        !JoinPath(listPath, sizeof listPath, setupState.destFolder, UninstallListName)) {
        RecordFailure(GameExeName, FailureCause::PathTooLong);
        return;
    }
    DWORD flushError = 0;
    if (!FlushToDisk(unfinished, &flushError)) {
        RecordFailure(GameExeName, CauseOfError(flushError));
        return;
    }
    // MoveFileEx, which replaces, is not there on Windows 95; the earlier
    // game is set aside, for the undo to put back.
    if (!PutGameAside(game)) return;
    if (!MoveFileA(unfinished, game)) {
        RecordFailure(GameExeName, CauseOfError(GetLastError()));
        return;
    }
    FinishJournal();
    DeleteFileA(listPath);
}

void UndoInstall(const EarlierInstall& earlier) {
    SetStatusLine("Removing the files copied...");
    PumpPendingMessages();
    bool complete = UndoUnfinishedInstall(setupState.destFolder);
    // Those the journal could not name (it may not have been written).
    RemoveWizardFolders();
    if (earlier.entryRead)
        RestoreUninstallKey(earlier.gameDest, earlier.uninstallString);
    else if (complete)
        DeleteUninstallKey();
    // Otherwise the entry stays, naming a game that is not there: the next
    // start of Setup finishes the clean-up.
    installOutcome.undoIncomplete = !complete;
    // Undone whole, the earlier installation's files are back as they were.
    installOutcome.earlierInstallHit = earlier.gameInFolder && !complete;
}

// The removal may take away the folders above the game's folder that this
// installation created, and no others: the entry records the outermost. An
// installation that created none over the same game keeps the earlier one's
// record; over another, it has none.
void RecordCreatedFolder(const EarlierInstall& earlier) {
    char game[StatePathSize];
    bool sameGame = earlier.entryRead &&
                    JoinPath(game, sizeof game, setupState.destFolder, GameExeName) &&
                    lstrcmpiA(game, earlier.gameDest) == 0;
    if (!setupState.destCreatedFrom[0] && sameGame) return;
    // Not recorded, the folders stay: nothing lost but an empty folder.
    WriteCreatedFolder(setupState.destCreatedFrom);
}

void ShowFinished() {
    SetTotalLabel("Finished");
    SetFileBar(100);
    SetStatusLine("Finished");
    SetTotalBar(100);
    SetFileBar(0);
    if (setupState.progressPage)
        PropSheet_SetWizButtons(GetParent(setupState.progressPage), PSWIZB_FINISH);
}

void ShowNotInstalled() {
    SetTotalLabel("Not installed");
    SetStatusLine(InstallFailedStatus);
    SetTotalBar(0);
    SetFileBar(0);
    if (setupState.progressPage)
        PropSheet_SetWizButtons(GetParent(setupState.progressPage), PSWIZB_FINISH);
}

}  // namespace

void RunInstallSequence() {
    if (installRunning) return;
    installRunning = true;
    ResetInstallOutcome();

    ListSourceTreeFirst();
    if (!DiscGameReadable()) {
        installOutcome.discGameDamaged = true;
        RemoveWizardFolders();  // made by the wizard for this, still empty
        ShowNotInstalled();
        installRunning = false;
        return;
    }
    EarlierInstall earlier;
    NoteEarlierInstall(&earlier);

    if (StartJournal()) WriteRegistryEntry();
    if (!InstallFailed()) CopySourceTree();
    if (!InstallFailed()) CreateShortcuts();
    if (!InstallFailed()) MoveUninstallListIntoGame();
    if (!InstallFailed()) PutGameInPlace();
    if (InstallFailed()) {
        UndoInstall(earlier);
        ShowNotInstalled();
    } else {
        RecordCreatedFolder(earlier);
        ShowFinished();
    }
    installRunning = false;
}
