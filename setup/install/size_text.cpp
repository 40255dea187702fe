#include "setup/install/size_text.h"

#include <cstdio>

namespace {

constexpr uint64_t KiB = 1024;
constexpr uint64_t MiB = 1024 * 1024;

// Decimal digits of a count; the C libraries of the oldest systems the setup
// program runs on have no portable 64-bit printf conversion.
void FormatCount(char* text, uint64_t count, const char* unit) {
    char digits[24];
    int used = 0;
    do {
        digits[used++] = static_cast<char>('0' + count % 10);
        count /= 10;
    } while (count);
    char* out = text;
    while (used)
        *out++ = digits[--used];
    *out++ = ' ';
    while (*unit)
        *out++ = *unit++;
    *out = '\0';
}

}  // namespace

const char* FormatSize(uint64_t bytes) {
    static char text[32];
    if (bytes < KiB)
        FormatCount(text, bytes, "bytes");
    else if (bytes < 99 * KiB)
        snprintf(text, sizeof text, "%.1f KB", bytes / 1024.0);
    else if (bytes < MiB)
        FormatCount(text, bytes / KiB, "KB");
    else if (bytes < 99 * MiB)
        snprintf(text, sizeof text, "%.1f MB", bytes / 1048576.0);
    else
        FormatCount(text, bytes / MiB, "MB");
    return text;
}
