#include "setup/install/size_text.h"

#include <cstdio>

namespace {

constexpr uint32_t KiB = 1024;
constexpr uint32_t MiB = 1024 * 1024;

}  // namespace

const char* FormatSize(uint32_t bytes) {
    static char text[32];
    if (bytes < KiB)
        snprintf(text, sizeof text, "%u bytes", bytes);
    else if (bytes < 99 * KiB)
        snprintf(text, sizeof text, "%.1f KB", bytes / 1024.0);
    else if (bytes < MiB)
        snprintf(text, sizeof text, "%u KB", bytes / KiB);
    else if (bytes < 99 * MiB)
        snprintf(text, sizeof text, "%.1f MB", bytes / 1048576.0);
    else
        snprintf(text, sizeof text, "%u MB", bytes / MiB);
    return text;
}
