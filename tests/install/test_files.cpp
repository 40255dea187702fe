#include "test_files.h"

#include <windows.h>
#include <cstdio>

#include "setup/media/archive_format.h"

namespace {

int scratchCounter = 0;

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

void WriteFileOfSize(const std::string& path, uint32_t size) {
    std::string content(size, '\0');
    for (uint32_t i = 0; i < size; ++i)
        content[i] = static_cast<char>('a' + i % 26);
    WriteFileBytes(path, content);
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
