#include "archive_rewrite.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <vector>

#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <filesystem>

#include "setup/media/archive_format.h"
#include "setup/media/file_stream.h"

using namespace ArchiveFormat;

namespace {

constexpr uint32_t ReadFlags = StreamRead | StreamAbsolute;

// Local headers of members written by a streaming tool are followed by a data
// descriptor (CRC and sizes, with or without its own signature).
constexpr uint16_t DataDescriptorFlag = 0x0008;
constexpr uint32_t DataDescriptorSignature = 0x08074B50;
constexpr uint32_t DataDescriptorSize = 12;  // without the signature

// One member as it lies in the file: its local header, name, extra field,
// data and descriptor, and its record in the central directory.
struct MemberBlock {
    uint32_t start = 0;
    uint32_t length = 0;
    std::string central;
    std::string name;
};

struct ArchiveLayout {
    uint32_t programLength = 0;        // bytes before the first member
    std::vector<MemberBlock> members;  // in directory order
};

bool ReadAt(FileStream& file, uint64_t offset, void* buffer, uint32_t n) {
    return file.SeekTo(offset) == 0 && file.Read(buffer, n) == n;
}

bool SameName(const std::string& stored, const char* wanted) {
    if (stored.size() != std::strlen(wanted)) return false;
    for (size_t i = 0; i < stored.size(); ++i) {
        unsigned char a = stored[i], b = wanted[i];
        if (a >= 'A' && a <= 'Z') a = a - 'A' + 'a';
        if (b >= 'A' && b <= 'Z') b = b - 'A' + 'a';
        if (a != b) return false;
    }
    return true;
}

// Null when the layout was read, else why not.
const char* ReadLayout(FileStream& file, ArchiveLayout& layout) {
    uint64_t fileLength = file.Size();
    if (fileLength > UINT32_MAX) return "is too large for an archive (offsets end at 4 GiB)";
    uint32_t length = uint32_t(fileLength);
    uint8_t record[EndRecord::Size];
    if (length < EndRecord::Size ||
        !ReadAt(file, length - EndRecord::Size, record, sizeof record) ||
        !IsEndSignature(GetU32(record + EndRecord::Signature)))
        return "has no archive end record in its last 22 bytes";
    uint32_t directoryEnd = length - EndRecord::Size;
    uint32_t directorySize = GetU32(record + EndRecord::DirectorySize);
    uint32_t directoryOffset = GetU32(record + EndRecord::DirectoryOffset);
    uint16_t entryCount = GetU16(record + EndRecord::TotalEntries);
    if (directorySize == 0 && entryCount == 0) {
        layout.programLength = directoryEnd;
        return nullptr;
    }
    // Offsets must count from the file's first byte, as the writer's do.
    if (uint64_t(directoryOffset) + directorySize != directoryEnd)
        return "its archive is damaged (the directory does not end at the end record)";

    std::string directory(directorySize, '\0');
    if (!ReadAt(file, directoryOffset, &directory[0], directorySize)) return "cannot be read";
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(directory.data());
    size_t at = 0;
    while (at < directory.size()) {
        if (directory.size() - at < CentralEntry::Size ||
            GetU32(bytes + at + CentralEntry::Signature) != CentralEntrySignature)
            return "its archive is damaged (a directory record is broken)";
        const uint8_t* entry = bytes + at;
        size_t recordLength = CentralEntry::Size + GetU16(entry + CentralEntry::NameLength) +
                              GetU16(entry + CentralEntry::ExtraLength) +
                              GetU16(entry + CentralEntry::CommentLength);
        if (recordLength > directory.size() - at)
            return "its archive is damaged (a directory record is broken)";

        MemberBlock member;
        member.central = directory.substr(at, recordLength);
        member.name =
            directory.substr(at + CentralEntry::Size, GetU16(entry + CentralEntry::NameLength));
        member.start = GetU32(entry + CentralEntry::LocalHeaderOffset);
        uint8_t local[LocalHeader::Size];
        if (uint64_t(member.start) + LocalHeader::Size > directoryOffset ||
            !ReadAt(file, member.start, local, sizeof local) ||
            GetU32(local + LocalHeader::Signature) != LocalHeaderSignature)
            return "its archive is damaged (a member's header is missing)";
        uint64_t end =
            uint64_t(member.start) + LocalHeader::Size + GetU16(local + LocalHeader::NameLength) +
            GetU16(local + LocalHeader::ExtraLength) + GetU32(entry + CentralEntry::CompressedSize);
        if (GetU16(entry + CentralEntry::Flags) & DataDescriptorFlag) {
            uint8_t signature[4];
            end += DataDescriptorSize;
            if (end + 4 <= directoryOffset &&
                ReadAt(file, end - DataDescriptorSize, signature, 4) &&
                GetU32(signature) == DataDescriptorSignature)
                end += 4;
        }
        if (end > directoryOffset) return "its archive is damaged (a member runs past its end)";
        member.length = uint32_t(end - member.start);
        layout.members.push_back(member);
        at += recordLength;
    }
    if (layout.members.size() != entryCount)
        return "its archive is damaged (the end record miscounts the members)";

    std::vector<const MemberBlock*> byPlace;
    for (const MemberBlock& member : layout.members)
        byPlace.push_back(&member);
    std::sort(byPlace.begin(), byPlace.end(),
              [](const MemberBlock* a, const MemberBlock* b) { return a->start < b->start; });
    for (size_t i = 1; i < byPlace.size(); ++i)
        if (uint64_t(byPlace[i - 1]->start) + byPlace[i - 1]->length > byPlace[i]->start)
            return "its archive is damaged (two members overlap)";
    layout.programLength = byPlace.empty() ? directoryEnd : byPlace.front()->start;
    return nullptr;
}

// The rewritten file, written front to back; any failure sticks.
class Output {
  public:
    explicit Output(std::FILE* file_) : file(file_) {}
    bool Put(const void* bytes, size_t n) {
        if (!ok || position + n > UINT32_MAX) return ok = false;
        ok = n == 0 || std::fwrite(bytes, 1, n, file) == n;
        position += n;
        return ok;
    }
    bool Copy(FileStream& from, uint64_t offset, uint64_t n) {
        static uint8_t buffer[65536];
        if (!ok || from.SeekTo(offset) != 0) return ok = false;
        while (ok && n > 0) {
            uint32_t chunk = n < sizeof buffer ? uint32_t(n) : uint32_t(sizeof buffer);
            ok = from.Read(buffer, chunk) == chunk && Put(buffer, chunk);
            n -= chunk;
        }
        return ok;
    }
    void Abandon() { ok = false; }
    uint32_t Position() const { return uint32_t(position); }
    bool Ok() const { return ok; }
    bool Finish() {
        bool flushed = std::fflush(file) == 0;
#ifndef _WIN32
        flushed = flushed && fsync(fileno(file)) == 0;
#endif
        bool closed = std::fclose(file) == 0;
        file = nullptr;
        return ok && flushed && closed;
    }
    ~Output() {
        if (file) std::fclose(file);
    }

