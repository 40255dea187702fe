// Bounded text helpers of the install engine: every path it builds goes
// through these, and a path that does not fit is refused, never cut.
#pragma once

#include <cstddef>

// destination := folder joined with name (a backslash in between unless the
// folder is empty or ends in a separator). False, destination empty, if it does
// not fit in size bytes.
bool JoinPath(char* destination, size_t size, const char* folder, const char* name);

// destination := first + second + third (null parts are skipped; first may be
// destination itself). False, destination empty, if it does not fit in size bytes.
bool ConcatPath(char* destination, size_t size, const char* first, const char* second = nullptr,
                const char* third = nullptr);

bool StartsWithNoCase(const char* text, const char* prefix);
bool EndsWithNoCase(const char* text, const char* suffix);

// The name of a source entry relative to the destination: a leading "data/"
// is dropped, then a leading "./" (both case-insensitive).
const char* RelativeSourceName(const char* entryName);
