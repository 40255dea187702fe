#include "setup/install/install_recovery.h"

#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/removal_roots_win32.h"
#include "setup/install/install_journal.h"
#include "setup/install/install_paths.h"
#include "setup/media/archive_reader.h"
#include "setup/media/path_fs.h"
#include "setup/media/path_text.h"
#include "setup/shell/setup_state.h"

namespace {

// A list or a journal is read whole, up to this size.
constexpr long ListSizeLimit = 4L * 1024 * 1024;

// Gone already counts as removed; so does a folder under a file's name:
// folders are never listed, so it is not this installation's.
bool RemoveFile(const char* path) {
    if (DeleteFileA(path)) return true;
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool CarriesUninstallList(const char* gamePath) {
    ArchiveReader reader;
    if (!reader.OpenArchive(gamePath, 1)) return false;
    return reader.OpenEntry(UninstallListName, false) != nullptr;
}

// The file read whole into memory (malloc, the caller frees it); null when
// it is missing, too large or unreadable.
char* ReadWholeFile(const char* path, size_t* size) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return nullptr;
    char* bytes = nullptr;
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
    if (length >= 0 && length <= ListSizeLimit && std::fseek(file, 0, SEEK_SET) == 0) {
        bytes = static_cast<char*>(std::malloc(size_t(length) + 1));
        if (bytes && std::fread(bytes, 1, size_t(length), file) != size_t(length)) {
            std::free(bytes);
            bytes = nullptr;
        }
    }
    std::fclose(file);
    if (bytes) *size = size_t(length);
    return bytes;
}

// What the removal may reach for the installation in folder: the folder
// itself, and the groups below the Programs folders. gamePath gets the game
// executable's path in checked form.
bool MakeRoots(const char* folder, removal::RemovalRoots* roots, char* gamePath) {
    char game[StatePathSize];
    if (!JoinPath(game, sizeof game, folder, GameExeName) || !roots->SetGameFolder(game))
        return false;
    removal::AddProgramsFolders(roots);
    return removal::CheckAbsolutePath(game, std::strlen(game), gamePath) ==
           removal::Verdict::Inside;
}

// An installation's journal read whole; its lines checked by the same rules
// as the list's.
class Journal {
  public:
    explicit Journal(const removal::RemovalRoots& roots) : roots(roots) {}
    ~Journal() { std::free(bytes); }
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    bool Load(const char* path) {
        bytes = ReadWholeFile(path, &size);
        return bytes != nullptr;
    }
    bool Loaded() const { return bytes != nullptr; }

    bool Done() const {
        bool done = false;
        ForEach([&done](const removal::JournalLine& line) {
            if (line.tag == removal::JournalTag::Done) done = true;
        });
        return done;
    }

    // visit(resolved) for each set-aside file the rules accept.
    template <typename Visit>
    void ForEachKept(Visit visit) const {
        ForEach([&](const removal::JournalLine& line) {
            if (line.tag != removal::JournalTag::Kept) return;
            removal::ResolvedLine kept;
            if (removal::ResolveLine(line.path, line.pathLength, roots, &kept) ==
                    removal::Verdict::Inside &&
                !LeadsOutsideRoot(kept.path, kept.rootLength))
                visit(static_cast<const removal::ResolvedLine&>(kept));
        });
    }

    // True when the journal names path (checked form) as set aside.
    bool Kept(const char* path) const {
        bool kept = false;
        ForEachKept([&](const removal::ResolvedLine& line) {
            if (_stricmp(line.path, path) == 0) kept = true;
        });
        return kept;
    }

    // The folders this installation created, innermost (last written)
    // first, each accepted by the rules and reached through no link.
    void RemoveCreatedFolders() const {
        const char* lines[MaxFolders];
        size_t lengths[MaxFolders];
        size_t count = 0;
        ForEach([&](const removal::JournalLine& line) {
            if (line.tag != removal::JournalTag::CreatedFolder || count == MaxFolders) return;
            lines[count] = line.path;
            lengths[count++] = line.pathLength;
        });
        while (count-- > 0) {
            char folder[removal::PathBufferSize];
            if (removal::ResolveFolder(lines[count], lengths[count], roots, folder) !=
                    removal::Verdict::Inside ||
                PathHasLink(folder, 0))
                continue;
            RemoveDirectoryA(folder);
        }
    }

  private:
    static constexpr size_t MaxFolders = 64;

    template <typename Visit>
    void ForEach(Visit visit) const {
        if (!bytes) return;
        removal::ListLines lines(bytes, size);
        const char* text;
        size_t length;
        while (lines.Next(&text, &length))
            visit(removal::ParseJournalLine(text, length));
    }

    const removal::RemovalRoots& roots;
    char* bytes = nullptr;
    size_t size = 0;
};

bool SetAsideExists(const char* path) {
    char aside[StatePathSize];
    return KeptAsidePath(aside, sizeof aside, path) && Exists(aside);
}

// The earlier files take their names back; false when one could not.
bool PutBackKeptFiles(const Journal& journal) {
    bool complete = true;
    journal.ForEachKept([&complete](const removal::ResolvedLine& kept) {
        char aside[StatePathSize];
        if (!KeptAsidePath(aside, sizeof aside, kept.path) || !Exists(aside)) return;
        // What is under the name now was written by this installation.
        if (!RemoveFile(kept.path) || !MoveFileA(aside, kept.path)) complete = false;
    });
    return complete;
}

}  // namespace

bool UnfinishedGamePath(char* path, size_t size, const char* folder) {
    return JoinPath(path, size, folder, GameExeName) &&
           ConcatPath(path, size, path, UnfinishedGameSuffix);
}

