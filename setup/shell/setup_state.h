// The setup program's one record of process-wide state, and the product's
// build-time names that several subsystems share.
#pragma once

#include <windows.h>
#include <cstdint>

// The product's names and texts (GameExeName, ProductDisplayName,
// UninstallKeyPath, ...), made by the build from the product folder.
#include "product_names.h"

constexpr size_t StatePathSize = 260;

struct SetupState {
    HINSTANCE instance = nullptr;
    char sourceFolder[StatePathSize] = "";  // ends with its separator
    char destFolder[StatePathSize] = "";    // ends with a backslash once set
    // The outermost folder the wizard created for destFolder ("" when it
    // made none): the installation may remove those folders again, no other.
    char destCreatedFrom[StatePathSize] = "";
    char groupFolder[StatePathSize] = "";  // Start Menu folder for the shortcuts
    char groupLabel[StatePathSize] = "";   // label of radio button 1018
    uint8_t makeGroup = 1;
    uint64_t freeSpace = 0;  // bytes: drives hold far more than 4 GiB
    uint8_t restartNeeded = 0;
    char installedUninstall[StatePathSize] = "";
    char installedGame[StatePathSize] = "";
    HWND progressPage = nullptr;
    uint64_t totalWeight = 0;  // 64-bit: MP3 bytes weigh 30 each, so 32 bits overflow
    uint64_t doneWeight = 0;
    uint64_t fileWeight = 0;
};

extern SetupState setupState;

constexpr const char RemoveSwitch[] = "/REMOVE";
constexpr const char UninstallListName[] = "Remove.txt";
