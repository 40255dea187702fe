#include "setup/media/archive_writer.h"

#include <cstring>
#include <new>

#include "setup/media/file_stream.h"

using namespace ArchiveFormat;

namespace {

constexpr uint32_t ArchiveUpdateFlags = StreamModify | StreamRead | StreamAbsolute;

// Offsets within the end record without its signature.
constexpr size_t EndField(size_t offset) {
    return offset - 4;
}

void BuildLocalHeader(uint8_t* header, uint32_t dataLength, uint16_t nameLength) {
    std::memset(header, 0, LocalHeader::Size);
    PutU32(header + LocalHeader::Signature, LocalHeaderSignature);
    PutU16(header + LocalHeader::VersionNeeded, ArchiveFormat::VersionNeeded);
    PutU32(header + LocalHeader::CompressedSize, dataLength);
    PutU32(header + LocalHeader::UncompressedSize, dataLength);
    PutU16(header + LocalHeader::NameLength, nameLength);
}

// Whether size bytes are exactly entries central records and nothing else.
// The reader stops at the first end signature after a record: stray bytes
// kept in the directory would hide the appended entry from it.
bool DirectoryIsWhole(const uint8_t* directory, uint32_t size, uint16_t entries) {
    uint64_t position = 0;
    uint32_t count = 0;
    while (position < size) {
        const uint8_t* entry = directory + position;
        if (size - position < CentralEntry::Size ||
            GetU32(entry + CentralEntry::Signature) != CentralEntrySignature)
            return false;
        position += CentralEntry::Size + GetU16(entry + CentralEntry::NameLength) +
                    GetU16(entry + CentralEntry::ExtraLength) +
                    GetU16(entry + CentralEntry::CommentLength);
        ++count;
    }
    return position == size && count == entries;
}

bool WriteAll(FileStream& stream, const void* bytes, uint32_t n) {
    return n == 0 || stream.Write(bytes, n) == n;
}

}  // namespace

ArchiveWriter* ArchiveWriter::Create(const char* archivePath, const char* entryName,
                                     bool* archiveDamaged) {
    if (archiveDamaged) *archiveDamaged = false;
    ArchiveWriter* writer = new (std::nothrow) ArchiveWriter;
    if (!writer) return nullptr;
    if (!writer->Begin(archivePath, entryName)) {
        writer->Finish();
        if (archiveDamaged) *archiveDamaged = !writer->restored;
        delete writer;
        return nullptr;
    }
    return writer;
}

