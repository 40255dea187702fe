#include "setup/install/install_journal.h"

#include <windows.h>
#include <io.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/contract.h"
#include "common/removal_rules.h"
#include "setup/install/install_outcome.h"
#include "setup/install/install_recovery.h"
#include "setup/media/path_fs.h"
#include "setup/media/path_text.h"
#include "setup/shell/setup_state.h"

namespace {

// Each line is on the disk before the step it announces: a cut leaves
// nothing done that the journal does not name.
bool AppendJournalLine(char tag, const char* path) {
    char journal[StatePathSize];
    if (!JournalPath(journal, sizeof journal, setupState.destFolder)) {
        RecordFailure(VEXLO_JOURNAL_NAME, FailureCause::PathTooLong);
        return false;
    }
    errno = 0;
    std::FILE* file = std::fopen(journal, "at");
    bool written =
        file &&
        (path ? std::fprintf(file, "%c %s\n", tag, path) : std::fprintf(file, "%c\n", tag)) > 0 &&
        std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
    int error = errno;
    if (file && std::fclose(file) != 0) written = false;
    if (!written) RecordFailure(VEXLO_JOURNAL_NAME, CauseOfErrno(error));
    return written;
}

bool IsPlainFile(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The folders the wizard created for destFolder, from destCreatedFrom down
// to destFolder: visit(folder) for each, outermost first, or innermost first
// when inward is false. None when destCreatedFrom is not destFolder or above
// it (the user went back and chose a folder that was there). False as soon
// as visit returns false.
template <typename Visit>
bool ForEachWizardFolder(bool inward, Visit visit) {
    char created[StatePathSize];
    char dest[StatePathSize];
    if (!ConcatPath(created, sizeof created, setupState.destCreatedFrom) ||
        !ConcatPath(dest, sizeof dest, setupState.destFolder))
        return true;
    auto tidy = [](char* path) {
        for (char* c = path; *c; ++c)
            if (*c == '/') *c = '\\';
        size_t length = std::strlen(path);
        while (length > 0 && path[length - 1] == '\\')
            path[--length] = '\0';
        return length;
    };
    size_t length = tidy(dest);
    size_t createdLength = tidy(created);
    if (createdLength < 3 || !removal::IsSameOrInside(dest, created)) return true;
    size_t ends[StatePathSize];
    size_t count = 0;
    for (size_t end = createdLength; end <= length; ++end)
        if (end == length || dest[end] == '\\') ends[count++] = end;
    for (size_t i = 0; i < count; ++i) {
        size_t end = ends[inward ? i : count - 1 - i];
        char saved = dest[end];
        dest[end] = '\0';
        bool goOn = visit(static_cast<const char*>(dest));
        dest[end] = saved;
        if (!goOn) return false;
    }
    return true;
}

}  // namespace

bool JournalPath(char* path, size_t size, const char* folder) {
    return JoinPath(path, size, folder, VEXLO_JOURNAL_NAME);
}

bool KeptAsidePath(char* path, size_t size, const char* original) {
    return ConcatPath(path, size, original, VEXLO_KEPT_SUFFIX);
}

bool StartJournal() {
    char journal[StatePathSize];
    char game[StatePathSize];
    if (!JournalPath(journal, sizeof journal, setupState.destFolder) ||
        !JoinPath(game, sizeof game, setupState.destFolder, GameExeName)) {
        RecordFailure(VEXLO_JOURNAL_NAME, FailureCause::PathTooLong);
        return false;
    }
    errno = 0;
    std::FILE* file = std::fopen(journal, "wt");
    if (!file || std::fclose(file) != 0) {
        RecordFailure(VEXLO_JOURNAL_NAME, CauseOfErrno(errno));
        return false;
    }
    if (!ForEachWizardFolder(true, [](const char* folder) {
            return AppendJournalLine(VEXLO_JOURNAL_FOLDER, folder);
        }))
        return false;
    // Named now, set aside only at the end: until then the earlier game is
    // whole in place, and an undo leaves it there.
    if (IsPlainFile(game) && !AppendJournalLine(VEXLO_JOURNAL_KEPT, game)) return false;
    return true;
}

bool KeepAside(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return true;
    char aside[StatePathSize];
    if (!KeptAsidePath(aside, sizeof aside, path)) {
        RecordFailure(path, FailureCause::PathTooLong);
        return false;
    }
    // A file already bearing the set-aside name is not ours to replace.
    if (GetFileAttributesA(aside) != INVALID_FILE_ATTRIBUTES) {
        RecordFailure(path, FailureCause::AccessDenied);
        return false;
    }
    if (!AppendJournalLine(VEXLO_JOURNAL_KEPT, path)) return false;
    if (!MoveFileA(path, aside)) {
        RecordFailure(path, CauseOfError(GetLastError()));
        return false;
    }
    return true;
}

bool PutGameAside(const char* gamePath) {
    if (!IsPlainFile(gamePath)) return true;
    char aside[StatePathSize];
    if (!KeptAsidePath(aside, sizeof aside, gamePath)) {
        RecordFailure(GameExeName, FailureCause::PathTooLong);
        return false;
    }
    if (GetFileAttributesA(aside) != INVALID_FILE_ATTRIBUTES) {
        RecordFailure(GameExeName, FailureCause::AccessDenied);
        return false;
    }
    if (!MoveFileA(gamePath, aside)) {
        RecordFailure(GameExeName, CauseOfError(GetLastError()));
        return false;
    }
    return true;
}

bool RecordCreatedFolder(const char* folder) {
    return AppendJournalLine(VEXLO_JOURNAL_FOLDER, folder);
}

void FinishJournal() {
    // Without the mark, a cut here is still undone whole (the game's
    // set-aside copy tells the recovery the move had happened).
    AppendJournalLine(VEXLO_JOURNAL_DONE, nullptr);
    TidyFinishedInstall(setupState.destFolder);
}

void RemoveWizardFolders() {
    ForEachWizardFolder(false, [](const char* folder) { return RemoveDirectoryA(folder) != 0; });
}
