// What went wrong during one installation: every step that failed is recorded
// here with its cause, and the user's message is made from the record.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>

// InstallFailedTitle and the product's name in the message.
#include "product_names.h"

enum class FailureCause : uint8_t {
    None,
    DiskFull,
    AccessDenied,
    NotFound,
    PathTooLong,
    DamagedSource,  // a file on the disc cannot be read, or is not what it should be
    RefusedAudio,   // an .mp3 on the disc holds audio that Setup cannot convert
};

// Names kept for the message; the count covers all.
constexpr uint32_t ShownFailureNames = 3;
constexpr size_t FailureNameSize = 64;

struct InstallOutcome {
    uint32_t failedCount = 0;
    FailureCause cause = FailureCause::None;  // of the first failure
    char names[ShownFailureNames][FailureNameSize] = {};
    bool discGameDamaged = false;    // refused before anything was written
    bool earlierInstallHit = false;  // an installed game was in that folder before
    bool undoIncomplete = false;     // something written could not be removed again
    // The first failure's RefusalText, when it is RefusedAudio.
    const char* audioRefusal = nullptr;
};

extern InstallOutcome installOutcome;

void ResetInstallOutcome();
// what: the item's name as the user knows it (a file name, "the Uninstall
// entry"); only the part after its last separator is kept.
void RecordFailure(const char* what, FailureCause cause);
// An .mp3 that holds audio of a kind Setup cannot convert; refusal says
// which (RefusalText).
void RecordRefusedAudio(const char* what, const char* refusal);
bool InstallFailed();
// Once the destination itself refuses (full, read-only, path too long), the
// remaining files are counted as failed without being tried.
bool DestinationRefuses();

// True when the installation failed in a way another folder may not (the
// destination refused, see above) and left nothing behind: the wizard then
// lets the user choose the folder again instead of ending.
bool AnotherFolderMayDo();

// Why a write into the destination folder failed: error is the C runtime's
// errno after it; a drive left with less than needed bytes free is full,
// whatever errno says (a short write may leave it unset).
FailureCause CauseAtDestination(int error, uint64_t needed);

// Causes of a failed Win32 call, C runtime call or shell call.
FailureCause CauseOfError(DWORD error);
FailureCause CauseOfErrno(int error);
FailureCause CauseOfResult(HRESULT result);

// The message shown when the installation failed.
void FormatInstallFailure(char* text, size_t size);
