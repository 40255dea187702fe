#include "test_support.h"

#include <cstdio>
#include <cstring>

#include "setup/media/archive_format.h"
#include "setup/media/file_stream.h"

namespace {

constexpr char UninstallKeyRoot[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string KeyPath(const char* keyName) {
    return std::string(UninstallKeyRoot) + keyName;
}

std::string ProgramFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\'));
}

}  // namespace

std::string ProgramPath(const char* name) {
    return ProgramFolder() + "\\" + name;
}

ScratchFolder::ScratchFolder(const char* tag) {
    static int made = 0;
    char name[MAX_PATH];
    snprintf(name, sizeof name, "C:\\vexlo-%s-%lu-%d", tag, GetCurrentProcessId(), ++made);
    path = name;
    RemoveTree(path);
    CreateDirectoryA(path.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
    RemoveTree(path);
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return false;
    bytes->clear();
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes->append(chunk, got);
    fclose(file);
    return true;
}

bool CopyFileTo(const std::string& from, const std::string& to) {
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolders(const std::string& path) {
    for (size_t at = path.find_first_of("\\/", 3); at != std::string::npos;
         at = path.find_first_of("\\/", at + 1)) {
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    }
    CreateDirectoryA(path.c_str(), nullptr);
    return FolderExists(path);
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, "..")) continue;
            std::string inner = path + "\\" + found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(inner);
            } else {
                SetFileAttributesA(inner.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(inner.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

bool WriteUninstallEntry(const char* keyName, const std::string& gameDest,
                         const char* uninstallString) {
    DeleteUninstallEntry(keyName);
    HKEY key;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, KeyPath(keyName).c_str(), &key) != ERROR_SUCCESS) {
        return false;
    }
    auto set = [key](const char* name, const char* text) {
        return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                              DWORD(strlen(text) + 1)) == ERROR_SUCCESS;
    };
    bool written = (!uninstallString || set("UninstallString", uninstallString)) &&
                   set("DisplayName", "Vexlo Demo") && set("GameDest", gameDest.c_str());
    RegCloseKey(key);
    return written;
}

bool UninstallEntryExists(const char* keyName) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath(keyName).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

void DeleteUninstallEntry(const char* keyName) {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, KeyPath(keyName).c_str());
}

bool AppendEmptyArchive(const std::string& path) {
    namespace Format = ArchiveFormat;
    FILE* file = fopen(path.c_str(), "ab");
    if (!file || fseek(file, 0, SEEK_END) != 0) {
        if (file) fclose(file);
        return false;
    }
    // Members go after the file's own bytes: offsets count from its start.
    uint8_t record[Format::EndRecord::Size] = {};
    Format::PutU32(record + Format::EndRecord::Signature, Format::OwnEndRecordSignature);
    Format::PutU32(record + Format::EndRecord::DirectoryOffset, uint32_t(ftell(file)));
    bool written = fwrite(record, 1, sizeof record, file) == sizeof record;
    return fclose(file) == 0 && written;
}

bool AddMember(const std::string& archivePath, const char* name, const std::string& bytes) {
    FileStream member;
    if (!member.Open((archivePath + ";" + name).c_str(),
                     StreamWrite | StreamModify | StreamAbsolute)) {
        return false;
    }
    member.Write(bytes.data(), uint32_t(bytes.size()));
    return member.Close();
}

bool AddMemberFromFile(const std::string& archivePath, const char* name,
                       const std::string& sourcePath) {
    std::string bytes;
    return ReadFileBytes(sourcePath, &bytes) && AddMember(archivePath, name, bytes);
}

ProcessList::~ProcessList() {
    for (int i = 0; i < count; ++i) {
        if (!WaitProcessIdEnd(ids[i], 0, nullptr)) KillProcessId(ids[i]);
    }
}

bool ProcessList::Start(const char* program, const char* arguments, StartedProcess* started) {
    std::string path = strchr(program, '\\') ? program : ProgramPath(program);
    std::string folder = ProgramFolder();
    if (!StartProgram(path.c_str(), arguments, folder.c_str(), nullptr, started)) return false;
    Adopt(started->processId);
    return true;
}

void ProcessList::Adopt(DWORD processId) {
    if (processId && count < MaxProcesses) ids[count++] = processId;
}

namespace {

std::vector<std::string> ListFolders(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

}  // namespace

TempLeftovers::TempLeftovers(const char* pattern) : pattern(pattern) {
    char path[MAX_PATH];
    DWORD length = GetTempPathA(sizeof path, path);
    if (length == 0 || length >= sizeof path) return;
    folder = path;
    before = ListFolders(folder, pattern);
}

TempLeftovers::~TempLeftovers() {
    if (folder.empty()) return;
    for (const std::string& name : ListFolders(folder, pattern)) {
        bool old = false;
        for (const std::string& was : before)
            old = old || was == name;
        if (!old) RemoveTree(folder + name);
    }
}

std::string BoxText(HWND box) {
    char text[1024];
    if (!ReadMessageBoxText(box, text, sizeof text)) return "";
    return text;
}
