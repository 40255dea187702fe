#include "setup/media/archive_reader.h"

#include <climits>
#include <cstring>
#include <functional>
#include <new>

#include "setup/media/large_file.h"
#include "setup/media/path_text.h"

using namespace ArchiveFormat;

namespace {

bool SeekAbsolute(std::FILE* file, uint64_t offset) {
    return SeekFileTo(file, offset);
}

bool ReadExact(std::FILE* file, void* buffer, size_t n) {
    return std::fread(buffer, 1, n, file) == n;
}

bool ReadSignature(std::FILE* file, uint32_t* signature) {
    uint8_t bytes[4];
    if (!ReadExact(file, bytes, sizeof bytes)) return false;
    *signature = GetU32(bytes);
    return true;
}

bool FileLengthOf(std::FILE* file, uint64_t* length) {
    int64_t end = FileLength(file);
    if (end < 0) return false;
    *length = uint64_t(end);
    return true;
}

// Where an entry's data begins: after its local header, the name and the
// extra field that header announces. Tools put other extra fields in the
// local header than in the central entry, so the central lengths cannot tell.
bool LocalDataOffset(std::FILE* file, uint32_t localHeaderOffset, uint64_t* dataOffset) {
    uint8_t header[LocalHeader::Size];
    if (!SeekAbsolute(file, localHeaderOffset) || !ReadExact(file, header, sizeof header) ||
        GetU32(header + LocalHeader::Signature) != LocalHeaderSignature)
        return false;
    *dataOffset = uint64_t(localHeaderOffset) + LocalHeader::Size +
                  GetU16(header + LocalHeader::NameLength) +
                  GetU16(header + LocalHeader::ExtraLength);
    return true;
}

// Only the letters A to Z are folded; everything else compares as stored.
char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    }
    return true;
}

bool NamesEqual(const char* a, const char* b) {
    size_t length = std::strlen(a);
    return length == std::strlen(b) && EqualIgnoringCase(a, b, length);
}

}  // namespace

int ArchiveReader::OpenArchive(const char* path, uint32_t slots_) {
    CloseArchive();
    if (!path || std::strlen(path) >= sizeof archivePath) return 0;

    slots = new (std::nothrow) EntryHandle[slots_ ? slots_ : 1]();
    if (!slots) return 0;
    slotCount = slots_;
    entryCount = 0;

    std::strcpy(archivePath, path);
    archiveFile = std::fopen(archivePath, "rb");
    uint64_t fileLength = 0;
    uint32_t directoryOffset = 0;
    if (!archiveFile || !FileLengthOf(archiveFile, &fileLength) ||
        !FindDirectory(fileLength, &directoryOffset) ||
        !LoadDirectory(directoryOffset, fileLength)) {
        CloseArchive();
        return 0;
    }
    return 1;
}

// Sets entryCount and the directory's offset: from an end record in the last
// 22 bytes, else by walking the local headers from the first byte.
bool ArchiveReader::FindDirectory(uint64_t fileLength, uint32_t* directoryOffset) {
    if (fileLength >= EndRecord::Size) {
        if (!SeekAbsolute(archiveFile, fileLength - EndRecord::Size)) return false;
        uint32_t signature = 0;
        if (!ReadSignature(archiveFile, &signature)) return false;
        if (IsEndSignature(signature)) {
            uint8_t record[EndRecord::Size];
            if (!ReadExact(archiveFile, record + 4, EndRecord::Size - 4)) return false;
            entryCount = GetU16(record + EndRecord::TotalEntries);
            *directoryOffset = GetU32(record + EndRecord::DirectoryOffset);
            return true;
        }
    }

    // No end record at the very end (a comment follows it, or none at all).
    uint64_t position = 0;
    uint32_t signature = 0;
    if (!SeekAbsolute(archiveFile, 0) || !ReadSignature(archiveFile, &signature)) return false;
    while (signature != CentralEntrySignature) {
        if (signature != LocalHeaderSignature) return false;
        uint8_t header[LocalHeader::Size];
        if (!ReadExact(archiveFile, header + 4, LocalHeader::Size - 4)) return false;
        position += LocalHeader::Size + uint64_t(GetU32(header + LocalHeader::CompressedSize)) +
                    GetU16(header + LocalHeader::NameLength) +
                    GetU16(header + LocalHeader::ExtraLength);
        if (!SeekAbsolute(archiveFile, position) || !ReadSignature(archiveFile, &signature))
            return false;
    }
    if (position > UINT32_MAX) return false;
    *directoryOffset = uint32_t(position);

    uint32_t count = 0;
    while (!IsEndSignature(signature)) {
        if (signature != CentralEntrySignature || count == UINT32_MAX) return false;
        ++count;
        uint8_t entry[CentralEntry::Size];
        if (!ReadExact(archiveFile, entry + 4, CentralEntry::Size - 4)) return false;
        position += CentralEntry::Size + uint64_t(GetU16(entry + CentralEntry::NameLength)) +
                    GetU16(entry + CentralEntry::ExtraLength) +
                    GetU16(entry + CentralEntry::CommentLength);
        if (!SeekAbsolute(archiveFile, position) || !ReadSignature(archiveFile, &signature))
            return false;
    }
    entryCount = count;
    return true;
}

