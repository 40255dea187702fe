#include "setup/install/registry.h"

#include <windows.h>
#include <cstdio>
#include <cstring>

#include "common/contract.h"
#include "setup/media/path_text.h"
#include "setup/shell/setup_state.h"

namespace {

bool SetTextValue(HKEY key, const char* name, const char* text) {
    DWORD length = static_cast<DWORD>(strlen(text) + 1);  // the terminator is stored too
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), length) ==
           ERROR_SUCCESS;
}

// Reads a text value into a buffer of RegistryValueSize bytes, always terminated.
bool QueryTextValue(HKEY key, const char* name, char* buffer) {
    DWORD size = RegistryValueSize;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS)
        return false;
    if (size == 0 || buffer[size - 1] != '\0') {
        // Stored without its terminator: terminate it if there is room.
        if (size >= RegistryValueSize) return false;
        buffer[size] = '\0';
    }
    return true;
}

}  // namespace

bool WriteUninstallKey(const char* folder, const char* gameFile, const char* commandFile,
                       const char* arguments, const char* displayName) {
    char command[RegistryValueSize];
    char uninstallString[RegistryValueSize];
    char gameDest[RegistryValueSize];
    if (!JoinPath(command, sizeof command, folder, commandFile)) return false;
    int length = snprintf(uninstallString, sizeof uninstallString, "\"%s\" %s", command, arguments);
    if (length < 0 || static_cast<size_t>(length) >= sizeof uninstallString) return false;
    if (!JoinPath(gameDest, sizeof gameDest, folder, gameFile)) return false;

    HKEY key;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, UninstallKeyPath, &key) != ERROR_SUCCESS) return false;
    bool written = SetTextValue(key, "UninstallString", uninstallString) &&
                   SetTextValue(key, "DisplayName", displayName) &&
                   SetTextValue(key, "GameDest", gameDest);
    RegCloseKey(key);
    return written;
}

bool WriteCreatedFolder(const char* folder) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UninstallKeyPath, 0, KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS)
        return false;
    // An empty text is no record (and needs no call beyond those the disc
    // target already imports).
    bool done =
        strlen(folder) < RegistryValueSize && SetTextValue(key, VEXLO_CREATED_FOLDER_VALUE, folder);
    RegCloseKey(key);
    return done;
}

bool ReadUninstallKey(char* gameDest, char* uninstallString) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UninstallKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    bool read = QueryTextValue(key, "UninstallString", uninstallString) &&
                QueryTextValue(key, "GameDest", gameDest);
    RegCloseKey(key);
    return read;
}

void DeleteUninstallKey() {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, UninstallKeyPath);
}
