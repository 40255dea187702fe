#include "folder_link.h"

#include <windows.h>

#include <cstdint>

namespace {

constexpr DWORD LinkWaitMs = 10000;

// The Unix path of a Windows path under Wine; "" elsewhere.
std::string UnixPath(const std::string& path) {
    using Convert = char*(CDECL*)(LPCWSTR);
    auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) return "";
    wchar_t wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH)) return "";
    char* unixPath = convert(wide);
    if (!unixPath) return "";
    std::string result = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

// Starts a program of the Unix host (Wine starts those too). Wine's handle
// of such a process does not tell when it ends: the caller looks for the
// program's effect instead.
bool RunHostTool(const char* tool, const std::string& arguments) {
    std::string command = std::string(tool) + " " + arguments;
    std::string program = std::string("Z:") + tool;
    for (char& c : program)
        if (c == '/') c = '\\';
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    if (process.hThread) CloseHandle(process.hThread);
    if (process.hProcess) CloseHandle(process.hProcess);
    return true;
}

}  // namespace

FolderLink::FolderLink(const std::string& link, const std::string& target) : link(link) {
    std::string unixLink = UnixPath(link), unixTarget = UnixPath(target);
    description = "link " + unixLink + " to " + unixTarget;
    if (unixLink.empty() || unixTarget.empty()) return;
    if (!RunHostTool("/bin/ln", "-s \"" + unixTarget + "\" \"" + unixLink + "\"")) {
        description += ": ln did not start";
        return;
    }
    // Wine may report the host program ended before it has run: look again.
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    for (DWORD begun = GetTickCount(); GetTickCount() - begun < LinkWaitMs; Sleep(50)) {
        attributes = GetFileAttributesA(link.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) break;
    }
    description += ": attributes " + std::to_string(attributes);
    made = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

FolderLink::~FolderLink() {
    std::string unixLink = UnixPath(link);
    if (unixLink.empty()) return;
    RunHostTool("/bin/rm", "-f \"" + unixLink + "\"");
    // Gone before anything that removes folders with their content comes by.
    for (DWORD begun = GetTickCount(); GetTickCount() - begun < LinkWaitMs; Sleep(50)) {
        if (GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES) break;
    }
}
