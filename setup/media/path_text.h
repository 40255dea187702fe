// Path text helpers shared by the setup program: the one set of bounded copy
// and join helpers. Both '\' and '/' count as separators; a separator that a
// helper inserts is '\'. Each takes the buffer's size and refuses a result
// that would not fit: a path is never cut.
#pragma once

#include <cstddef>

// buffer := text. False, buffer unchanged, if it does not fit in size bytes.
bool CopyText(char* buffer, size_t size, const char* text);

// destination := first + second + third (null parts are skipped; first may be
// destination itself). False, destination empty, if it does not fit in size bytes.
bool ConcatPath(char* destination, size_t size, const char* first, const char* second = nullptr,
                const char* third = nullptr);

// destination := folder joined with name (a backslash in between unless the
// folder is empty or ends in a separator). False, destination empty, if it does
// not fit in size bytes.
bool JoinPath(char* destination, size_t size, const char* folder, const char* name);

// The in-place helpers below leave the buffer unchanged when they refuse.

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