bool UndoUnfinishedInstall(const char* folder) {
    removal::RemovalRoots roots;
    char gamePath[removal::PathBufferSize];
    char listPath[StatePathSize];
    char journalPath[StatePathSize];
    char unfinished[StatePathSize];
    if (!MakeRoots(folder, &roots, gamePath) ||
        !JoinPath(listPath, sizeof listPath, folder, UninstallListName) ||
        !JournalPath(journalPath, sizeof journalPath, folder) ||
        !UnfinishedGamePath(unfinished, sizeof unfinished, folder))
        return false;
    size_t gameFolderLength = std::strlen(roots.GameFolder());
    // The folder's own files (the list, the journal, the unfinished game)
    // are reached through no link either.
    if (LeadsOutsideRoot(listPath, gameFolderLength)) return false;

    Journal journal(roots);
    journal.Load(journalPath);
    bool complete = true;
    size_t listSize = 0;
    if (char* list = ReadWholeFile(listPath, &listSize)) {
        removal::ListLines lines(list, listSize);
        const char* text;
        size_t length;
        removal::ResolvedLine line;
        while (lines.Next(&text, &length)) {
            // A line the rules refuse is never acted on.
            if (removal::ResolveLine(text, length, roots, &line) != removal::Verdict::Inside ||
                LeadsOutsideRoot(line.path, line.rootLength))
                continue;
            if (_stricmp(line.path, gamePath) == 0) continue;
            // Named for setting aside, but never moved: still the earlier file.
            if (journal.Kept(line.path) && !SetAsideExists(line.path)) continue;
            if (!RemoveFile(line.path)) complete = false;
        }
        std::free(list);
    }
    if (!RemoveFile(unfinished)) complete = false;
    if (!PutBackKeptFiles(journal)) complete = false;
    // The list and the journal go last: while anything is left, they stay.
    if (complete && !RemoveFile(listPath)) complete = false;
    if (complete && !RemoveFile(journalPath)) complete = false;
    journal.RemoveCreatedFolders();
    return complete;
}

void TidyFinishedInstall(const char* folder) {
    removal::RemovalRoots roots;
    char gamePath[removal::PathBufferSize];
    char journalPath[StatePathSize];
    if (!MakeRoots(folder, &roots, gamePath) ||
        !JournalPath(journalPath, sizeof journalPath, folder) ||
        LeadsOutsideRoot(journalPath, std::strlen(roots.GameFolder())))
        return;
    Journal journal(roots);
    if (!journal.Load(journalPath)) return;
    // The game's copy goes last: while it is there, a cut here is still
    // known as an installation that moved its game into place.
    auto deleteAside = [&](bool game) {
        journal.ForEachKept([&](const removal::ResolvedLine& kept) {
            if ((_stricmp(kept.path, gamePath) == 0) != game) return;
            char aside[StatePathSize];
            if (KeptAsidePath(aside, sizeof aside, kept.path)) RemoveFile(aside);
        });
    };
    deleteAside(false);
    deleteAside(true);
    RemoveFile(journalPath);
}

bool RecoverUnfinishedInstall(const char* gameDest, bool* undoIncomplete) {
    *undoIncomplete = false;
    removal::RemovalRoots roots;
    char folder[StatePathSize];
    char gamePath[removal::PathBufferSize];
    char listPath[StatePathSize];
    char journalPath[StatePathSize];
    char unfinished[StatePathSize];
    char gameAside[StatePathSize];
    // Only an entry naming this product's game in a folder the rules accept
    // is acted on: its folder is where the rules let the recovery reach.
    if (lstrcmpiA(FileNamePart(gameDest), GameExeName) != 0 ||
        !ConcatPath(folder, sizeof folder, gameDest))
        return FileExists(gameDest);
    *FileNamePart(folder) = '\0';
    if (!MakeRoots(folder, &roots, gamePath) ||
        !JoinPath(listPath, sizeof listPath, folder, UninstallListName) ||
        !JournalPath(journalPath, sizeof journalPath, folder) ||
        !UnfinishedGamePath(unfinished, sizeof unfinished, folder) ||
        !KeptAsidePath(gameAside, sizeof gameAside, gamePath) ||
        LeadsOutsideRoot(gamePath, std::strlen(roots.GameFolder())))
        return FileExists(gameDest);

    Journal journal(roots);
    bool journaled = journal.Load(journalPath);
    bool gameThere = FileExists(gamePath);
    bool unfinishedThere = FileExists(unfinished);
    // The game moved into place: the journal says so, or the game is there
    // with no unfinished copy beside it and, when an earlier game was to be
    // set aside, that one's copy is there.
    if (journaled && (journal.Done() || (gameThere && !unfinishedThere &&
                                         (!journal.Kept(gamePath) || Exists(gameAside))))) {
        TidyFinishedInstall(folder);
        if (CarriesUninstallList(gamePath)) RemoveFile(listPath);
        return true;
    }
    if (gameThere && !journaled) {
        // A second installation over this one was cut short: the game in
        // place is the earlier one, whole.
        if (unfinishedThere) RemoveFile(unfinished);
        if (FileExists(listPath) && CarriesUninstallList(gamePath)) RemoveFile(listPath);
        return true;
    }
    // Cut short between the last member and the move into place: finish it.
    if (!gameThere && unfinishedThere && CarriesUninstallList(unfinished) &&
        MoveFileA(unfinished, gamePath)) {
        TidyFinishedInstall(folder);
        RemoveFile(listPath);
        return true;
    }
    if (unfinishedThere || FileExists(listPath) || journaled)
        *undoIncomplete = !UndoUnfinishedInstall(folder);
    // An earlier game set aside is back in place.
    return FileExists(gamePath);
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
