// Reader of the archive format (archive_format.h): loads the central
// directory once, lists it by one-star patterns and reads stored entries
// through a fixed table of entry slots.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "setup/media/archive_format.h"

struct ArchiveDirEntry {
    char name[ArchiveFormat::MaxEntryName + 1];  // as stored, terminated
    uint32_t dataOffset;                         // absolute, first data byte
    uint32_t size;                               // uncompressed size field
};

// One open entry. Slots without their own handle share the reader's file; each
// read positions the file first, so sharing is safe.
struct EntryHandle {
    uint8_t inUse;
    uint32_t ownHandle;
    uint32_t position;  // absolute offset of the next byte to read
    ArchiveDirEntry* entry;
    std::FILE* file;
};

// Room for the archive path kept to open private handles.
constexpr size_t ArchivePathSize = 256;

// Bytes a listed name may take, terminator included: up to the size field
// that follows it when names and sizes share records, else the whole stride.
uint32_t ListingNameRoom(const char* names, const uint32_t* sizes, uint32_t stride);

class ArchiveReader {
  public:
    ArchiveReader() = default;
    ~ArchiveReader() { CloseArchive(); }
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // 1 on success, 0 on failure (the reader is then closed). Closes whatever
    // archive was open first.
    int OpenArchive(const char* path, uint32_t slotCount);
    // Handles still open become invalid: callers close their entries first.
    void CloseArchive();

    // Records the entries matching a one-star pattern (prefix*suffix, A-Z
    // compared without case, the star spans folders) in directory order.
    // names and sizes advance by stride bytes per recorded entry and may share
    // one record; maxCount 0 means no limit. "*" with no names returns the count.
    // A name that does not fit its record is passed over, not counted.
    // recursive has no effect: a pattern always matches across folder levels.
    uint32_t ListEntries(const char* pattern, char* names, uint32_t* sizes, uint32_t stride,
                         uint32_t maxCount, bool bareNames, bool recursive, uint32_t skip);

    // The first entry named name (A-Z without case) that finds a free slot, or
    // null. ownHandle: the slot opens the archive file again for itself.
    EntryHandle* OpenEntry(const char* name, bool ownHandle);
    // 1 if the handle was in use (it is free now), else 0.
    int CloseEntry(EntryHandle* handle);
    // Bytes read, never past the entry's end; 0 for a handle not in use.
    uint32_t ReadEntry(EntryHandle* handle, void* buffer, uint32_t n);
    // origin 0 start, 1 current, 2 end (offset counts back from the end).
    // 1 if moved, 0 if refused; a seek to exactly the end is refused.
    int SeekEntry(EntryHandle* handle, int32_t offset, int origin);
    // The entry's size, or -1 for a handle not in use.
    int64_t EntrySize(const EntryHandle* handle) const;
    // Position within the entry, or -1 for a handle not in use.
    int64_t EntryTell(const EntryHandle* handle) const;

    uint32_t EntryCount() const { return entryCount; }
    // The directory records, entryCount of them (null when closed).
    const ArchiveDirEntry* Directory() const { return directory; }

  private:
    bool FindDirectory(uint64_t fileLength, uint32_t* directoryOffset);
    bool LoadDirectory(uint32_t directoryOffset, uint64_t fileLength);
    bool IsOwnSlot(const EntryHandle* handle) const;

    EntryHandle* slots = nullptr;
    ArchiveDirEntry* directory = nullptr;
    uint32_t entryCount = 0;
    uint32_t slotCount = 0;
    std::FILE* archiveFile = nullptr;
    char archivePath[ArchivePathSize] = {};
};
