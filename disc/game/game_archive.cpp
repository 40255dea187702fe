#include "game_archive.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The game opens a member or two at a time.
constexpr uint32_t GameArchiveSlots = 4;
constexpr uint32_t ExtractChunk = 0x10000;

}  // namespace

bool GetGamePath(char* buffer, uint32_t size) {
    DWORD length = GetModuleFileNameA(nullptr, buffer, size);
    return length > 0 && length < size;
}

bool OpenOwnArchive(ArchiveReader& archive) {
    char gamePath[GamePathSize];
    return GetGamePath(gamePath, sizeof gamePath) &&
           archive.OpenArchive(gamePath, GameArchiveSlots) != 0;
}

uint8_t* ReadMember(ArchiveReader& archive, const char* name, uint32_t* size) {
    EntryHandle* entry = archive.OpenEntry(name, false);
    if (!entry) return nullptr;
    int64_t entrySize = archive.EntrySize(entry);
    uint8_t* bytes =
        entrySize >= 0 ? static_cast<uint8_t*>(malloc(size_t(entrySize) + 1)) : nullptr;
    if (bytes && archive.ReadEntry(entry, bytes, uint32_t(entrySize)) != uint32_t(entrySize)) {
        free(bytes);
        bytes = nullptr;
    }
    archive.CloseEntry(entry);
    if (bytes) *size = uint32_t(entrySize);
    return bytes;
}

bool ExtractMember(ArchiveReader& archive, const char* name, const char* path) {
    // Written beside the target first, so a failed write never destroys a
    // file of that name that was there before.
    char partPath[GamePathSize];
    if (snprintf(partPath, sizeof partPath, "%s~", path) >= int(sizeof partPath)) return false;

    EntryHandle* entry = archive.OpenEntry(name, false);
    if (!entry) return false;
    FILE* file = fopen(partPath, "wb");
    bool written = file != nullptr;
    uint8_t* chunk = written ? static_cast<uint8_t*>(malloc(ExtractChunk)) : nullptr;
    written = chunk != nullptr;
    int64_t left = archive.EntrySize(entry);
    while (written && left > 0) {
        uint32_t want = left < ExtractChunk ? uint32_t(left) : ExtractChunk;
        uint32_t got = archive.ReadEntry(entry, chunk, want);
        written = got == want && fwrite(chunk, 1, got, file) == got;
        left -= got;
    }
    free(chunk);
    archive.CloseEntry(entry);
    if (file && fclose(file) != 0) written = false;

    if (written && !MoveFileExA(partPath, path, MOVEFILE_REPLACE_EXISTING)) {
        // Systems without MoveFileEx: replace in two steps.
        DeleteFileA(path);
        written = MoveFileA(partPath, path) != 0;
    }
    if (!written) DeleteFileA(partPath);
    return written;
}
