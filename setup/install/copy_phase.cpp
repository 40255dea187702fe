#include "setup/install/copy_phase.h"

#include <windows.h>
#include <io.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "setup/install/install_journal.h"
#include "setup/install/install_outcome.h"
#include "setup/install/install_paths.h"
#include "setup/install/install_recovery.h"
#include "setup/install/progress_report.h"
#include "setup/media/file_stream.h"
#include "setup/media/path_fs.h"
#include "setup/media/path_text.h"
#include "setup/media/source_walk.h"
#include "setup/mpeg/conversion.h"
#include "setup/mpeg/frame_reader.h"
#include "setup/shell/setup_state.h"
#include "setup/shell/shell.h"

namespace {

constexpr uint64_t PerFileWeight = 102400;
constexpr uint64_t AudioWeightFactor = 30;
constexpr size_t StatusTextSize = 300;

// Set when the user answered Cancel to the question for the disc: the reads
// after it give up unasked, and no further file is tried.
bool discGivenUp = false;

// A read of the disc failed: the user puts the disc back and goes on, or
// gives up (the installation then fails and is undone).
bool AskForTheDisc() {
    if (discGivenUp) return false;
    if (AskRetryOrCancel(DiscGoneTitle, DiscGoneText)) return true;
    discGivenUp = true;
    return false;
}

void ShowCopying(const char* name) {
    char status[StatusTextSize];
    snprintf(status, sizeof status, "Copying %s...", name);
    SetStatusLine(status);
}

// The next file begins: the weights of those before it are done.
void BeginFile(uint64_t totalWeight, uint64_t weight) {
    setupState.doneWeight += setupState.fileWeight;
    setupState.totalWeight = totalWeight;
    setupState.fileWeight = weight;
}

// The line goes to the disk before the file is written: whatever a cut-short
// installation leaves is named in the list.
bool ListTarget(std::FILE* list, const char* target) {
    return fprintf(list, "%s\n", target) > 0 && fflush(list) == 0 && _commit(_fileno(list)) == 0;
}

// A file in a sub-folder that the destination does not have is left out by
// design (no folder is created); its line stays in the list.
bool LandsInMissingFolder(const char* relativeName, const char* target) {
    if (FileNamePart(relativeName) == relativeName) return false;
    char folder[StatePathSize];
    if (!ConcatPath(folder, sizeof folder, target)) return false;
    *FileNamePart(folder) = '\0';
    return !FolderExists(folder);
}

// What made a copy fail: the disc's file (it does not read to its end, or
// the disc was given up), or the destination.
FailureCause CauseOfFailedCopy(const char* entryName, uint64_t size) {
    int error = errno;
    if (discGivenUp) return FailureCause::DamagedSource;
    FileStream source;
    if (!source.Open(entryName, StreamRead)) return FailureCause::DamagedSource;
    static char buffer[65536];
    for (uint64_t left = size; left > 0;) {
        uint32_t chunk = left < sizeof buffer ? uint32_t(left) : uint32_t(sizeof buffer);
        if (source.Read(buffer, chunk) != chunk) return FailureCause::DamagedSource;
        left -= chunk;
    }
    return CauseAtDestination(error, size);
}

// The game executable is written under its temporary name (see
// install_sequence.cpp); its line names it as it will be.
void CopyPlainFile(const SourceEntry& entry, const char* relativeName, std::FILE* list,
                   uint64_t totalWeight) {
    char listed[StatePathSize];
    char target[StatePathSize];
    bool isGame = lstrcmpiA(relativeName, GameExeName) == 0;
    bool fits = ConcatPath(listed, sizeof listed, setupState.destFolder, relativeName) &&
                (isGame ? UnfinishedGamePath(target, sizeof target, setupState.destFolder)
                        : ConcatPath(target, sizeof target, listed));
    ShowCopying(relativeName);
    BeginFile(totalWeight, SourceFileWeight(entry.name, entry.size));
    if (DestinationRefuses()) {
        RecordFailure(relativeName, installOutcome.cause);
        return;
    }
    if (!fits) {
        RecordFailure(relativeName, FailureCause::PathTooLong);
        return;
    }
    // A read-only file of that name is someone's: it is neither overwritten
    // nor, when the installation is undone, deleted.
    DWORD attributes = GetFileAttributesA(target);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        RecordFailure(relativeName, FailureCause::AccessDenied);
        return;
    }
    // A link below the destination would carry the copy outside it: the file
    // is left out, and not listed, like one whose folder is missing.
    if (PathHasLink(target, strlen(setupState.destFolder))) return;
    // An earlier file of that name is set aside, not written over: the undo
    // puts it back. (The game's earlier executable waits in place until the
    // new one is complete.)
    if (!isGame && !KeepAside(target)) return;
    if (!ListTarget(list, listed)) {
        RecordFailure(UninstallListName, CauseOfErrno(errno));
        return;
    }
    if (!isGame && LandsInMissingFolder(relativeName, target)) return;
    errno = 0;
    if (!FileStream::CopyNamedFile(entry.name, 0, target, StreamAbsolute, ReportFileProgress))
        RecordFailure(relativeName, CauseOfFailedCopy(entry.name, entry.size));
}

