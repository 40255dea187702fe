#include "setup/media/source_walk.h"

#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "setup/media/path_text.h"
#include "setup/media/source_state.h"
#include "setup/shell/shell.h"

namespace {

constexpr uint32_t ArchiveSlotCount = 20;
constexpr uint32_t NoLimit = 0xFFFFFFFF;
constexpr size_t RuleMessageSize = 512;

// Everything of one walk that stays the same across its levels.
struct WalkRules {
    bool allowSpaces;
    uint32_t maxLength;
    bool dirsOnly;
    bool stripExtension;
    uint32_t stride;
    uint32_t nameRoom;  // bytes a stored name may take, terminator included
    const char* mustContain;
    bool withFolderPrefix;
    bool recursive;
};

// Where the next record goes; advanced by stride per recorded match.
struct WalkCursor {
    char* names;
    char* sizes;  // byte address of the next 32-bit size field
};

bool IsFolder(const WIN32_FIND_DATAA& found) {
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

[[noreturn]] void RefuseName(const char* format, const char* name, uint32_t maxLength = 0) {
    char text[RuleMessageSize];
    snprintf(text, sizeof text, format, name, static_cast<int>(maxLength));
    ShowMessage(IllegalNameTitle, text);
    exit(-1);
}

void CheckNameRules(const WalkRules& rules, const char* name) {
    if (rules.maxLength != 0 && strlen(name) > rules.maxLength)
        RefuseName("\"%s\" is an illegal file name bacause it is more that %d characters long",
                   name, rules.maxLength);
    if (!rules.allowSpaces && strchr(name, ' '))
        RefuseName("\"%s\" is an illegal file name bacause it contains a space character", name);
    if (strchr(name, '~'))
        RefuseName("\"%s\" is an illegal file name bacause it contains a tilde character", name);
}

// Stores one match at the cursor; false when its text does not fit.
bool StoreName(const WalkRules& rules, const char* folderPart, const char* name, char* record) {
    // Only the name loses its extension, never a dot of the folder part.
    size_t nameLength = strlen(name);
    if (rules.stripExtension) {
        if (const char* dot = strrchr(name, '.')) nameLength = static_cast<size_t>(dot - name);
    }
    char text[WalkPathSize];
    if (snprintf(text, sizeof text, "%s%.*s", rules.withFolderPrefix ? folderPart : "",
                 static_cast<int>(nameLength), name) >= static_cast<int>(sizeof text))
        return false;
    size_t length = strlen(text);
    if (length + 1 > rules.nameRoom) return false;
    memcpy(record, text, length + 1);
    return true;
}

bool FolderHoldsMatch(const char* folderPart, const char* name, const char* mustContain) {
    char pattern[WalkPathSize];
    if (snprintf(pattern, sizeof pattern, "%s%s/%s", folderPart, name, mustContain) >=
        static_cast<int>(sizeof pattern))
        return false;
    return WalkFolder(pattern, FolderWalk{}) != 0;
}

uint32_t Walk(const WalkRules& rules, const char* pattern, WalkCursor& cursor, uint32_t maxCount,
              uint32_t& skip);

// AUTORUN.INF at the top of the source belongs to the disc, as the setup
// program does: it starts Setup when the disc is inserted. Installed, it would
// be a stray file with a Start Menu shortcut of its own.
bool IsDiscAutorun(const char* folderPart, const char* name) {
    char top[WalkPathSize];
    return _stricmp(name, "AUTORUN.INF") == 0 &&
           snprintf(top, sizeof top, "%s/", sourceRoot) < static_cast<int>(sizeof top) &&
           strcmp(folderPart, top) == 0;
}

// First pass: the matches of this folder, in the order the search gives them.
uint32_t WalkMatches(const WalkRules& rules, const char* pattern, const char* folderPart,
                     WalkCursor& cursor, uint32_t maxCount, uint32_t& skip) {
    uint32_t count = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        if (IsFolder(found) != rules.dirsOnly || found.cFileName[0] == '.' ||
            IsDiscAutorun(folderPart, found.cFileName))
            continue;
        if (rules.mustContain && IsFolder(found) &&
            !FolderHoldsMatch(folderPart, found.cFileName, rules.mustContain))
            continue;
        if (skip > 0) {
            --skip;
            continue;
        }
        if (cursor.names) {
            CheckNameRules(rules, found.cFileName);
            if (!StoreName(rules, folderPart, found.cFileName, cursor.names)) continue;
            cursor.names += rules.stride;
        }
        if (cursor.sizes) {
            uint32_t size = found.nFileSizeLow;
            memcpy(cursor.sizes, &size, sizeof size);
            cursor.sizes += rules.stride;
        }
        ++count;
    } while ((maxCount == 0 || count < maxCount) && FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

// Second pass: each sub-folder, depth first, with the same file part.
uint32_t WalkSubFolders(const WalkRules& rules, const char* folderPart, const char* filePart,
                        WalkCursor& cursor, uint32_t maxCount, uint32_t count, uint32_t& skip) {
    char allPattern[WalkPathSize];
    if (snprintf(allPattern, sizeof allPattern, "%s*.*", folderPart) >=
        static_cast<int>(sizeof allPattern))
        return count;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(allPattern, &found);
    if (search == INVALID_HANDLE_VALUE) return count;
    do {
        if (!IsFolder(found) || found.cFileName[0] == '.') continue;
        char subPattern[WalkPathSize];
        if (snprintf(subPattern, sizeof subPattern, "%s%s/%s", folderPart, found.cFileName,
                     filePart) >= static_cast<int>(sizeof subPattern))
            continue;  // too deep for the path buffers: not searched
        count += Walk(rules, subPattern, cursor, maxCount == 0 ? 0 : maxCount - count, skip);
    } while ((maxCount == 0 || count < maxCount) && FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

uint32_t Walk(const WalkRules& rules, const char* pattern, WalkCursor& cursor, uint32_t maxCount,
              uint32_t& skip) {
    char folderPart[WalkPathSize];
    if (snprintf(folderPart, sizeof folderPart, "%s", pattern) >=
        static_cast<int>(sizeof folderPart))
        return 0;
    char* filePartInFolder = FileNamePart(folderPart);
    const char* filePart = pattern + (filePartInFolder - folderPart);
    *filePartInFolder = '\0';

    uint32_t count = WalkMatches(rules, pattern, folderPart, cursor, maxCount, skip);
    if (rules.recursive && (maxCount == 0 || count < maxCount))
        count = WalkSubFolders(rules, folderPart, filePart, cursor, maxCount, count, skip);
    return count;
}

bool BuildSourcePattern(char* buffer, const char* pattern) {
    return snprintf(buffer, WalkPathSize, "%s/%s", sourceRoot, pattern) <
           static_cast<int>(WalkPathSize);
}

}  // namespace

uint32_t WalkFolder(const char* pattern, const FolderWalk& walk) {
    WalkRules rules{walk.allowSpaces, walk.maxLength,
                    walk.dirsOnly,    walk.stripExtension,
                    walk.stride,      ListingNameRoom(walk.names, walk.sizes, walk.stride),
                    walk.mustContain, walk.withFolderPrefix,
                    walk.recursive};
    WalkCursor cursor{walk.names, reinterpret_cast<char*>(walk.sizes)};
    uint32_t skip = walk.skip;
    return Walk(rules, pattern, cursor, walk.maxCount, skip);
}

uint32_t WalkFolder(bool allowSpaces, uint32_t maxLength, const char* pattern, bool dirsOnly,
                    bool stripExtension, char* names, uint32_t* sizes, uint32_t maxCount,
                    uint32_t stride, const char* mustContain, bool withFolderPrefix, bool recursive,
                    uint32_t skip) {
    FolderWalk walk;
    walk.allowSpaces = allowSpaces;
    walk.maxLength = maxLength;
    walk.dirsOnly = dirsOnly;
    walk.stripExtension = stripExtension;
    walk.names = names;
    walk.sizes = sizes;
    walk.maxCount = maxCount;
    walk.stride = stride;
    walk.mustContain = mustContain;
    walk.withFolderPrefix = withFolderPrefix;
    walk.recursive = recursive;
    walk.skip = skip;
    return WalkFolder(pattern, walk);
}

void OpenSource(const char* root, bool useArchive) {
    snprintf(sourceRoot, sizeof sourceRoot, "%s", root);
    if (sourceArchiveOpen) exit(-1);
    if (!useArchive) return;

    char candidate[WalkPathSize];
    sourceArchiveOpen = GetModulePath(candidate, sizeof candidate) &&
                        sourceArchive.OpenArchive(candidate, ArchiveSlotCount);
    if (sourceArchiveOpen) return;
    static const char* const extensions[] = {".ZIP", ".DAT"};
    for (const char* extension : extensions) {
        sourceArchiveOpen = snprintf(candidate, sizeof candidate, "%s%s", root, extension) <
                                static_cast<int>(sizeof candidate) &&
                            sourceArchive.OpenArchive(candidate, ArchiveSlotCount);
        if (sourceArchiveOpen) return;
    }
}

void CloseSource() {
    if (!sourceArchiveOpen) return;
    sourceArchive.CloseArchive();
    sourceArchiveOpen = 0;
}

uint32_t ListSourceFiles(const char* pattern, char* names, uint32_t* sizes, uint32_t stride,
                         uint32_t maxCount, int bareNames, int recursive, int dirsOnly,
                         uint32_t skip) {
    if (sourceArchiveOpen)
        return sourceArchive.ListEntries(pattern, names, sizes, stride, maxCount, bareNames != 0,
                                         recursive != 0, skip);
    char fullPattern[WalkPathSize];
    if (!BuildSourcePattern(fullPattern, pattern)) return 0;
    FolderWalk walk;
    walk.maxLength = stride - 1;
    walk.dirsOnly = dirsOnly != 0;
    walk.names = names;
    walk.sizes = sizes;
    walk.maxCount = maxCount;
    walk.stride = stride;
    walk.withFolderPrefix = bareNames == 0;
    walk.recursive = recursive != 0;
    walk.skip = skip;
    return WalkFolder(fullPattern, walk);
}

uint32_t CountSourceFiles(const char* pattern, int recursive, int dirsOnly) {
    if (sourceArchiveOpen)
        return sourceArchive.ListEntries(pattern, nullptr, nullptr, 0, NoLimit, true,
                                         recursive != 0, 0);
    char fullPattern[WalkPathSize];
    if (!BuildSourcePattern(fullPattern, pattern)) return 0;
    FolderWalk walk;
    walk.maxLength = NoLimit;
    walk.dirsOnly = dirsOnly != 0;
    walk.maxCount = NoLimit;
    walk.recursive = recursive != 0;
    return WalkFolder(fullPattern, walk);
}

uint32_t ListSourceFiles(const char* pattern, const SourceListing& listing) {
    return ListSourceFiles(pattern, listing.names, listing.sizes, listing.stride, listing.maxCount,
                           listing.bareNames ? 1 : 0, listing.recursive ? 1 : 0,
                           listing.dirsOnly ? 1 : 0, listing.skip);
}

uint32_t CountSourceTree(const char* pattern) {
    return CountSourceFiles(pattern, 1, 0);
}
