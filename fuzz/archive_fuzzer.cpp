// Arbitrary bytes as an archive (a damaged disc, a tampered game executable):
// opened, listed and every member read as the installer reads them, then one
// member appended as the game's save writer does and read back. The appended
// member must come back byte for byte, or the append must fail and leave the
// file exactly as it was.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "setup/media/archive_reader.h"
#include "setup/media/archive_writer.h"

using namespace ArchiveFormat;

namespace {

constexpr const char AddedName[] = "saves/fuzz-added.sav";

// A listing record: name and size share it, as the installer's table does.
struct ListedEntry {
    char name[MaxEntryName + 1];
    uint32_t size;
};

struct OldEntry {
    std::string name;
    std::string bytes;
};

// Reads every member through an entry handle; the bytes must be the file's
// own at the member's data offset, and exactly its size.
std::vector<OldEntry> ReadEveryMember(ArchiveReader& reader, const std::string& file) {
    std::vector<OldEntry> members;
    for (uint32_t i = 0; i < reader.EntryCount(); ++i) {
        const ArchiveDirEntry& record = reader.Directory()[i];
        FUZZ_CHECK(uint64_t(record.dataOffset) + record.size <= file.size());
        members.push_back({record.name, file.substr(record.dataOffset, record.size)});

        EntryHandle* handle = reader.OpenEntry(record.name, i % 2 == 1);
        if (!record.name[0]) {  // an empty name cannot be asked for
            FUZZ_CHECK(handle == nullptr);
            continue;
        }
        FUZZ_CHECK(handle != nullptr);  // slots are closed again after each member
        int64_t size = reader.EntrySize(handle);
        FUZZ_CHECK(size >= 0);
        std::string bytes;
        char buffer[1024];
        uint32_t got;
        while ((got = reader.ReadEntry(handle, buffer, sizeof buffer)) > 0)
            bytes.append(buffer, got);
        FUZZ_CHECK(int64_t(bytes.size()) == size);
        FUZZ_CHECK(reader.EntryTell(handle) == size);
        // The first member of a name is the one opened.
        const ArchiveDirEntry* opened = handle->entry;
        FUZZ_CHECK(bytes == file.substr(opened->dataOffset, opened->size));
        if (size > 0) {
            FUZZ_CHECK(reader.SeekEntry(handle, 0, 0) == 1);
            FUZZ_CHECK(reader.EntryTell(handle) == 0);
            FUZZ_CHECK(reader.SeekEntry(handle, int32_t(size), 0) == 0);
            FUZZ_CHECK(reader.SeekEntry(handle, int32_t(size - 1), 1) == 1);
            FUZZ_CHECK(reader.ReadEntry(handle, buffer, sizeof buffer) == 1);
            FUZZ_CHECK(buffer[0] == bytes.back());
        }
        FUZZ_CHECK(reader.CloseEntry(handle) == 1);
        FUZZ_CHECK(reader.CloseEntry(handle) == 0);
    }
    return members;
}

void ListEverything(ArchiveReader& reader) {
    uint32_t count = reader.ListEntries("*", nullptr, nullptr, 0, 0, false, false, 0);
    FUZZ_CHECK(count == reader.EntryCount());
    std::vector<ListedEntry> listed(count + 1);
    uint32_t shown = reader.ListEntries("*", listed[0].name, &listed[0].size, sizeof(ListedEntry),
                                        count, false, true, 0);
    FUZZ_CHECK(shown == count);
    for (uint32_t i = 0; i < shown; ++i) {
        FUZZ_CHECK(std::strcmp(listed[i].name, reader.Directory()[i].name) == 0);
        FUZZ_CHECK(listed[i].size == reader.Directory()[i].size);
    }
    if (count == 0) return;
    // A pattern made from the first name's ends, bare names, one skipped.
    const char* first = reader.Directory()[0].name;
    size_t length = std::strlen(first);
    std::string pattern = std::string(first, length / 3) + "*" + (first + length - length / 3);
    uint32_t matched = reader.ListEntries(pattern.c_str(), listed[0].name, &listed[0].size,
                                          sizeof(ListedEntry), 0, true, false, 1);
    FUZZ_CHECK(matched + 1 <= count);
}

// An archive with no member that the writer may start from: an end record at
// the very end whose directory is empty.
bool IsEmptyArchive(const std::string& file) {
    if (file.size() < EndRecord::Size) return false;
    const uint8_t* record =
        reinterpret_cast<const uint8_t*>(file.data()) + file.size() - EndRecord::Size;
    return IsEndSignature(GetU32(record)) && GetU16(record + EndRecord::TotalEntries) == 0 &&
           GetU32(record + EndRecord::DirectorySize) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzz_support::ScratchPath("zip");
    if (!fuzz_support::WriteBytes(path, data, size)) return 0;
    const std::string original(reinterpret_cast<const char*>(data), size);

    std::vector<OldEntry> members;
    bool opened = false;
    {
        ArchiveReader reader;
        opened = reader.OpenArchive(path.c_str(), 2) == 1;
        if (opened) {
            FUZZ_CHECK(reader.EntryCount() > 0);
            ListEverything(reader);
            members = ReadEveryMember(reader, original);
        } else {
            FUZZ_CHECK(reader.EntryCount() == 0 && reader.Directory() == nullptr);
        }
    }

    // The appended bytes come from the input too: sizes 0 up to a few hundred.
    std::string payload;
    for (size_t i = 0; i < size % 397; ++i)
        payload += char(data[i % size] ^ uint8_t(i));

    bool damaged = true;
    ArchiveWriter* writer = ArchiveWriter::Create(path.c_str(), AddedName, &damaged);
    FUZZ_CHECK(!damaged);
    if (!writer) {
        FUZZ_CHECK(fuzz_support::ReadBytes(path) == original);
        std::remove(path.c_str());
        return 0;
    }
    // In two writes, as a save is written.
    size_t half = payload.size() / 2;
    FUZZ_CHECK(writer->Write(payload.data(), uint32_t(half)) == half);
    FUZZ_CHECK(writer->Write(payload.data() + half, uint32_t(payload.size() - half)) ==
               payload.size() - half);
    FUZZ_CHECK(writer->Size() == payload.size());
    bool appended = writer->Finish();
    bool restored = writer->Restored();
    delete writer;
    std::string after = fuzz_support::ReadBytes(path);
    if (!appended) {
        FUZZ_CHECK(restored);
        FUZZ_CHECK(after == original);
        std::remove(path.c_str());
        return 0;
    }

    // A readable archive (or an empty one) stays readable with the new member
    // last and every old member unchanged. Of a directory the reader refused
    // nothing is promised but the new member's own bytes when it opens.
    bool mustOpen = opened || IsEmptyArchive(original);
    ArchiveReader reader;
    if (reader.OpenArchive(path.c_str(), 1) != 1) {
        FUZZ_CHECK(!mustOpen);
        std::remove(path.c_str());
        return 0;
    }
    uint32_t count = reader.EntryCount();
    FUZZ_CHECK(count > 0);
    const ArchiveDirEntry& added = reader.Directory()[count - 1];
    FUZZ_CHECK(std::strcmp(added.name, AddedName) == 0);
    FUZZ_CHECK(added.size == payload.size());
    FUZZ_CHECK(after.substr(added.dataOffset, added.size) == payload);
    if (mustOpen) {
        FUZZ_CHECK(count == members.size() + 1);
        for (size_t i = 0; i < members.size(); ++i) {
            const ArchiveDirEntry& record = reader.Directory()[i];
            FUZZ_CHECK(members[i].name == record.name);
            FUZZ_CHECK(after.substr(record.dataOffset, record.size) == members[i].bytes);
        }
    }
    std::remove(path.c_str());
    return 0;
}