// The .wav of an .mp3 goes into the game executable being built as a member
// named by the relative name with ".wav" for its extension. An .mp3 that
// gives no sound (no frame header, nothing decoded) is a damaged file.
void ConvertAudioFile(const SourceEntry& entry, const char* relativeName, uint64_t totalWeight) {
    char target[sizeof ConversionJob::outputPath];
    bool fits = UnfinishedGamePath(target, sizeof target, setupState.destFolder) &&
                ConcatPath(target, sizeof target, target, ";") &&
                ConcatPath(target, sizeof target, target, relativeName) &&
                ReplaceExtension(target, sizeof target, ".wav");
    const char* shownName = fits ? FileNamePart(target) : FileNamePart(relativeName);
    ShowCopying(shownName);
    BeginFile(totalWeight, SourceFileWeight(entry.name, entry.size));
    if (DestinationRefuses()) {
        RecordFailure(shownName, installOutcome.cause);
        return;
    }
    if (!fits) {
        RecordFailure(shownName, FailureCause::PathTooLong);
        return;
    }

    auto* reader = new (std::nothrow) FrameReader(entry.name);
    auto* header = new (std::nothrow) FrameHeader;
    StreamKind kind = reader && header ? OpenStream(*reader, *header) : StreamKind::Unknown;
    if (kind != StreamKind::Layer3) {
        delete reader;
        delete header;
        if (const char* refusal = RefusalText(kind))
            RecordRefusedAudio(relativeName, refusal);
        else
            RecordFailure(relativeName, FailureCause::DamagedSource);
        return;
    }
    ConversionJob job;
    job.reader = reader;
    job.header = header;
    job.channelChoice = Both;
    job.customScale = 0;
    job.scale = OutputScale;
    snprintf(job.outputPath, sizeof job.outputPath, "%s", target);
    errno = 0;
    int result = ConvertToWav(job, ReportFileProgress);
    int error = errno;
    // A WAV takes about ten times its .mp3.
    if (discGivenUp)
        RecordFailure(relativeName, FailureCause::DamagedSource);
    else if (result != 0 || !lastConversion.outputOpened || !lastConversion.outputFinished)
        RecordFailure(shownName, CauseAtDestination(error, uint64_t(entry.size) * 10));
    else if (lastConversion.framesDecoded == 0)
        RecordFailure(relativeName, FailureCause::DamagedSource);
}

// The audio members go into the game executable: when an .mp3 comes before
// it in the listing, the game executable is copied just before that .mp3.
// Otherwise the listing's order holds.
void CopyListedFiles(const SourceEntry* entries, uint32_t count, std::FILE* list) {
    uint64_t totalWeight = 0;
    for (uint32_t i = 0; i < count; ++i)
        totalWeight += SourceFileWeight(entries[i].name, entries[i].size);

    uint32_t game = count;
    for (uint32_t i = 0; i < count && game == count; ++i)
        if (lstrcmpiA(RelativeSourceName(entries[i].name), GameExeName) == 0) game = i;
    bool gameCopied = false;
    for (uint32_t i = 0; i < count; ++i) {
        const char* relativeName = RelativeSourceName(entries[i].name);
        if (IsSetupFile(relativeName)) continue;
        bool audio = IsAudioFile(relativeName);
        if (i == game && gameCopied) continue;
        if (audio && !gameCopied && game < count) {
            CopyPlainFile(entries[game], RelativeSourceName(entries[game].name), list, totalWeight);
            gameCopied = true;
            PumpPendingMessages();
            if (discGivenUp) return;
        }
        if (audio)
            ConvertAudioFile(entries[i], relativeName, totalWeight);
        else
            CopyPlainFile(entries[i], relativeName, list, totalWeight);
        if (i == game) gameCopied = true;
        PumpPendingMessages();
        if (discGivenUp) return;
    }
}

}  // namespace

uint64_t SourceFileWeight(const char* name, uint32_t size) {
    // Only an entry that begins with "./" can be one of the setup's own here.
    if (StartsWithNoCase(name, "./") && IsSetupFile(name + 2)) return 0;
    uint64_t weight = size;
    if (IsAudioFile(name)) weight *= AudioWeightFactor;
    return weight + PerFileWeight;
}

void CopySourceTree() {
    char listPath[StatePathSize];
    errno = 0;
    std::FILE* list = JoinPath(listPath, sizeof listPath, setupState.destFolder, UninstallListName)
                          ? fopen(listPath, "wt")
                          : nullptr;
    // Without its list an installation could not be undone: nothing is copied.
    if (!list) {
        RecordFailure(UninstallListName,
                      listPath[0] ? CauseOfErrno(errno) : FailureCause::PathTooLong);
        return;
    }

    // Every read of the disc from here on asks for the disc when it fails.
    discGivenUp = false;
    ReadRetryHandler earlierHandler = SetReadRetryHandler(AskForTheDisc);
    OpenSource(".", false);
    uint32_t count = CountSourceTree("*.*");
    if (count > 0) {
        // Without room for the listing the phase copies nothing.
        auto* entries = static_cast<SourceEntry*>(calloc(count, sizeof(SourceEntry)));
        if (entries) {
            SourceListing listing;
            listing.names = entries[0].name;
            listing.sizes = &entries[0].size;
            listing.stride = sizeof(SourceEntry);
            listing.maxCount = count;
            uint32_t listed = ListSourceFiles("*.*", listing);
            CopyListedFiles(entries, listed, list);
            free(entries);
        }
    }
    CloseSource();
    SetReadRetryHandler(earlierHandler);
    if (fclose(list) != 0) RecordFailure(UninstallListName, CauseOfErrno(errno));
}
