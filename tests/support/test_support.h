// What every test suite needs of files: whole files read and written, and the
// members of the archive at the end of a file. Portable: native and Wine tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The whole file into bytes; false when it cannot be opened or read.
// One of the product's message texts with its blanks filled in (as the
// programs fill them, with printf's rules).
std::string Formatted(const char* format, ...);

bool ReadFileBytes(const std::string& path, std::string* bytes);
// The whole file; empty when it cannot be read. exists tells which.
std::string ReadFileBytes(const std::string& path, bool* exists = nullptr);
// Writes bytes to path, creating the folders on the way; false when any of
// it failed.
bool WriteFileBytes(const std::string& path, const std::string& bytes);

struct ArchiveMember {
    std::string name;
    std::string data;
};
// The members of the archive at the end of the file, in directory order, and
// where its directory begins; false when the file has no end record in its
// last 22 bytes or a record points outside the file.
bool ReadArchiveMembers(const std::string& path, std::vector<ArchiveMember>* members,
                        uint32_t* directoryOffset = nullptr);
