// What the tests look at in the Wine prefix besides windows: files and
// folders, and the Uninstall registry entries below HKEY_LOCAL_MACHINE.
#pragma once

#include <string>

#include "product_names.h"
#include "test_support.h"

// The Uninstall subkeys of the demo's and the full game's installs.
constexpr const char* DemoKeyName = ProductKeyName;
constexpr const char* FullGameKeyName = FullProductKeyName;

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
// Creates the folder and every missing folder above it.
bool MakeFolders(const std::string& path);
// Removes the folder (with or without its trailing separator) and everything in it.
void RemoveTree(const std::string& path);

// The entry "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<keyName>",
// written afresh with a DisplayName; a null value is left out.
bool WriteUninstallEntry(const char* keyName, const char* gameDest, const char* uninstallString);
// Sets one more text value of an existing entry.
bool WriteUninstallValue(const char* keyName, const char* valueName, const char* text);
bool UninstallEntryExists(const char* keyName);
void DeleteUninstallEntry(const char* keyName);
// A text value of the entry, without its terminating zero.
bool ReadUninstallValue(const char* keyName, const char* valueName, std::string* value);
