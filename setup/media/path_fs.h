// Existence tests and folder creation through the Win32 file search and
// directory calls. Paths of up to 255 characters; longer ones are refused.
#pragma once

// True if a find-first search for path (a name or a wildcard pattern) finds
// anything, folders included.
bool FileExists(const char* path);

// True if searching path + "/*.*" finds anything (no "/" when path is empty
// or already ends in a separator).
bool FolderExists(const char* path);

// Creates the folder and any missing parents. True only if the folder itself
// was created by this call: a folder that already exists gives false.
bool CreateFolderPath(const char* path);
