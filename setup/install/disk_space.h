// Free space of a drive and the short size texts of the destination page.
#pragma once

#include <cstdint>

#include "setup/install/size_text.h"

// Free bytes of the drive holding path (available to this user), 0 when
// unknown. The whole figure where the system has GetDiskFreeSpaceExA; without
// it, the older call's figure, 0xFFFFFFFF for 4 GiB or more.
uint64_t GetDriveFreeBytes(const char* path);
