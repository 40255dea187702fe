#include "setup/media/path_fs.h"

#include <windows.h>

#include <cstring>

#include "setup/media/path_text.h"

namespace {

// The helpers work on copies of at most 255 characters.
constexpr size_t PathCopySize = 256;

bool AnythingFound(const char* pattern) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

// Cuts path at its last '\', or at its last '/' when it has no '\'.
bool CutAtLastSeparator(char* path) {
    char* cut = std::strrchr(path, '\\');
    if (!cut) cut = std::strrchr(path, '/');
    if (!cut) return false;
    *cut = '\0';
    return true;
}

}  // namespace

bool FileExists(const char* path) {
    return path && AnythingFound(path);
}

bool FolderExists(const char* path) {
    if (!path) return false;
    char pattern[PathCopySize];
    size_t length = std::strlen(path);
    bool addSeparator = length > 0 && !IsPathSeparator(path[length - 1]);
    if (length + (addSeparator ? 1 : 0) + 3 >= sizeof pattern) return false;
    std::memcpy(pattern, path, length);
    if (addSeparator) pattern[length++] = '/';
    std::memcpy(pattern + length, "*.*", 4);
    return AnythingFound(pattern);
}

bool CreateFolderPath(const char* path, char* outermost, size_t outermostSize) {
    if (outermost && outermostSize > 0) outermost[0] = '\0';
    if (!path) return false;
    size_t length = std::strlen(path);
    if (length >= PathCopySize) return false;
    char full[PathCopySize];
    std::memcpy(full, path, length + 1);
    if (length > 0 && IsPathSeparator(full[length - 1])) full[--length] = '\0';

    // The first folder made is the outermost: its parent was there.
    bool createdAny = false;
    auto noteCreated = [&](const char* folder) {
        if (createdAny) return;
        createdAny = true;
        size_t folderLength = std::strlen(folder);
        if (outermost && folderLength < outermostSize)
            std::memcpy(outermost, folder, folderLength + 1);
    };
    // Each pass creates at least one missing folder or ends, so this ends.
    for (;;) {
        if (CreateDirectoryA(full, nullptr)) {
            noteCreated(full);
            return true;
        }
        char shorter[PathCopySize];
        std::memcpy(shorter, full, length + 1);
        bool createdParent = false;
        while (CutAtLastSeparator(shorter)) {
            if (CreateDirectoryA(shorter, nullptr)) {
                noteCreated(shorter);
                createdParent = true;
                break;
            }
        }
        if (!createdParent) return false;
    }
}

bool PathHasLink(const char* path, size_t checkFrom) {
    if (!path) return false;
    size_t length = std::strlen(path);
    char prefix[MAX_PATH];
    if (length >= sizeof prefix) return true;  // not checked: not to be trusted
    std::memcpy(prefix, path, length + 1);
    for (size_t end = checkFrom; end <= length; ++end) {
        if (end < length && !IsPathSeparator(prefix[end])) continue;
        if (end == 0 || IsPathSeparator(prefix[end - 1])) continue;  // no name ends here
        char kept = prefix[end];
        prefix[end] = '\0';
        DWORD attributes = GetFileAttributesA(prefix);
        prefix[end] = kept;
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            // Missing: nothing further down exists. Unreadable: not to be trusted.
            DWORD error = GetLastError();
            return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
        }
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
    }
    return false;
}

bool LeadsOutsideRoot(const char* path, size_t rootLength) {
    if (rootLength <= 3) return PathHasLink(path, rootLength);
    return PathHasLink(path, rootLength - 1);
}