// Reads exactly entryCount central entries into the directory array. More or
// fewer entries than announced, a name that does not fit a record, or data
// lying outside the file or running into the directory fail the open.
bool ArchiveReader::LoadDirectory(uint32_t directoryOffset, uint64_t fileLength) {
    if (entryCount == 0) return false;  // the first central entry is missing
    directory = new (std::nothrow) ArchiveDirEntry[entryCount]();
    if (!directory) return false;

    // The first entry's signature is taken as read.
    uint64_t position = uint64_t(directoryOffset) + 4;
    if (!SeekAbsolute(archiveFile, position)) return false;
    uint32_t signature = CentralEntrySignature;
    uint32_t index = 0;
    while (!IsEndSignature(signature)) {
        if (signature != CentralEntrySignature || index >= entryCount) return false;
        uint8_t entry[CentralEntry::Size];
        if (!ReadExact(archiveFile, entry + 4, CentralEntry::Size - 4)) return false;
        uint16_t nameLength = GetU16(entry + CentralEntry::NameLength);
        if (nameLength > MaxEntryName) return false;
        ArchiveDirEntry& record = directory[index];
        if (!ReadExact(archiveFile, record.name, nameLength)) return false;
        record.name[nameLength] = '\0';
        position += CentralEntry::Size - 4 + uint64_t(nameLength) +
                    GetU16(entry + CentralEntry::ExtraLength) +
                    GetU16(entry + CentralEntry::CommentLength);
        uint64_t dataOffset = 0;
        if (!LocalDataOffset(archiveFile, GetU32(entry + CentralEntry::LocalHeaderOffset),
                             &dataOffset))
            return false;
        record.size = GetU32(entry + CentralEntry::UncompressedSize);
        // Data must end before the directory: bytes that run into it are no
        // member's, and would change when a member is appended.
        if (dataOffset + record.size > directoryOffset || dataOffset + record.size > fileLength)
            return false;
        record.dataOffset = uint32_t(dataOffset);
        if (!SeekAbsolute(archiveFile, position) || !ReadSignature(archiveFile, &signature))
            return false;
        position += 4;
        ++index;
    }
    return index == entryCount;
}

void ArchiveReader::CloseArchive() {
    if (slots) {
        for (uint32_t i = 0; i < slotCount; ++i) {
            if (slots[i].inUse && slots[i].ownHandle && slots[i].file) std::fclose(slots[i].file);
        }
    }
    if (archiveFile) std::fclose(archiveFile);
    archiveFile = nullptr;
    delete[] directory;
    directory = nullptr;
    delete[] slots;
    slots = nullptr;
    entryCount = 0;
    slotCount = 0;
}

uint32_t ArchiveReader::ListEntries(const char* pattern, char* names, uint32_t* sizes,
                                    uint32_t stride, uint32_t maxCount, bool bareNames,
                                    bool /*recursive*/, uint32_t skip) {
    if (!pattern) return 0;
    if (std::strcmp(pattern, "*.*") == 0) pattern = "*";
    if (std::strcmp(pattern, "*") == 0 && !names) return entryCount;

    // With its star, a pattern one longer than the longest name still matches.
    char copy[MaxEntryName + 2];
    size_t patternLength = std::strlen(pattern);
    if (patternLength >= sizeof copy) return 0;  // could match no stored name
    for (size_t i = 0; i <= patternLength; ++i)
        copy[i] = pattern[i] == '\\' ? '/' : pattern[i];

    const char* star = std::strchr(copy, '*');
    size_t prefixLength = star ? size_t(star - copy) : patternLength;
    const char* suffix = star ? star + 1 : "";
    size_t suffixLength = std::strlen(suffix);

    uint32_t nameRoom = ListingNameRoom(names, sizes, stride);
    char* sizeCursor = reinterpret_cast<char*>(sizes);
    uint32_t count = 0;
    for (uint32_t i = 0; i < entryCount; ++i) {
        const ArchiveDirEntry& record = directory[i];
        size_t nameLength = std::strlen(record.name);
        if (nameLength < prefixLength || !EqualIgnoringCase(record.name, copy, prefixLength))
            continue;
        if (suffixLength > 0 &&
            (nameLength < suffixLength ||
             !EqualIgnoringCase(record.name + nameLength - suffixLength, suffix, suffixLength)))
            continue;
        if (skip > 0) {
            --skip;
            continue;
        }
        if (names) {
            const char* shown = bareNames ? FileNamePart(record.name) : record.name;
            size_t shownLength = std::strlen(shown);
            if (shownLength >= nameRoom) continue;
            std::memcpy(names, shown, shownLength + 1);
            names += stride;
        }
        if (sizeCursor) {
            std::memcpy(sizeCursor, &record.size, sizeof record.size);
            sizeCursor += stride;
        }
        if (++count == maxCount) break;
    }
    return count;
}

