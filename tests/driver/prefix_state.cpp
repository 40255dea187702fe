#include "prefix_state.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr char UninstallKeyRoot[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string KeyPath(const char* keyName) {
    return std::string(UninstallKeyRoot) + keyName;
}

bool SetText(HKEY key, const char* name, const char* text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          DWORD(strlen(text) + 1)) == ERROR_SUCCESS;
}

}  // namespace

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
    std::string folder = path;
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    if (folder.empty()) return;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, "..")) continue;
            std::string inner = folder + "\\" + found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(inner);
            } else {
                SetFileAttributesA(inner.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(inner.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

bool WriteUninstallEntry(const char* keyName, const char* gameDest, const char* uninstallString) {
    DeleteUninstallEntry(keyName);
    HKEY key;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, KeyPath(keyName).c_str(), &key) != ERROR_SUCCESS)
        return false;
    bool written = (!uninstallString || SetText(key, "UninstallString", uninstallString)) &&
                   SetText(key, "DisplayName", ProductDisplayName) &&
                   (!gameDest || SetText(key, "GameDest", gameDest));
    RegCloseKey(key);
    return written;
}

bool WriteUninstallValue(const char* keyName, const char* valueName, const char* text) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath(keyName).c_str(), 0, KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS)
        return false;
    bool written = SetText(key, valueName, text);
    RegCloseKey(key);
    return written;
}

bool UninstallEntryExists(const char* keyName) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath(keyName).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void DeleteUninstallEntry(const char* keyName) {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, KeyPath(keyName).c_str());
}

bool ReadUninstallValue(const char* keyName, const char* valueName, std::string* value) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath(keyName).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return false;
    char buffer[1024];
    DWORD size = sizeof buffer, type = 0;
    LONG result =
        RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    // The stored length counts the terminating zero.
    if (result != ERROR_SUCCESS || type != REG_SZ || size == 0 || buffer[size - 1] != '\0')
        return false;
    value->assign(buffer, size - 1);
    return true;
}