bool ArchiveWriter::Begin(const char* path, const char* name) {
    Release();
    failed = false;
    restored = true;
    if (!path || !name) return false;
    size_t nameLength = std::strlen(name);
    // The reader could not read back an empty or over-long name.
    if (nameLength == 0 || nameLength > MaxEntryName) return false;
    if (std::strlen(path) >= sizeof archivePath) return false;
    std::memcpy(entryName, name, nameLength + 1);
    std::strcpy(archivePath, path);

    stream = new (std::nothrow) FileStream;
    if (!stream) return false;
    if (!stream->Open(archivePath, ArchiveUpdateFlags)) {
        Release();
        return false;
    }

    // Offsets are 32-bit: a longer file cannot be an archive of this format.
    uint64_t fileLength = stream->Size();
    if (fileLength > UINT32_MAX) {
        Release();
        return false;
    }
    uint32_t length = uint32_t(fileLength);
    uint8_t record[EndRecord::Size];
    if (length < EndRecord::Size || stream->SeekTo(length - EndRecord::Size) != 0 ||
        stream->Read(record, EndRecord::Size) != EndRecord::Size ||
        !IsEndSignature(GetU32(record + EndRecord::Signature))) {
        Release();
        return false;
    }
    std::memcpy(endRecord, record + 4, sizeof endRecord);
    uint32_t directorySize = GetU32(record + EndRecord::DirectorySize);
    uint32_t directoryOffset = GetU32(record + EndRecord::DirectoryOffset);
    // Bytes before the end record that no directory claims are the program's
    // own: an empty archive takes its first entry after them, whatever offset
    // its record gives. A directory must end where the end record begins;
    // offsets counted from elsewhere (an archive appended to a program without
    // adjusting them) would put the new entry over the program's bytes. The
    // new local header and the file's length must stay within 32-bit offsets.
    uint32_t directoryEnd = length - EndRecord::Size;
    if (directorySize == 0) directoryOffset = directoryEnd;
    if (uint64_t(directoryOffset) + directorySize != directoryEnd ||
        uint64_t(directoryOffset) + LocalHeader::Size + nameLength > UINT32_MAX) {
        Release();
        return false;
    }

    // Keep the old directory and end record, to put the directory back after
    // the new data (and to restore the archive if the append fails).
    savedLength = length - directoryOffset;
    savedDirectory = new (std::nothrow) uint8_t[savedLength];
    if (!savedDirectory || stream->SeekTo(directoryOffset) != 0 ||
        stream->Read(savedDirectory, savedLength) != savedLength ||
        !DirectoryIsWhole(savedDirectory, directorySize,
                          GetU16(record + EndRecord::TotalEntries))) {
        Release();
        return false;
    }
    originalLength = length;
    localHeaderOffset = directoryOffset;

    // The file ends where the entry's data ends, so no leftover byte of the
    // old directory can become part of the entry.
    uint8_t header[LocalHeader::Size];
    BuildLocalHeader(header, 0, uint16_t(nameLength));
    if (!stream->Truncate(localHeaderOffset) || !WriteAll(*stream, header, LocalHeader::Size) ||
        !WriteAll(*stream, entryName, uint32_t(nameLength)) || !stream->Flush()) {
        restored = Restore();
        Release();
        return false;
    }
    dataStart = localHeaderOffset + LocalHeader::Size + uint32_t(nameLength);
    return true;
}

bool ArchiveWriter::Finish() {
    if (!stream) {
        Release();
        return true;
    }
    bool ok = !failed && stream->Flush();

    uint16_t nameLength = uint16_t(std::strlen(entryName));
    uint64_t fullLength = Size();
    if (fullLength > UINT32_MAX) ok = false;
    uint32_t length = uint32_t(fullLength);
    uint16_t entriesOnDisk = GetU16(endRecord + EndField(EndRecord::EntriesOnDisk));
    uint16_t totalEntries = GetU16(endRecord + EndField(EndRecord::TotalEntries));
    uint32_t directorySize = GetU32(endRecord + EndField(EndRecord::DirectorySize));
    uint32_t oldDirectorySize = directorySize;
    uint64_t newDirectoryOffset = uint64_t(dataStart) + length;
    uint64_t newDirectorySize = uint64_t(directorySize) + CentralEntry::Size + nameLength;
    // 16-bit entry counters and 32-bit offsets must not wrap.
    if (totalEntries == UINT16_MAX || entriesOnDisk == UINT16_MAX ||
        newDirectoryOffset + newDirectorySize + EndRecord::Size > UINT32_MAX)
        ok = false;

    if (ok) {
        uint8_t header[LocalHeader::Size];
        BuildLocalHeader(header, length, nameLength);
        ok = stream->SeekTo(localHeaderOffset) == 0 &&
             WriteAll(*stream, header, LocalHeader::Size) &&
             stream->SeekTo(uint32_t(newDirectoryOffset)) == 0 &&
             WriteAll(*stream, savedDirectory, oldDirectorySize);
    }
    if (ok) {
        uint8_t central[CentralEntry::Size] = {};
        PutU32(central + CentralEntry::Signature, CentralEntrySignature);
        PutU16(central + CentralEntry::VersionMadeBy, VersionMadeBy);
        PutU16(central + CentralEntry::VersionNeeded, ArchiveFormat::VersionNeeded);
        PutU16(central + CentralEntry::Method, 0);
        PutU32(central + CentralEntry::CompressedSize, length);
        PutU32(central + CentralEntry::UncompressedSize, length);
        PutU16(central + CentralEntry::NameLength, nameLength);
        PutU32(central + CentralEntry::LocalHeaderOffset, localHeaderOffset);

        uint8_t record[EndRecord::Size];
        PutU32(record + EndRecord::Signature, OwnEndRecordSignature);
        std::memcpy(record + 4, endRecord, sizeof endRecord);
        PutU16(record + EndRecord::EntriesOnDisk, uint16_t(entriesOnDisk + 1));
        PutU16(record + EndRecord::TotalEntries, uint16_t(totalEntries + 1));
        PutU32(record + EndRecord::DirectorySize, uint32_t(newDirectorySize));
        PutU32(record + EndRecord::DirectoryOffset, uint32_t(newDirectoryOffset));

        ok = WriteAll(*stream, central, CentralEntry::Size) &&
             WriteAll(*stream, entryName, nameLength) &&
             WriteAll(*stream, record, EndRecord::Size) && stream->Flush();
        if (ok) std::memcpy(endRecord, record + 4, sizeof endRecord);
    }
    if (ok) {
        ok = stream->Close();
        delete stream;
        stream = nullptr;
    }
    if (!ok) restored = Restore();
    Release();
    return ok;
}