uint32_t ListingNameRoom(const char* names, const uint32_t* sizes, uint32_t stride) {
    if (!names || !sizes || stride == 0) return stride;
    // Distance from a name to the next size field at or after it.
    int64_t offset = int64_t(reinterpret_cast<intptr_t>(sizes) - reinterpret_cast<intptr_t>(names));
    int64_t gap = ((offset % stride) + stride) % stride;
    return gap == 0 ? stride : uint32_t(gap);
}

bool ArchiveReader::IsOwnSlot(const EntryHandle* handle) const {
    // Also refuses handles left over from an archive closed since.
    std::less_equal<const EntryHandle*> notAfter;
    std::less<const EntryHandle*> before;
    return handle && slots && notAfter(slots, handle) && before(handle, slots + slotCount) &&
           handle->inUse;
}

EntryHandle* ArchiveReader::OpenEntry(const char* name, bool ownHandle) {
    if (entryCount == 0 || !name || !*name) return nullptr;
    for (uint32_t i = 0; i < entryCount; ++i) {
        if (!NamesEqual(directory[i].name, name)) continue;
        for (uint32_t s = 0; s < slotCount; ++s) {
            EntryHandle& slot = slots[s];
            if (slot.inUse) continue;
            slot.inUse = 1;
            slot.position = directory[i].dataOffset;
            slot.entry = &directory[i];
            slot.ownHandle = ownHandle ? 1 : 0;
            slot.file = archiveFile;
            if (ownHandle) {
                slot.file = std::fopen(archivePath, "rb");
                if (!slot.file) {
                    slot = EntryHandle{};
                    return nullptr;
                }
            }
            return &slot;
        }
        // No slot is free: a later record of the same name finds none either.
        return nullptr;
    }
    return nullptr;
}

int ArchiveReader::CloseEntry(EntryHandle* handle) {
    if (!IsOwnSlot(handle)) return 0;
    if (handle->ownHandle && handle->file) std::fclose(handle->file);
    *handle = EntryHandle{};
    return 1;
}

uint32_t ArchiveReader::ReadEntry(EntryHandle* handle, void* buffer, uint32_t n) {
    if (!IsOwnSlot(handle)) return 0;
    uint64_t end = uint64_t(handle->entry->dataOffset) + handle->entry->size;
    uint64_t left = end > handle->position ? end - handle->position : 0;
    if (n > left) n = uint32_t(left);
    if (n == 0 || !SeekAbsolute(handle->file, handle->position)) return 0;
    size_t got = std::fread(buffer, 1, n, handle->file);
    handle->position += uint32_t(got);
    return uint32_t(got);
}

int ArchiveReader::SeekEntry(EntryHandle* handle, int32_t offset, int origin) {
    if (!IsOwnSlot(handle)) return 0;
    int64_t start = handle->entry->dataOffset;
    int64_t size = handle->entry->size;
    int64_t target;
    switch (origin) {
        case 0:
            if (offset < 0 || offset >= size) return 0;
            target = start + offset;
            break;
        case 2:
            if (offset < 0 || offset >= size) return 0;
            target = start + size - offset;
            break;
        case 1:
            target = int64_t(handle->position) + offset;
            if (target < start || target >= start + size) return 0;
            break;
        default:
            return 0;
    }
    handle->position = uint32_t(target);
    return 1;
}

int64_t ArchiveReader::EntrySize(const EntryHandle* handle) const {
    return IsOwnSlot(handle) ? int64_t(handle->entry->size) : -1;
}

int64_t ArchiveReader::EntryTell(const EntryHandle* handle) const {
    return IsOwnSlot(handle) ? int64_t(handle->position) - handle->entry->dataOffset : -1;
}
