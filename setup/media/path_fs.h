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

// A path that a removal rule accepted below a root of rootLength characters
// (ending in its separator), checked on the disk: true when a link from the
// root's own name down would lead it outside the root. A drive's root (E:\)
// has no name of its own ("E:" is the drive's current folder), so its names
// are checked from the first one below it. The uninstaller and Setup's undo
// and recovery all ask this one question.
bool LeadsOutsideRoot(const char* path, size_t rootLength);
