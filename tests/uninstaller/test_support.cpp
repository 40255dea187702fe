#include "test_support.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "setup/media/archive_format.h"
#include "setup/media/file_stream.h"

namespace {

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

bool CopyFileTo(const std::string& from, const std::string& to) {
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
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

std::vector<std::string> TempLeftovers::Appeared() const {
    std::vector<std::string> paths;
    if (folder.empty()) return paths;
    for (const std::string& name : ListFolders(folder, pattern)) {
        bool old = false;
        for (const std::string& was : before)
            old = old || was == name;
        if (!old) paths.push_back(folder + name);
    }
    return paths;
}

bool TempLeftovers::WaitAllGone(unsigned timeoutMs) const {
    uint32_t begun = DriverClock();
    while (!Appeared().empty()) {
        if (DriverClock() - begun > timeoutMs) return false;
        Sleep(100);
    }
    return true;
}

TempLeftovers::~TempLeftovers() {
    for (const std::string& path : Appeared())
        RemoveTree(path);
}

std::string BoxText(HWND box) {
    char text[1024];
    if (!ReadMessageBoxText(box, text, sizeof text)) return "";
    return text;
}

std::string ProgramsFolder() {
    char path[MAX_PATH];
    if (!SHGetSpecialFolderPathA(nullptr, path, CSIDL_PROGRAMS, TRUE)) return "";
    return path;
}

std::string UniqueName(const char* base) {
    static int made = 0;
    return std::string(base) + " " + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++made);
}

std::string SilentWave(uint32_t dataSize) {
    std::string wave = "RIFF";
    auto u32 = [&wave](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            wave += char((v >> (8 * i)) & 0xFF);
    };
    auto u16 = [&wave](uint16_t v) {
        wave += char(v & 0xFF);
        wave += char(v >> 8);
    };
    u32(36 + dataSize);
    wave += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(8000);
    u32(16000);
    u16(2);
    u16(16);
    wave += "data";
    u32(dataSize);
    wave += std::string(dataSize, '\0');
    return wave;
}
