// The Uninstall registry entry below HKEY_LOCAL_MACHINE (UninstallKeyPath):
// UninstallString, DisplayName and GameDest, all REG_SZ.
#pragma once

// Room for a value read back; a longer stored value cannot be read.
constexpr unsigned RegistryValueSize = 260;

// Writes the key with UninstallString = "\"folder+commandFile\" arguments",
// DisplayName = displayName and GameDest = folder+gameFile (folder and name
// joined with one backslash). True when the key and all three values were set;
// false also when a text does not fit RegistryValueSize (nothing is written then).
bool WriteUninstallKey(const char* folder, const char* gameFile, const char* commandFile,
                       const char* arguments, const char* displayName);

// Reads GameDest into gameDest and UninstallString into uninstallString, both
// buffers of RegistryValueSize bytes. True only when both values were read.
bool ReadUninstallKey(char* gameDest, char* uninstallString);

// Sets the entry's record of the outermost folder the installation created
// ("" for none); false when that failed.
bool WriteCreatedFolder(const char* folder);

// Deletes the key (it has no subkeys); the result is not reported.
void DeleteUninstallKey();
