// The game's access to the archive at the end of its own file.
#pragma once

#include <cstdint>

#include "setup/media/archive_reader.h"

// Room for the game's own path and the paths built from it.
constexpr uint32_t GamePathSize = 260;

// The game's own full path; false when it does not fit.
bool GetGamePath(char* buffer, uint32_t size);

// Opens the archive at the end of the game's own file.
bool OpenOwnArchive(ArchiveReader& archive);

// Reads a whole member into a buffer from malloc (the caller frees it);
// null when the member is missing or cannot be read.
uint8_t* ReadMember(ArchiveReader& archive, const char* name, uint32_t* size);

// Writes a member out as the file at path, replacing it. On failure no part
// of the file is left behind.
bool ExtractMember(ArchiveReader& archive, const char* name, const char* path);
