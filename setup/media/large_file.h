// Positions and lengths of C stdio files as 64-bit numbers on every platform:
// on Windows a long holds only 2 GiB, so fseek and ftell cannot reach past it.
#pragma once

#include <cstdint>
#include <cstdio>

// false when the position cannot be reached (negative or beyond the platform).
bool SeekFileTo(std::FILE* file, uint64_t offset);
// -1 when the position cannot be had.
int64_t TellFile(std::FILE* file);
// The file's length; the position is left where it was. -1 on failure (a
// pipe, for instance, has no length).
int64_t FileLength(std::FILE* file);
// Cuts (or extends) the file to length bytes; buffered bytes are pushed first.
bool CutFileTo(std::FILE* file, uint64_t length);
