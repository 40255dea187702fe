// The source of an installation: the folder tree under sourceRoot, or the
// entries of a source archive when one is open; listings of its files with
// the rules on file names.
#pragma once

#include <cstdint>

// Title of the message shown before a name that breaks a rule ends the program.
constexpr const char IllegalNameTitle[] = "Illeagal file name";
// Room for every path the walk builds (search patterns, folder prefixes).
constexpr uint32_t WalkPathSize = 256;

// Sets sourceRoot to root; with useArchive, opens the first archive of: the
// running program itself, root + ".ZIP", root + ".DAT". Ends the program with
// -1 when the source archive is still open.
void OpenSource(const char* root, bool useArchive);
// Closes the source archive if one is open.
void CloseSource();

// Records up to maxCount files (or folders with dirsOnly) matching pattern
// below sourceRoot, or the archive's entries when it is open. names and sizes
// advance by stride bytes per record and may share one; either may be null.
// Names are "./data/a.mp3" style unless bareNames. Returns the count recorded.
uint32_t ListSourceFiles(const char* pattern, char* names, uint32_t* sizes, uint32_t stride,
                         uint32_t maxCount, int bareNames, int recursive, int dirsOnly,
                         uint32_t skip);
// Counts the matches without recording them; no name rule applies.
uint32_t CountSourceFiles(const char* pattern, int recursive, int dirsOnly);

// ListSourceFiles with its flags named. By default: the whole tree, files
// only, names with their folders, no skip.
struct SourceListing {
    char* names = nullptr;      // the first record's name field; null: no names
    uint32_t* sizes = nullptr;  // the first record's size field; null: no sizes
    uint32_t stride = 0;        // bytes from one record to the next
    uint32_t maxCount = 0;
    bool bareNames = false;
    bool recursive = true;
    bool dirsOnly = false;
    uint32_t skip = 0;
};
uint32_t ListSourceFiles(const char* pattern, const SourceListing& listing);

// The files of the whole source tree that match pattern.
uint32_t CountSourceTree(const char* pattern);

// The folder walk: the matches of the pattern's folder first, then, when
// recursive, each sub-folder depth first with the same file part. skip passes
// over that many matches across the whole walk; maxCount 0 means no limit.
// maxLength 0 means no length rule. A name that breaks a rule (longer than
// maxLength, a space without allowSpaces, a '~') shows its message and ends
// the program with -1. A match whose stored text would not fit in stride bytes
// (or in the path buffers) is passed over.
uint32_t WalkFolder(bool allowSpaces, uint32_t maxLength, const char* pattern, bool dirsOnly,
                    bool stripExtension, char* names, uint32_t* sizes, uint32_t maxCount,
                    uint32_t stride, const char* mustContain, bool withFolderPrefix, bool recursive,
                    uint32_t skip);

// WalkFolder with its arguments named; the defaults walk one folder with no
// rule and no limit.
struct FolderWalk {
    bool allowSpaces = true;
    uint32_t maxLength = 0;
    bool dirsOnly = false;
    bool stripExtension = false;
    char* names = nullptr;
    uint32_t* sizes = nullptr;
    uint32_t maxCount = 0;
    uint32_t stride = 0;
    const char* mustContain = nullptr;
    bool withFolderPrefix = false;
    bool recursive = false;
    uint32_t skip = 0;
};
uint32_t WalkFolder(const char* pattern, const FolderWalk& walk);
