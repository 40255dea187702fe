// Free space of a drive and the short size texts of the destination page.
#pragma once

#include <cstdint>

#include "setup/install/size_text.h"

// Free bytes of the drive holding path, 0 when unknown; 4 GiB or more is
// reported as 0xFFFFFFFF.
uint32_t GetDriveFreeBytes(const char* path);
