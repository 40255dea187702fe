// The short size texts of the destination page. Portable: no Win32 in it.
#pragma once

#include <cstdint>

// A short text for a byte count ("1023 bytes", "1.5 KB", "38.7 MB", "476837 MB"),
// in one buffer shared by all calls: the next call overwrites it.
const char* FormatSize(uint64_t bytes);
