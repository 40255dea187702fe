#include "setup/media/file_stream.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "setup/media/archive_reader.h"
#include "setup/media/archive_writer.h"
#include "setup/media/large_file.h"
#include "setup/media/source_state.h"

namespace {

// sourceRoot + "/" + name into path; false (path untouched) if it does not fit.
bool RootedPath(char* path, const char* name) {
    size_t rootLength = std::strlen(sourceRoot);
    size_t nameLength = std::strlen(name);
    if (rootLength + 1 + nameLength >= StreamPathSize) return false;
    std::memcpy(path, sourceRoot, rootLength);
    path[rootLength] = '/';
    std::memcpy(path + rootLength + 1, name, nameLength + 1);
    return true;
}

constexpr size_t UpdateBuffer = 0x10000;

ReadRetryHandler readRetryHandler = nullptr;

// Whether to try a failed read or open again.
bool AskToRetry() {
    return readRetryHandler && readRetryHandler();
}

}  // namespace

ReadRetryHandler SetReadRetryHandler(ReadRetryHandler handler) {
    ReadRetryHandler before = readRetryHandler;
    readRetryHandler = handler;
    return before;
}

bool FileStream::OpenForReading(const char* name, bool rooted) {
    char path[StreamPathSize];
    if (rooted && !RootedPath(path, name)) return false;
    for (;;) {
        const char* opened = nullptr;
        if (rooted && (diskFile = std::fopen(path, "rb")) != nullptr) opened = path;
        if (!diskFile && (diskFile = std::fopen(name, "rb")) != nullptr) opened = name;
        if (opened) {
            // A name too long to keep is read as it comes, without a second try.
            size_t length = std::strlen(opened);
            int64_t fileLength = FileLength(diskFile);
            rereadable = length < sizeof readPath && fileLength >= 0;
            if (rereadable) std::memcpy(readPath, opened, length + 1);
            openedLength = fileLength < 0 ? 0 : uint64_t(fileLength);
            writeFailed = false;
            return true;
        }
        if (!AskToRetry()) return false;
    }
}

uint32_t FileStream::ReadAgain(uint8_t* buffer, uint32_t n, uint32_t got, uint64_t start) {
    // What the file held when it was opened is what this read is owed.
    uint64_t owed = start < openedLength ? openedLength - start : 0;
    if (owed > n) owed = n;
    while (got < owed && AskToRetry()) {
        std::fclose(diskFile);
        diskFile = std::fopen(readPath, "rb");
        if (!diskFile) continue;
        // A file opened again is read on from where the bytes stopped: none
        // twice, none left out.
        if (!SeekFileTo(diskFile, start + got)) continue;
        got += uint32_t(std::fread(buffer + got, 1, size_t(owed - got), diskFile));
    }
    // Given up with the file not open again: the stream is closed now.
    if (!diskFile) rereadable = false;
    return got;
}

FileStream::FileStream(const char* name, uint32_t flags) {
    if (name) Open(name, flags);
}

FileStream::~FileStream() {
    Close();
}

int FileStream::Open(const char* name, uint32_t flags) {
    if (!name || IsOpen()) return 0;
    archiveDamaged = false;
    bool absolute = (flags & StreamAbsolute) != 0;

    if ((flags & StreamWrite) && (flags & StreamModify)) {
        if (const char* separator = std::strchr(name, ';')) {
            char archivePath[StreamPathSize];
            size_t archiveLength = size_t(separator - name);
            if (archiveLength >= sizeof archivePath) return 0;
            std::memcpy(archivePath, name, archiveLength);
            archivePath[archiveLength] = '\0';
            entryWriter = ArchiveWriter::Create(archivePath, separator + 1, &archiveDamaged);
            return entryWriter ? 1 : 0;
        }
        if (absolute) {
            diskFile = std::fopen(name, "wb");
        } else {
            char path[StreamPathSize];
            if (!RootedPath(path, name)) return 0;
            diskFile = std::fopen(path, "wb");
        }
        writeFailed = false;
        return diskFile ? 1 : 0;
    }

    if (flags & StreamRead) {
        if (sourceArchiveOpen && !absolute) {
            entryHandle = sourceArchive.OpenEntry(name, (flags & StreamOwnHandle) != 0);
            if (entryHandle) return 1;
        }
        if (!(flags & StreamModify)) return OpenForReading(name, !absolute) ? 1 : 0;
        const char* mode = "r+b";
        if (!absolute) {
            char path[StreamPathSize];
            if (!RootedPath(path, name)) return 0;
            diskFile = std::fopen(path, mode);
        }
        if (!diskFile) diskFile = std::fopen(name, mode);
        // A file opened for update takes an archive member's bytes in
        // frame-sized writes: with the C library's few-kilobyte buffer each
        // became a system call of its own.
        if (diskFile && (flags & StreamModify))
            std::setvbuf(diskFile, nullptr, _IOFBF, UpdateBuffer);
        writeFailed = false;
        return diskFile ? 1 : 0;
    }
    return 0;
}

bool FileStream::Close() {
    bool ok = true;
    if (entryWriter) {
        ok = entryWriter->Finish();
        if (!ok && !entryWriter->Restored()) archiveDamaged = true;
        delete entryWriter;
        entryWriter = nullptr;
    }
    if (entryHandle) {
        sourceArchive.CloseEntry(entryHandle);
        entryHandle = nullptr;
    }
    if (diskFile) {
        if (std::fclose(diskFile) != 0 || writeFailed) ok = false;
        diskFile = nullptr;
        writeFailed = false;
    }
    rereadable = false;
    return ok;
}

