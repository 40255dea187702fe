#include "setup/install/install_outcome.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "setup/install/disk_space.h"
#include "setup/media/path_text.h"
#include "setup/shell/setup_state.h"

InstallOutcome installOutcome;

void ResetInstallOutcome() {
    installOutcome = InstallOutcome{};
}

void RecordFailure(const char* what, FailureCause cause) {
    if (installOutcome.failedCount < ShownFailureNames) {
        char* slot = installOutcome.names[installOutcome.failedCount];
        snprintf(slot, FailureNameSize, "%s", FileNamePart(what));
    }
    if (installOutcome.failedCount == 0) installOutcome.cause = cause;
    ++installOutcome.failedCount;
}

void RecordRefusedAudio(const char* what, const char* refusal) {
    if (installOutcome.failedCount == 0) installOutcome.audioRefusal = refusal;
    RecordFailure(what, FailureCause::RefusedAudio);
}

bool InstallFailed() {
    return installOutcome.failedCount > 0 || installOutcome.discGameDamaged;
}

bool DestinationRefuses() {
    FailureCause cause = installOutcome.cause;
    return cause == FailureCause::DiskFull || cause == FailureCause::AccessDenied ||
           cause == FailureCause::PathTooLong;
}

bool AnotherFolderMayDo() {
    // Leftovers of this attempt stay named by the Uninstall entry only while
    // no other installation overwrites it.
    return installOutcome.failedCount > 0 && !installOutcome.discGameDamaged &&
           !installOutcome.undoIncomplete && DestinationRefuses();
}

FailureCause CauseAtDestination(int error, uint64_t needed) {
    if (error == ENOSPC) return FailureCause::DiskFull;
    if (GetDriveFreeBytes(setupState.destFolder) < needed) return FailureCause::DiskFull;
    FailureCause cause = CauseOfErrno(error);
    // What the destination refuses without saying why is refused access.
    return cause == FailureCause::DamagedSource ? FailureCause::AccessDenied : cause;
}

FailureCause CauseOfError(DWORD error) {
    switch (error) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return FailureCause::DiskFull;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return FailureCause::AccessDenied;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
            return FailureCause::NotFound;
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_BUFFER_OVERFLOW:
            return FailureCause::PathTooLong;
        default:
            return FailureCause::DamagedSource;
    }
}

FailureCause CauseOfErrno(int error) {
    switch (error) {
        case ENOSPC:
            return FailureCause::DiskFull;
        case EACCES:
        case EPERM:
        case EROFS:
            return FailureCause::AccessDenied;
        case ENOENT:
            return FailureCause::NotFound;
        case ENAMETOOLONG:
            return FailureCause::PathTooLong;
        default:
            return FailureCause::DamagedSource;
    }
}

FailureCause CauseOfResult(HRESULT result) {
    if (HRESULT_FACILITY(result) == FACILITY_WIN32) return CauseOfError(HRESULT_CODE(result));
    if (result == E_ACCESSDENIED || result == STG_E_ACCESSDENIED) return FailureCause::AccessDenied;
    if (result == STG_E_MEDIUMFULL) return FailureCause::DiskFull;
    if (result == E_INVALIDARG) return FailureCause::PathTooLong;  // no room for the path
    return FailureCause::AccessDenied;
}

namespace {

// What the user can do about the cause. When the wizard goes back to the
// folder, that is where to do it; otherwise Setup ends and is run again.
const char* WhatToDo(FailureCause cause, bool choosingAgain) {
    switch (cause) {
        case FailureCause::DiskFull:
            return choosingAgain ? "The drive is full. Free some space on it, or choose a folder "
                                   "on another drive."
                                 : "The drive is full. Free some space on it, or choose a folder "
                                   "on another drive, and run Setup again.";
        case FailureCause::AccessDenied:
            return choosingAgain
                       ? "Setup may not write there. Choose another folder."
                       : "Setup may not write there. Choose another folder and run Setup again.";
        case FailureCause::NotFound:
            return "A folder Setup needs could not be found. Choose another folder and run "
                   "Setup again.";
        case FailureCause::PathTooLong:
            return choosingAgain ? "The folder's name is too long for the game's files. Choose "
                                   "a folder with a shorter name."
                                 : "The folder's name is too long for the game's files. Choose "
                                   "a folder with a shorter name and run Setup again.";
        case FailureCause::DamagedSource:
        case FailureCause::RefusedAudio:  // without its text
        case FailureCause::None:
        default:
            return "A file on the CD-ROM could not be read. Clean the disc, put it back in the "
                   "drive and run Setup again.";
    }
}

}  // namespace

void FormatInstallFailure(char* text, size_t size) {
    const InstallOutcome& outcome = installOutcome;
    if (outcome.discGameDamaged) {
        snprintf(text, size,
                 "%s cannot be installed: %s on the CD-ROM cannot be read.\n\n"
                 "Clean the disc, put it back in the drive and run Setup again.\n\n"
                 "Nothing has been changed on your computer.",
                 ProductDisplayName, GameExeName);
        return;
    }
    char names[ShownFailureNames * (FailureNameSize + 2) + 32] = "";
    uint32_t shown =
        outcome.failedCount < ShownFailureNames ? outcome.failedCount : ShownFailureNames;
    for (uint32_t i = 0; i < shown; ++i) {
        if (i > 0) strcat(names, ", ");
        strcat(names, outcome.names[i]);
    }
    if (outcome.failedCount > shown) {
        char more[32];
        snprintf(more, sizeof more, " and %u more", unsigned(outcome.failedCount - shown));
        strcat(names, more);
    }
    const char* undone = outcome.undoIncomplete
                             ? "Setup could not remove everything it had written: run Setup "
                               "again and it will finish the clean-up."
                             : "Everything Setup had written has been removed again.";
    const char* earlier = outcome.earlierInstallHit
                              ? "\n\nThe game that was installed in this folder before has lost "
                                "files: install it again once the problem is solved."
                              : "";
    // Audio the disc should never have carried: the file is named with what
    // it holds, and running Setup again would not help.
    char refused[FailureNameSize + 160] = "";
    if (outcome.cause == FailureCause::RefusedAudio && outcome.audioRefusal)
        snprintf(refused, sizeof refused,
                 "%s %s. The CD-ROM is faulty: ask its publisher for a sound one.",
                 outcome.names[0], outcome.audioRefusal);
    bool choosingAgain = AnotherFolderMayDo();
    const char* next = choosingAgain ? "\n\nPress OK to choose the folder again." : "";
    snprintf(text, size, "%s could not be installed.\n\nNot installed: %s.\n\n%s\n\n%s%s%s",
             ProductDisplayName, names,
             refused[0] ? refused : WhatToDo(outcome.cause, choosingAgain), undone, earlier, next);
}
