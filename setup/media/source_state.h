// Where source names are resolved: the source root and the source archive.
// Set by the source walk when it opens the source; read by FileStream.
#pragma once

#include <cstdint>

#include "setup/media/archive_reader.h"

// Room for the source root, terminated.
constexpr uint32_t SourceRootSize = 256;

// The folder source names are relative to; initially ".".
extern char sourceRoot[SourceRootSize];
// The program's one archive reader: the source archive.
extern ArchiveReader sourceArchive;
// Result of the last OpenArchive on the source; non-zero while it is open.
extern int sourceArchiveOpen;
