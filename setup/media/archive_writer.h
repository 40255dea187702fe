// Appends one stored entry to an existing archive (archive_format.h) whose
// last 22 bytes are an end record. The entry's bytes are written through the
// writer between Begin and Finish; Finish puts the old central directory back
// after them, adds the new entry's record and a fresh end record.
//
// A failed append never leaves the archive damaged: when anything in Begin,
// the data writes or Finish goes wrong, the archive is put back byte for byte
// as it was and the failure is reported.
#pragma once

#include <cstddef>
#include <cstdint>

#include "setup/media/archive_format.h"

class FileStream;

// Room for the archive's path, terminated.
constexpr size_t WriterPathSize = 256;

class ArchiveWriter {
  public:
    ArchiveWriter() = default;
    ~ArchiveWriter() { Finish(); }
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    // A writer with the entry begun, or null: the archive is then as it was,
    // unless *archiveDamaged (when given) is set because it could not be put
    // back.
    static ArchiveWriter* Create(const char* archivePath, const char* entryName,
                                 bool* archiveDamaged = nullptr);

    // False when the archive cannot be opened for update, has no end record
    // in its last 22 bytes, its directory does not end where that record
    // begins, the directory is not exactly as many central records as the
    // record counts (stray bytes, or entries without a size), or the name is
    // empty or longer than a directory record holds; the archive is then as
    // it was.
    bool Begin(const char* archivePath, const char* entryName);
    // Completes the entry and closes the archive. False when the entry could
    // not be added; the archive is then as it was before Begin.
    bool Finish();
    // Makes Finish put the archive back instead of adding the entry.
    void Abandon() { failed = true; }
    // After a failed Begin or Finish: whether the archive is as it was.
    bool Restored() const { return restored; }

    // At the archive file's current position.
    uint32_t Read(void* buffer, uint32_t n);
    // Bytes the file took; a short write, or one that would carry the entry
    // or the archive past the format's 32-bit sizes and offsets, takes
    // nothing more and makes Finish put the archive back.
    uint32_t Write(const void* buffer, uint32_t n);
    // Refused (position unchanged) before the entry's first data byte.
    void SeekRelative(int32_t offset);
    // offset counts from the entry's first data byte.
    void SeekTo(uint64_t offset);
    int64_t Tell();
    // Bytes of entry data written so far (the file ends where they end).
    uint64_t Size();

  private:
    bool Restore();
    void Release();

    FileStream* stream = nullptr;
    char entryName[256] = {};
    // The old central directory (directorySize bytes) and the old end record,
    // which follow each other up to the file's end.
    uint8_t* savedDirectory = nullptr;
    uint8_t endRecord[ArchiveFormat::EndRecord::Size - 4] = {};
    uint32_t localHeaderOffset = 0;
    uint32_t dataStart = 0;

    char archivePath[WriterPathSize] = {};
    uint32_t originalLength = 0;  // of the archive file before Begin
    uint32_t savedLength = 0;     // bytes in savedDirectory
    bool failed = false;
    bool restored = true;  // false once a put-back failed
};
