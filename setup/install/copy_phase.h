// The copy phase of the install sequence: every file of the source tree is
// copied to the destination folder, and every .mp3 decoded into a .wav member
// of the installed game executable. Creates the uninstall list afresh.
#pragma once

#include <cstdint>

// One record of the copy phase's listing.
struct SourceEntry {
    char name[512];  // "./" + folders + name, '/' between them
    uint32_t size;
};
static_assert(sizeof(SourceEntry) == 516, "listing records are 516 bytes apart");

// Weight of a file for the progress bars: 0 for "./Setup*"; else its size
// (thirty times that for an .mp3) plus 102,400.
uint64_t SourceFileWeight(const char* name, uint32_t size);

void CopySourceTree();