// Puts the saved bytes back at the old directory's offset and cuts the file to
// its old length, through a fresh handle: the current one may hold bytes that
// failed to reach the file.
bool ArchiveWriter::Restore() {
    if (stream) {
        stream->Close();
        delete stream;
        stream = nullptr;
    }
    if (!savedDirectory) return false;
    FileStream file;
    if (!file.Open(archivePath, ArchiveUpdateFlags)) return false;
    bool ok = file.SeekTo(localHeaderOffset) == 0 && WriteAll(file, savedDirectory, savedLength) &&
              file.Flush() && file.Truncate(originalLength);
    return file.Close() && ok;
}

void ArchiveWriter::Release() {
    delete stream;
    stream = nullptr;
    delete[] savedDirectory;
    savedDirectory = nullptr;
    savedLength = 0;
}

uint32_t ArchiveWriter::Read(void* buffer, uint32_t n) {
    return stream ? stream->Read(buffer, n) : 0;
}

uint32_t ArchiveWriter::Write(const void* buffer, uint32_t n) {
    if (!stream || failed) return 0;
    // The entry's end, then its central record and the end record, must stay
    // within 32-bit offsets; the name is at most MaxEntryName bytes.
    int64_t position = stream->Tell();
    constexpr uint64_t Trailer = CentralEntry::Size + MaxEntryName + EndRecord::Size;
    if (position < 0 ||
        uint64_t(position) + n + savedLength - EndRecord::Size + Trailer > UINT32_MAX) {
        failed = true;
        return 0;
    }
    uint32_t written = stream->Write(buffer, n);
    if (written != n) failed = true;
    return written;
}

void ArchiveWriter::SeekRelative(int32_t offset) {
    if (!stream) return;
    int64_t target = stream->Tell() + offset;
    // Bytes before the entry belong to the archive's other members.
    if (target < int64_t(dataStart) || target > int64_t(UINT32_MAX)) return;
    stream->SeekTo(uint32_t(target));
}

void ArchiveWriter::SeekTo(uint64_t offset) {
    if (!stream || uint64_t(dataStart) + offset > UINT32_MAX) return;
    stream->SeekTo(dataStart + offset);
}

int64_t ArchiveWriter::Tell() {
    if (!stream) return -1;
    int64_t position = stream->Tell();
    return position < 0 ? -1 : position - dataStart;
}

uint64_t ArchiveWriter::Size() {
    if (!stream) return 0;
    uint64_t length = stream->Size();
    return length > dataStart ? length - dataStart : 0;
}