  private:
    std::FILE* file;
    uint64_t position = 0;
    bool ok = true;
};

bool IsRegularFile(const char* path, struct stat& status) {
    return stat(path, &status) == 0 && S_ISREG(status.st_mode);
}

bool Refuse(RewriteFailure& failure, const std::string& file, const std::string& message) {
    failure.file = file;
    failure.message = message;
    return false;
}

}  // namespace

bool RewriteArchive(const char* archiveArgument, const char* member, const char* replacement,
                    RewriteFailure& failure) {
    // A link is followed: the file it names is rewritten, the link stays.
    std::error_code ignored;
    std::string archive = archiveArgument;
    if (std::filesystem::is_symlink(archive, ignored)) {
        std::filesystem::path resolved = std::filesystem::canonical(archive, ignored);
        if (!resolved.empty()) archive = resolved.string();
    }

    struct stat archiveStatus;
    if (!IsRegularFile(archive.c_str(), archiveStatus))
        return Refuse(failure, archiveArgument, "cannot be opened for reading");
    FileStream input;
    if (!input.Open(archive.c_str(), ReadFlags))
        return Refuse(failure, archiveArgument, "cannot be opened for reading");
    ArchiveLayout layout;
    if (const char* problem = ReadLayout(input, layout))
        return Refuse(failure, archiveArgument, problem);
    auto target = std::find_if(layout.members.begin(), layout.members.end(),
                               [&](const MemberBlock& m) { return SameName(m.name, member); });
    if (target == layout.members.end())
        return Refuse(failure, archiveArgument,
                      std::string("has no member named \"") + member + "\" (archive unchanged)");

    FileStream source;
    uint64_t sourceSize = 0;
    if (replacement) {
        struct stat status;
        if (stat(replacement, &status) != 0)
            return Refuse(failure, replacement, "cannot be opened for reading");
        if (!S_ISREG(status.st_mode))
            return Refuse(failure, replacement, "is not a regular file (write it to a file first)");
        if (!source.Open(replacement, ReadFlags))
            return Refuse(failure, replacement, "cannot be opened for reading");
        sourceSize = source.Size();
        if (sourceSize > UINT32_MAX)
            return Refuse(failure, replacement,
                          "is larger than a member can be (4 GiB less one byte)");
    }

    // Someone else's file of that name is not ours to overwrite.
    std::string newPath = archive + ".rewrite";
    struct stat existing;
    if (stat(newPath.c_str(), &existing) == 0)
        return Refuse(failure, newPath, "already exists; remove it and try again");
    std::FILE* file = std::fopen(newPath.c_str(), "wb");
    if (!file) return Refuse(failure, newPath, "cannot be created (archive unchanged)");
    Output output(file);

    output.Copy(input, 0, layout.programLength);
    std::string directory;
    uint16_t entryCount = 0;
    for (const MemberBlock& block : layout.members) {
        uint32_t offset = output.Position();
        if (&block != &*target) {
            output.Copy(input, block.start, block.length);
            std::string central = block.central;
            PutU32(reinterpret_cast<uint8_t*>(&central[0]) + CentralEntry::LocalHeaderOffset,
                   offset);
            directory += central;
            ++entryCount;
            continue;
        }
        if (!replacement) continue;
        // The new bytes go in as the writer stores an added member.
        uint16_t nameLength = uint16_t(block.name.size());
        uint8_t header[LocalHeader::Size] = {};
        PutU32(header + LocalHeader::Signature, LocalHeaderSignature);
        PutU16(header + LocalHeader::VersionNeeded, ArchiveFormat::VersionNeeded);
        PutU32(header + LocalHeader::CompressedSize, uint32_t(sourceSize));
        PutU32(header + LocalHeader::UncompressedSize, uint32_t(sourceSize));
        PutU16(header + LocalHeader::NameLength, nameLength);
        output.Put(header, sizeof header);
        output.Put(block.name.data(), nameLength);
        uint32_t dataStart = output.Position();
        output.Copy(source, 0, sourceSize);
        // A file that grew or shrank while it was copied is not taken.
        if (output.Position() - dataStart != sourceSize || source.Size() != sourceSize)
            output.Abandon();
        uint8_t central[CentralEntry::Size] = {};
        PutU32(central + CentralEntry::Signature, CentralEntrySignature);
        PutU16(central + CentralEntry::VersionMadeBy, VersionMadeBy);
        PutU16(central + CentralEntry::VersionNeeded, ArchiveFormat::VersionNeeded);
        PutU32(central + CentralEntry::CompressedSize, uint32_t(sourceSize));
        PutU32(central + CentralEntry::UncompressedSize, uint32_t(sourceSize));
        PutU16(central + CentralEntry::NameLength, nameLength);
        PutU32(central + CentralEntry::LocalHeaderOffset, offset);
        directory.append(reinterpret_cast<const char*>(central), sizeof central);
        directory += block.name;
        ++entryCount;
    }
    uint32_t directoryOffset = output.Position();
    output.Put(directory.data(), directory.size());
    uint8_t record[EndRecord::Size] = {};
    PutU32(record + EndRecord::Signature, OwnEndRecordSignature);
    PutU16(record + EndRecord::EntriesOnDisk, entryCount);
    PutU16(record + EndRecord::TotalEntries, entryCount);
    PutU32(record + EndRecord::DirectorySize, uint32_t(directory.size()));
    PutU32(record + EndRecord::DirectoryOffset, directoryOffset);
    output.Put(record, sizeof record);

    bool written = output.Finish();
    input.Close();
    source.Close();
    // The rewritten program keeps the old one's permissions (run bits).
    if (written) written = chmod(newPath.c_str(), archiveStatus.st_mode & 07777) == 0;
    if (!written) {
        std::remove(newPath.c_str());
        return Refuse(failure, archiveArgument,
                      "could not be rewritten: no room on the disk, a read failed, or the "
                      "archive would pass 4 GiB (archive unchanged)");
    }
    if (std::rename(newPath.c_str(), archive.c_str()) != 0) {
        // rename does not replace a file everywhere.
        if (std::remove(archive.c_str()) != 0 || std::rename(newPath.c_str(), archive.c_str()) != 0)
            return Refuse(failure, archiveArgument,
                          "could not be replaced; the rewritten archive is " + newPath);
    }
    return true;
}
