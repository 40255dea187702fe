#include "test_support.h"

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "setup/media/archive_format.h"

std::string Formatted(const char* format, ...) {
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    bytes->clear();
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes->append(chunk, got);
    bool read = !std::ferror(file);
    std::fclose(file);
    return read;
}

std::string ReadFileBytes(const std::string& path, bool* exists) {
    std::string bytes;
    bool read = ReadFileBytes(path, &bytes);
    if (exists) *exists = read;
    return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    std::error_code ignored;
    if (!parent.empty()) std::filesystem::create_directories(parent, ignored);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

bool ReadArchiveMembers(const std::string& path, std::vector<ArchiveMember>* members,
                        uint32_t* directoryOffset) {
    using namespace ArchiveFormat;
    members->clear();
    std::string file;
    if (!ReadFileBytes(path, &file) || file.size() < EndRecord::Size) return false;
    auto bytes = reinterpret_cast<const uint8_t*>(file.data());
    size_t endAt = file.size() - EndRecord::Size;
    const uint8_t* end = bytes + endAt;
    if (!IsEndSignature(GetU32(end + EndRecord::Signature))) return false;
    uint32_t count = GetU16(end + EndRecord::TotalEntries);
    size_t offset = GetU32(end + EndRecord::DirectoryOffset);
    if (directoryOffset) *directoryOffset = uint32_t(offset);
    for (uint32_t i = 0; i < count; ++i) {
        if (offset + CentralEntry::Size > endAt) return false;
        const uint8_t* entry = bytes + offset;
        if (GetU32(entry + CentralEntry::Signature) != CentralEntrySignature) return false;
        uint16_t nameLength = GetU16(entry + CentralEntry::NameLength);
        size_t local = GetU32(entry + CentralEntry::LocalHeaderOffset);
        uint32_t size = GetU32(entry + CentralEntry::UncompressedSize);
        if (offset + CentralEntry::Size + nameLength > endAt) return false;
        if (local + LocalHeader::Size > file.size()) return false;
        size_t data = local + LocalHeader::Size + GetU16(bytes + local + LocalHeader::NameLength) +
                      GetU16(bytes + local + LocalHeader::ExtraLength);
        if (data + size > file.size()) return false;
        members->push_back(
            {std::string(reinterpret_cast<const char*>(entry) + CentralEntry::Size, nameLength),
             file.substr(data, size)});
        offset += CentralEntry::Size + nameLength + GetU16(entry + CentralEntry::ExtraLength) +
                  GetU16(entry + CentralEntry::CommentLength);
    }
    return true;
}
