// Existence tests and folder creation through the Win32 file search and
// directory calls. Paths of up to 255 characters; longer ones are refused.
#pragma once

#include <cstddef>

// True if a find-first search for path (a name or a wildcard pattern) finds
// anything, folders included.
bool FileExists(const char* path);

// True if searching path + "/*.*" finds anything (no "/" when path is empty
// or already ends in a separator).
bool FolderExists(const char* path);

// Creates the folder and any missing parents. True only if the folder itself
// was created by this call: a folder that already exists gives false. When
// outermost is given, it gets the first folder created (the outermost one,
// so every folder from it down to path is new), or "" when none was.
bool CreateFolderPath(const char* path, char* outermost = nullptr, size_t outermostSize = 0);

// True when a file or folder that path names, from the one whose name ends
// after the first checkFrom characters on, is a link (a junction or a
// symbolic link: a reparse point). The check stops at the first name that does
// not exist, since nothing below it can be a link yet; a name that cannot be
// examined, or a path of 260 characters or more, counts as a link. Systems
// before NT 5 know no links and never set the attribute.
bool PathHasLink(const char* path, size_t checkFrom);
