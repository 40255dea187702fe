// The one byte-stream type of the setup program: a disk file, a member of the
// open source archive, or a member being appended to an archive.
#pragma once

#include <cstdint>
#include <cstdio>

class ArchiveWriter;
struct EntryHandle;

// Open flags, combined by OR.
enum StreamFlags : uint32_t {
    StreamWrite = 1,       // with StreamModify: create or truncate for writing
    StreamModify = 2,      // with StreamWrite: write; with StreamRead: "r+b"
    StreamRead = 4,        // open an existing file for reading
    StreamOwnHandle = 16,  // an archive member read gets its own file handle
    StreamAbsolute = 32,   // name is a complete path: no source root, no archive
};

// Fraction done of the current file, 0.0 to 1.0.
using ProgressCallback = void (*)(float fraction);

// The largest block CopyTo moves at once.
constexpr uint32_t CopyChunk = 0x80000;

// Room for a path built by Open: source root, "/" and name, terminated.
constexpr size_t StreamPathSize = 256;

// Asked when a file opened for reading cannot be opened, or a read falls
// short of what the file held when it was opened (a disc taken out of its
// drive): true to try again (the file is opened anew and the read goes on
// where it stopped), false to give up. Not asked for a file opened for
// update, nor for an archive member.
using ReadRetryHandler = bool (*)();
// Sets the handler every stream then asks (null: none); returns the one before.
ReadRetryHandler SetReadRetryHandler(ReadRetryHandler handler);

class FileStream {
  public:
    FileStream() = default;
    FileStream(const char* name, uint32_t flags);
    virtual ~FileStream();
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    // Non-zero on success; the stream stays closed on failure.
    int Open(const char* name, uint32_t flags);
    // Closing a stream that writes an archive member finishes the archive;
    // returns false when that finish (or the file's close) failed.
    bool Close();
    // After a failed Open or Close of a member being written: the archive
    // could not be put back as it was, so it is damaged now.
    bool ArchiveDamaged() const { return archiveDamaged; }
    bool IsOpen() const { return entryWriter || entryHandle || diskFile; }

    // Bytes read.
    uint32_t Read(void* buffer, uint32_t n);
    // Bytes taken (a stream reading an archive entry takes none).
    uint32_t Write(const void* buffer, uint32_t n);
    // Success values differ by backend: an archive entry read returns 1 if
    // moved; a disk file returns 0 if moved; a member being written returns 0.
    int SeekRelative(int32_t offset);
    int SeekTo(uint64_t offset);
    // Positions and sizes are 64-bit: a disk file may pass 4 GiB.
    int64_t Tell();
    uint64_t Size();
    // Little-endian; out is set only when all four bytes were read.
    FileStream& ReadU32(uint32_t& out);
    FileStream& WriteU32(uint32_t value);

    // Disk file only: pushes buffered bytes to the file; false when that or
    // any earlier write failed.
    bool Flush();
    // Disk file only: cuts (or extends) the file to length bytes and leaves
    // the position there.
    bool Truncate(uint64_t length);

    // Copies Size() bytes from the current position into destination.
    // False when the buffer cannot be had or the destination refuses bytes.
    bool CopyTo(FileStream& destination, ProgressCallback progress);
    static bool CopyNamedFile(const char* sourceName, uint32_t sourceFlags,
                              const char* destinationName, uint32_t destinationFlags,
                              ProgressCallback progress);

  private:
    // Opens readPath in readMode into diskFile, asking the handler while it
    // cannot be opened.
    bool OpenForReading(const char* name, bool rooted);
    // The rest of a read that fell short: got bytes of n came, from start on.
    uint32_t ReadAgain(uint8_t* buffer, uint32_t n, uint32_t got, uint64_t start);

    EntryHandle* entryHandle = nullptr;
    ArchiveWriter* entryWriter = nullptr;
    std::FILE* diskFile = nullptr;
    bool writeFailed = false;  // a write to the disk file fell short
    bool archiveDamaged = false;
    // A disk file opened for reading only: its path and length then, so that
    // a read cut short can open it again and go on.
    bool rereadable = false;
    uint64_t openedLength = 0;
    char readPath[StreamPathSize] = "";
};
