// The archive layout carried at the end of the game executable: ZIP's local
// headers, central directory and end record, stored members only, plus an end
// signature of our own that the writer always leaves behind.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ArchiveFormat {

constexpr uint32_t LocalHeaderSignature = 0x04034B50;   // "PK", 3, 4
constexpr uint32_t CentralEntrySignature = 0x02014B50;  // "PK", 1, 2
constexpr uint32_t EndRecordSignature = 0x06054B50;     // "PK", 5, 6
constexpr uint32_t OwnEndRecordSignature = 0x06055A51;  // "QZ", 5, 6

inline bool IsEndSignature(uint32_t signature) {
    return signature == EndRecordSignature || signature == OwnEndRecordSignature;
}

// Longest member name the directory record holds (84 bytes with terminator).
constexpr size_t MaxEntryName = 83;

// What the writer puts into the version fields.
constexpr uint16_t VersionNeeded = 10;
constexpr uint16_t VersionMadeBy = 42;

// Local file header: fixed part, then the name, the extra field and the data.
namespace LocalHeader {
constexpr size_t Signature = 0;
constexpr size_t VersionNeeded = 4;
constexpr size_t Flags = 6;
constexpr size_t Method = 8;
constexpr size_t Time = 10;
constexpr size_t Date = 12;
constexpr size_t Crc = 14;
constexpr size_t CompressedSize = 18;
constexpr size_t UncompressedSize = 22;
constexpr size_t NameLength = 26;
constexpr size_t ExtraLength = 28;
constexpr size_t Size = 30;
}  // namespace LocalHeader

// Central directory entry: fixed part, then the name, extra field and comment.
namespace CentralEntry {
constexpr size_t Signature = 0;
constexpr size_t VersionMadeBy = 4;
constexpr size_t VersionNeeded = 6;
constexpr size_t Flags = 8;
constexpr size_t Method = 10;
constexpr size_t Time = 12;
constexpr size_t Date = 14;
constexpr size_t Crc = 16;
constexpr size_t CompressedSize = 20;
constexpr size_t UncompressedSize = 24;
constexpr size_t NameLength = 28;
constexpr size_t ExtraLength = 30;
constexpr size_t CommentLength = 32;
constexpr size_t DiskNumberStart = 34;
constexpr size_t InternalAttributes = 36;
constexpr size_t ExternalAttributes = 38;
constexpr size_t LocalHeaderOffset = 42;
constexpr size_t Size = 46;
}  // namespace CentralEntry

// End of central directory record; expected as the file's last 22 bytes.
namespace EndRecord {
constexpr size_t Signature = 0;
constexpr size_t DiskNumber = 4;
constexpr size_t DirectoryDisk = 6;
constexpr size_t EntriesOnDisk = 8;
constexpr size_t TotalEntries = 10;
constexpr size_t DirectorySize = 12;
constexpr size_t DirectoryOffset = 16;
constexpr size_t CommentLength = 20;
constexpr size_t Size = 22;
}  // namespace EndRecord

// Little-endian access to the fields above.
inline uint16_t GetU16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
inline uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void PutU16(uint8_t* p, uint16_t value) {
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
}
inline void PutU32(uint8_t* p, uint32_t value) {
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
    p[2] = uint8_t(value >> 16);
    p[3] = uint8_t(value >> 24);
}

}  // namespace ArchiveFormat
