// What the fuzz targets share: a scratch file per process, and a check that
// stops the run (libFuzzer keeps the input as a crash) when a property fails.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz_support {

// /tmp/vexlo-fuzz-<pid>.<suffix>: one process never runs two inputs at once.
inline std::string ScratchPath(const char* suffix) {
    char path[96];
    std::snprintf(path, sizeof path, "/tmp/vexlo-fuzz-%d.%s", int(getpid()), suffix);
    return path;
}

inline bool WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

inline std::string ReadBytes(const std::string& path) {
    std::string bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, got);
    std::fclose(f);
    return bytes;
}

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, what);
    std::abort();
}

}  // namespace fuzz_support

#define FUZZ_CHECK(condition) \
    ((condition) ? void(0) : fuzz_support::Fail(#condition, __FILE__, __LINE__))
