#include "test_files.h"

#include <windows.h>
#include <cstdio>

#include "setup/media/archive_format.h"

namespace {

int scratchCounter = 0;

void CreateParents(const std::string& path) {
    for (size_t i = 3; i < path.size(); ++i)
        if (path[i] == '\\' || path[i] == '/') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
}

}  // namespace

ScratchFolder::ScratchFolder() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    char name[MAX_PATH];
    snprintf(name, sizeof name, "%svexlo-install-%lu-%d", temp, GetCurrentProcessId(),
             ++scratchCounter);
    path = name;
    RemoveTree(path);
    CreateDirectoryA(path.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
    RemoveTree(path);
}

std::string ScratchFolder::operator/(const std::string& relative) const {
    return path + "\\" + relative;
}

CurrentFolder::CurrentFolder(const std::string& folder) {
    char buffer[MAX_PATH];
    GetCurrentDirectoryA(sizeof buffer, buffer);
    previous = buffer;
    SetCurrentDirectoryA(folder.c_str());
}

CurrentFolder::~CurrentFolder() {
    SetCurrentDirectoryA(previous.c_str());
}

void WriteFileBytes(const std::string& path, const std::string& content) {
    CreateParents(path);
    std::FILE* file = fopen(path.c_str(), "wb");
    if (!file) return;
    fwrite(content.data(), 1, content.size(), file);
    fclose(file);
}

void WriteFileOfSize(const std::string& path, uint32_t size) {
    std::string content(size, '\0');
    for (uint32_t i = 0; i < size; ++i)
        content[i] = static_cast<char>('a' + i % 26);
    WriteFileBytes(path, content);
}

std::string ReadFileBytes(const std::string& path, bool* exists) {
    std::string content;
    std::FILE* file = fopen(path.c_str(), "rb");
    if (exists) *exists = file != nullptr;
    if (!file) return content;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0)
        content.append(buffer, n);
    fclose(file);
    return content;
}

bool PathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

void WriteEmptyArchive(const std::string& path, const std::string& content) {
    uint8_t end[ArchiveFormat::EndRecord::Size] = {};
    ArchiveFormat::PutU32(end + ArchiveFormat::EndRecord::Signature,
                          ArchiveFormat::EndRecordSignature);
    ArchiveFormat::PutU32(end + ArchiveFormat::EndRecord::DirectoryOffset,
                          static_cast<uint32_t>(content.size()));
    WriteFileBytes(path, content + std::string(reinterpret_cast<char*>(end), sizeof end));
}

bool ReadArchiveMembers(const std::string& path, std::vector<ArchiveMember>* members) {
    using namespace ArchiveFormat;
    members->clear();
    std::string file = ReadFileBytes(path);
    if (file.size() < EndRecord::Size) return false;
    auto bytes = reinterpret_cast<const uint8_t*>(file.data());
    const uint8_t* end = bytes + file.size() - EndRecord::Size;
    if (!IsEndSignature(GetU32(end + EndRecord::Signature))) return false;
    uint32_t count = GetU16(end + EndRecord::TotalEntries);
    size_t offset = GetU32(end + EndRecord::DirectoryOffset);
    for (uint32_t i = 0; i < count; ++i) {
        if (offset + CentralEntry::Size > file.size()) return false;
        const uint8_t* entry = bytes + offset;
        uint16_t nameLength = GetU16(entry + CentralEntry::NameLength);
        size_t local = GetU32(entry + CentralEntry::LocalHeaderOffset);
        uint32_t size = GetU32(entry + CentralEntry::UncompressedSize);
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

std::vector<std::string> SplitCrlfLines(const std::string& text, bool* crlfOnly) {
    std::vector<std::string> lines;
    *crlfOnly = true;
    size_t start = 0;
    while (start < text.size()) {
        size_t lf = text.find('\n', start);
        if (lf == std::string::npos) {
            *crlfOnly = false;
            lines.push_back(text.substr(start));
            break;
        }
        if (lf == start || text[lf - 1] != '\r') {
            *crlfOnly = false;
            lines.push_back(text.substr(start, lf - start));
        } else {
            lines.push_back(text.substr(start, lf - 1 - start));
        }
        start = lf + 1;
    }
    return lines;
}
