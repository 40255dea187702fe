// Free space of a drive and the short size texts of the destination page.
#pragma once

#include <cstdint>

// Free bytes of the drive holding path, 0 when unknown; 4 GiB or more is
// reported as 0xFFFFFFFF.
uint32_t GetDriveFreeBytes(const char* path);

// A short text for a byte count ("1023 bytes", "1.5 KB", "38.7 MB" ...), in one
// buffer shared by all calls: the next call overwrites it.
const char* FormatSize(uint32_t bytes);