uint32_t FileStream::Read(void* buffer, uint32_t n) {
    if (entryWriter) return entryWriter->Read(buffer, n);
    if (entryHandle) return sourceArchive.ReadEntry(entryHandle, buffer, n);
    if (!diskFile) return 0;
    if (!rereadable || !readRetryHandler) return uint32_t(std::fread(buffer, 1, n, diskFile));
    int64_t start = TellFile(diskFile);
    uint32_t got = uint32_t(std::fread(buffer, 1, n, diskFile));
    if (got == n || start < 0) return got;
    return ReadAgain(static_cast<uint8_t*>(buffer), n, got, uint64_t(start));
}

uint32_t FileStream::Write(const void* buffer, uint32_t n) {
    if (entryWriter) return entryWriter->Write(buffer, n);
    if (entryHandle) return 0;
    if (diskFile) {
        uint32_t written = uint32_t(std::fwrite(buffer, 1, n, diskFile));
        if (written != n) writeFailed = true;
        return written;
    }
    return 0;
}

int FileStream::SeekRelative(int32_t offset) {
    if (entryWriter) {
        entryWriter->SeekRelative(offset);
        return 0;
    }
    if (entryHandle) return sourceArchive.SeekEntry(entryHandle, offset, 1);
    if (diskFile) {
        int64_t here = TellFile(diskFile);
        if (here < 0 || here + offset < 0) return -1;
        return SeekFileTo(diskFile, uint64_t(here + offset)) ? 0 : -1;
    }
    return 0;
}

int FileStream::SeekTo(uint64_t offset) {
    if (entryWriter) {
        entryWriter->SeekTo(offset);
        return 0;
    }
    if (entryHandle) {
        if (offset > uint32_t(INT32_MAX)) return 0;
        return sourceArchive.SeekEntry(entryHandle, int32_t(offset), 0);
    }
    if (diskFile) return SeekFileTo(diskFile, offset) ? 0 : -1;
    return 0;
}

int64_t FileStream::Tell() {
    if (entryWriter) return entryWriter->Tell();
    if (entryHandle) return sourceArchive.EntryTell(entryHandle);
    if (diskFile) return TellFile(diskFile);
    return -1;
}

uint64_t FileStream::Size() {
    if (entryWriter) return entryWriter->Size();
    if (entryHandle) {
        int64_t size = sourceArchive.EntrySize(entryHandle);
        return size < 0 ? 0 : uint64_t(size);
    }
    if (diskFile) {
        int64_t length = FileLength(diskFile);
        return length < 0 ? 0 : uint64_t(length);
    }
    return 0;
}

FileStream& FileStream::ReadU32(uint32_t& out) {
    uint8_t bytes[4];
    if (Read(bytes, 4) == 4) {
        out = uint32_t(bytes[0]) | (uint32_t(bytes[1]) << 8) | (uint32_t(bytes[2]) << 16) |
              (uint32_t(bytes[3]) << 24);
    }
    return *this;
}

FileStream& FileStream::WriteU32(uint32_t value) {
    uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16),
                        uint8_t(value >> 24)};
    Write(bytes, 4);
    return *this;
}

bool FileStream::Flush() {
    if (!diskFile) return false;
    bool ok = std::fflush(diskFile) == 0;
    return ok && !writeFailed && !std::ferror(diskFile);
}

bool FileStream::Truncate(uint64_t length) {
    if (!diskFile || std::fflush(diskFile) != 0) return false;
    if (!CutFileTo(diskFile, length)) return false;
    return SeekFileTo(diskFile, length);
}

bool FileStream::CopyTo(FileStream& destination, ProgressCallback progress) {
    uint64_t total = Size();
    if (progress) progress(0.0f);
    if (total == 0) {
        if (progress) progress(1.0f);
        return true;
    }
    uint32_t bufferSize = total < CopyChunk ? uint32_t(total) : CopyChunk;
    void* buffer = std::malloc(bufferSize);
    bool ok = buffer != nullptr;
    uint64_t remaining = total;
    while (ok && remaining > 0) {
        if (progress) progress(float(double(total - remaining) / double(total)));
        uint32_t chunk = remaining < CopyChunk ? uint32_t(remaining) : CopyChunk;
        // A short read would copy stale buffer bytes: stop instead.
        if (Read(buffer, chunk) != chunk) {
            ok = false;
            break;
        }
        // An archive entry being read (or a closed stream) takes nothing.
        if (destination.Write(buffer, chunk) != chunk) ok = false;
        remaining -= chunk;
    }
    std::free(buffer);
    // A member that did not get all its bytes must not be added on close.
    if (!ok && destination.entryWriter) destination.entryWriter->Abandon();
    if (ok && progress) progress(1.0f);
    return ok;
}

bool FileStream::CopyNamedFile(const char* sourceName, uint32_t sourceFlags,
                               const char* destinationName, uint32_t destinationFlags,
                               ProgressCallback progress) {
    FileStream source;
    if (!source.Open(sourceName, sourceFlags | StreamRead)) return false;
    FileStream destination;
    if (!destination.Open(destinationName, destinationFlags | StreamWrite | StreamModify)) {
        source.Close();
        return false;
    }
    bool copied = source.CopyTo(destination, progress);
    bool closed = destination.Close();
    source.Close();
    return copied && closed;
}
