#include "setup/install/copy_phase.h"

#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "setup/install/install_paths.h"
#include "setup/install/progress_page.h"
#include "setup/media/file_stream.h"
#include "setup/media/path_fs.h"
#include "setup/media/path_text.h"
#include "setup/media/source_walk.h"
#include "setup/mpeg/conversion.h"
#include "setup/mpeg/frame_reader.h"
#include "setup/shell/setup_state.h"

namespace {

constexpr uint64_t PerFileWeight = 102400;
constexpr uint64_t AudioWeightFactor = 30;
constexpr size_t StatusTextSize = 300;
constexpr float InstallScale = 32768.0f;

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

void CopyPlainFile(const SourceEntry& entry, const char* relativeName, std::FILE* list,
                   uint64_t totalWeight) {
    char target[StatePathSize];
    bool fits = ConcatPath(target, sizeof target, setupState.destFolder, relativeName);
    ShowCopying(relativeName);
    BeginFile(totalWeight, SourceFileWeight(entry.name, entry.size));
    // No room for its path, or a link below the destination would carry the
    // copy outside it: the file is skipped.
    if (!fits || PathHasLink(target, strlen(setupState.destFolder))) return;
    if (list) fprintf(list, "%s\n", target);
    FileStream::CopyNamedFile(entry.name, 0, target, StreamAbsolute, ReportFileProgress);
}

// The .wav of an .mp3 goes into the installed game executable as a member
// named by the relative name with ".wav" for its extension.
void ConvertAudioFile(const SourceEntry& entry, const char* relativeName, uint64_t totalWeight) {
    char target[sizeof ConversionJob::outputPath];
    bool fits = ConcatPath(target, sizeof target, setupState.destFolder, GameExeName, ";") &&
                ConcatPath(target, sizeof target, target, relativeName) &&
                ReplaceExtension(target, sizeof target, ".wav");
    ShowCopying(fits ? FileNamePart(target) : FileNamePart(relativeName));
    BeginFile(totalWeight, SourceFileWeight(entry.name, entry.size));
    if (!fits) return;

    auto* reader = new (std::nothrow) FrameReader(entry.name);
    auto* header = new (std::nothrow) FrameHeader;
    if (!reader || !header || !header->ReadHeader(*reader)) {
        delete reader;
        delete header;
        return;
    }
    ConversionJob job;
    job.reader = reader;
    job.header = header;
    job.channelChoice = Both;
    job.customScale = 0;
    job.scale = InstallScale;
    snprintf(job.outputPath, sizeof job.outputPath, "%s", target);
    ConvertToWav(job, ReportFileProgress);
}

void CopyListedFiles(const SourceEntry* entries, uint32_t count, std::FILE* list) {
    uint64_t totalWeight = 0;
    for (uint32_t i = 0; i < count; ++i)
        totalWeight += SourceFileWeight(entries[i].name, entries[i].size);

    for (uint32_t i = 0; i < count; ++i) {
        const char* relativeName = RelativeSourceName(entries[i].name);
        if (StartsWithNoCase(relativeName, "Setup")) continue;
        if (EndsWithNoCase(relativeName, ".mp3"))
            ConvertAudioFile(entries[i], relativeName, totalWeight);
        else
            CopyPlainFile(entries[i], relativeName, list, totalWeight);
        PumpPendingMessages();
    }
}

}  // namespace

uint64_t SourceFileWeight(const char* name, uint32_t size) {
    if (StartsWithNoCase(name, "./Setup")) return 0;
    uint64_t weight = size;
    if (EndsWithNoCase(name, ".mp3")) weight *= AudioWeightFactor;
    return weight + PerFileWeight;
}

void CopySourceTree() {
    char listPath[StatePathSize];
    std::FILE* list = JoinPath(listPath, sizeof listPath, setupState.destFolder, UninstallListName)
                          ? fopen(listPath, "wt")
                          : nullptr;

    OpenSource(".", false);
    uint32_t count = CountSourceFiles("*.*", 1, 0);
    if (count > 0) {
        // Without room for the listing the phase copies nothing.
        auto* entries = static_cast<SourceEntry*>(calloc(count, sizeof(SourceEntry)));
        if (entries) {
            uint32_t listed = ListSourceFiles("*.*", entries[0].name, &entries[0].size,
                                              sizeof(SourceEntry), count, 0, 1, 0, 0);
            CopyListedFiles(entries, listed, list);
            free(entries);
        }
    }
    CloseSource();
    if (list) fclose(list);
}
