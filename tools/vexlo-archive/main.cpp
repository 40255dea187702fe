// vexlo-archive: makes a file able to carry members, appends members to it,
// lists them, copies one out, and removes or replaces one. Every failure is one line on stderr
// naming the file and the problem, with exit code 1; nothing is left half-written.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>

#include "archive_rewrite.h"
#include "setup/media/archive_format.h"
#include "setup/media/archive_reader.h"
#include "setup/media/file_stream.h"

using namespace ArchiveFormat;

namespace {

constexpr uint32_t ReadFlags = StreamRead | StreamAbsolute;
constexpr uint32_t UpdateFlags = StreamRead | StreamModify | StreamAbsolute;
constexpr uint32_t CreateFlags = StreamWrite | StreamModify | StreamAbsolute;

int Fail(const char* file, const char* format, ...) {
    std::fprintf(stderr, "vexlo-archive: %s: ", file);
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fputc('\n', stderr);
    return 1;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: vexlo-archive init FILE\n"
                 "       vexlo-archive add ARCHIVE FILE MEMBER\n"
                 "       vexlo-archive list ARCHIVE\n"
                 "       vexlo-archive extract ARCHIVE MEMBER OUT\n"
                 "       vexlo-archive remove ARCHIVE MEMBER\n"
                 "       vexlo-archive replace ARCHIVE MEMBER FILE\n");
    return 2;
}

// What a path names, as far as the tool cares.
enum class Kind { Missing, RegularFile, Directory, Other };

Kind KindOf(const char* path) {
    struct stat status;
    if (stat(path, &status) != 0) return Kind::Missing;
    if (S_ISREG(status.st_mode)) return Kind::RegularFile;
    if (S_ISDIR(status.st_mode)) return Kind::Directory;
    return Kind::Other;
}

bool FileIsPresent(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    std::fclose(file);
    return true;
}

// What the last 22 bytes of a file hold.
enum class Tail { Unreadable, NoEndRecord, EndRecord };

Tail ReadTail(const char* path, uint8_t* record) {
    FileStream stream;
    if (!stream.Open(path, ReadFlags)) return Tail::Unreadable;
    uint64_t length = stream.Size();
    if (length < EndRecord::Size) return Tail::NoEndRecord;
    if (stream.SeekTo(length - EndRecord::Size) != 0 ||
        stream.Read(record, EndRecord::Size) != EndRecord::Size)
        return Tail::Unreadable;
    return IsEndSignature(GetU32(record)) ? Tail::EndRecord : Tail::NoEndRecord;
}

int Init(const char* path) {
    uint8_t record[EndRecord::Size];
    Tail tail = ReadTail(path, record);
    if (tail == Tail::Unreadable) return Fail(path, "cannot be opened for reading");
    if (tail == Tail::EndRecord) return Fail(path, "already ends in an archive end record");

    FileStream stream;
    if (!stream.Open(path, UpdateFlags)) return Fail(path, "cannot be opened for writing");
    uint64_t length = stream.Size();
    if (length > UINT32_MAX - EndRecord::Size)
        return Fail(path, "is too large for an archive (offsets end at 4 GiB)");
    // Members will follow the file's own bytes; offsets count from its start.
    std::memset(record, 0, sizeof record);
    PutU32(record + EndRecord::Signature, OwnEndRecordSignature);
    PutU32(record + EndRecord::DirectoryOffset, uint32_t(length));
    bool ok = stream.SeekTo(length) == 0 &&
              stream.Write(record, EndRecord::Size) == EndRecord::Size && stream.Flush();
    if (!ok) stream.Truncate(length);
    if (!stream.Close() || !ok) return Fail(path, "could not write the end record");
    return 0;
}

int Add(const char* archive, const char* source, const char* member) {
    if (std::strchr(archive, ';')) return Fail(archive, "an archive path must not contain ';'");
    size_t memberLength = std::strlen(member);
    if (memberLength == 0) return Fail(archive, "the member name is empty");
    if (memberLength > MaxEntryName)
        return Fail(archive, "member name \"%s\" is longer than %u bytes", member,
                    unsigned(MaxEntryName));
    char memberPath[StreamPathSize];
    if (std::snprintf(memberPath, sizeof memberPath, "%s;%s", archive, member) >=
        int(sizeof memberPath))
        return Fail(archive, "the path and member name together are too long");

    uint8_t record[EndRecord::Size];
    Tail tail = ReadTail(archive, record);
    if (tail == Tail::Unreadable) return Fail(archive, "cannot be opened for reading");
    if (tail == Tail::NoEndRecord)
        return Fail(archive, "has no archive end record in its last 22 bytes (run init first)");
    if (GetU16(record + EndRecord::TotalEntries) > 0) {
        ArchiveReader reader;
        if (!reader.OpenArchive(archive, 1)) return Fail(archive, "its archive is damaged");
        if (reader.OpenEntry(member, false))
            return Fail(archive, "already has a member named \"%s\"", member);
    }

    // A member's size is taken before its bytes are copied: a pipe or a
    // device has none, and would be stored empty.
    Kind sourceKind = KindOf(source);
    if (sourceKind == Kind::Missing) return Fail(source, "cannot be opened for reading");
    if (sourceKind != Kind::RegularFile)
        return Fail(source, "is not a regular file (write it to a file first)");
    FileStream input;
    if (!input.Open(source, ReadFlags)) return Fail(source, "cannot be opened for reading");
    if (input.Size() > UINT32_MAX)
        return Fail(source, "is larger than a member can be (4 GiB less one byte)");
    FileStream output;
    if (!output.Open(memberPath, CreateFlags)) {
        if (output.ArchiveDamaged())
            return Fail(archive, "could not be put back as it was: it is damaged now");
        return Fail(archive, "cannot be opened for adding a member");
    }
    bool copied = input.CopyTo(output, nullptr);
    bool finished = output.Close();
    if (output.ArchiveDamaged())
        return Fail(archive,
                    "member not added, and the archive could not be put back: it is "
                    "damaged now");
    if (!copied) return Fail(source, "could not be copied into the archive (archive unchanged)");
    if (!finished)
        return Fail(archive,
                    "could not take the member: no room on the disk, or the archive "
                    "would pass 4 GiB (archive unchanged)");
    return 0;
}

