// Path text helpers shared by the setup program. Both '\' and '/' count as
// separators; a separator that a helper inserts is '\'. The in-place helpers
// take the buffer's size and refuse (return false, buffer unchanged) a result
// that would not fit.
#pragma once

#include <cstddef>

// Overwrites path from its last '.' (or its end, when it has none) with
// extension. The last '.' anywhere counts, also one inside a folder name.
bool ReplaceExtension(char* path, size_t size, const char* extension);

// Appends '\' unless path is empty or already ends in a separator, then name.
bool AppendPathPart(char* path, size_t size, const char* name);

// Appends '\' unless path is empty or already ends in a separator.
bool AddTrailingSeparator(char* path, size_t size);

// The part after the later of the last '\' and the last '/'; the whole path
// when it has no separator or ends in one.
const char* FileNamePart(const char* path);
char* FileNamePart(char* path);

// True for '\' and '/'.
inline bool IsPathSeparator(char c) {
    return c == '\\' || c == '/';
}