// An archive with an end record but no members yet lists nothing.
bool IsEmptyArchive(const char* path) {
    uint8_t record[EndRecord::Size];
    return ReadTail(path, record) == Tail::EndRecord &&
           GetU16(record + EndRecord::TotalEntries) == 0;
}

int List(const char* archive) {
    ArchiveReader reader;
    if (!reader.OpenArchive(archive, 1)) {
        if (IsEmptyArchive(archive)) return 0;
        if (!FileIsPresent(archive)) return Fail(archive, "cannot be opened for reading");
        return Fail(archive, "is not a readable archive");
    }
    const ArchiveDirEntry* directory = reader.Directory();
    for (uint32_t i = 0; i < reader.EntryCount(); ++i)
        std::printf("%u %s\n", unsigned(directory[i].size), directory[i].name);
    return std::fflush(stdout) == 0 ? 0 : Fail("stdout", "could not be written");
}

int Extract(const char* archive, const char* member, const char* outPath) {
    ArchiveReader reader;
    if (!reader.OpenArchive(archive, 1)) {
        if (IsEmptyArchive(archive)) return Fail(archive, "has no member named \"%s\"", member);
        if (!FileIsPresent(archive)) return Fail(archive, "cannot be opened for reading");
        return Fail(archive, "is not a readable archive");
    }
    EntryHandle* entry = reader.OpenEntry(member, false);
    if (!entry) return Fail(archive, "has no member named \"%s\"", member);

    Kind outKind = KindOf(outPath);
    if (outKind == Kind::Directory) return Fail(outPath, "is a directory");
    if (outKind == Kind::Other) return Fail(outPath, "is not a regular file");

    // Written under a temporary name first, so a failure leaves no partial OUT.
    // A plain file, not a FileStream: a ';' in OUT must not make it a member.
    char partPath[StreamPathSize];
    if (std::snprintf(partPath, sizeof partPath, "%s.part", outPath) >= int(sizeof partPath))
        return Fail(outPath, "the path is too long");
    // Someone else's file of that name is not ours to overwrite.
    if (KindOf(partPath) != Kind::Missing)
        return Fail(partPath, "already exists; remove it or extract to another name");
    std::FILE* output = std::fopen(partPath, "wb");
    if (!output) return Fail(partPath, "cannot be created");
    static uint8_t buffer[65536];
    int64_t left = reader.EntrySize(entry);
    bool ok = true;
    while (ok && left > 0) {
        uint32_t chunk = left < int64_t(sizeof buffer) ? uint32_t(left) : uint32_t(sizeof buffer);
        ok = reader.ReadEntry(entry, buffer, chunk) == chunk &&
             std::fwrite(buffer, 1, chunk, output) == chunk;
        left -= chunk;
    }
    ok = std::fclose(output) == 0 && ok;
    if (ok && std::rename(partPath, outPath) != 0) {
        // rename does not replace a file everywhere; only a plain file goes.
        ok = KindOf(outPath) == Kind::RegularFile && std::remove(outPath) == 0 &&
             std::rename(partPath, outPath) == 0;
    }
    if (!ok) {
        std::remove(partPath);
        return Fail(outPath, "could not be written");
    }
    return 0;
}

int Rewrite(const char* archive, const char* member, const char* replacement) {
    RewriteFailure failure;
    if (RewriteArchive(archive, member, replacement, failure)) return 0;
    return Fail(failure.file.c_str(), "%s", failure.message.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const char* command = argv[1];
    if (std::strcmp(command, "init") == 0 && argc == 3) return Init(argv[2]);
    if (std::strcmp(command, "add") == 0 && argc == 5) return Add(argv[2], argv[3], argv[4]);
    if (std::strcmp(command, "list") == 0 && argc == 3) return List(argv[2]);
    if (std::strcmp(command, "extract") == 0 && argc == 5)
        return Extract(argv[2], argv[3], argv[4]);
    if (std::strcmp(command, "remove") == 0 && argc == 4) return Rewrite(argv[2], argv[3], nullptr);
    if (std::strcmp(command, "replace") == 0 && argc == 5)
        return Rewrite(argv[2], argv[3], argv[4]);
    return Usage();
}
