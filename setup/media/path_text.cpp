#include "setup/media/path_text.h"

#include <cstring>

namespace {

bool EndsWithSeparator(const char* path, size_t length) {
    return length > 0 && IsPathSeparator(path[length - 1]);
}

}  // namespace

bool CopyText(char* buffer, size_t size, const char* text) {
    size_t length = std::strlen(text);
    if (length >= size) return false;
    std::memcpy(buffer, text, length + 1);
    return true;
}

bool ConcatPath(char* destination, size_t size, const char* first, const char* second,
                const char* third) {
    const char* parts[3] = {first, second, third};
    size_t used = 0;
    for (const char* part : parts) {
        if (!part) continue;
        size_t length = std::strlen(part);
        if (length >= size - used) {
            if (size) destination[0] = '\0';
            return false;
        }
        std::memmove(destination + used, part, length);
        used += length;
    }
    if (size == 0) return false;
    destination[used] = '\0';
    return true;
}

bool JoinPath(char* destination, size_t size, const char* folder, const char* name) {
    if (ConcatPath(destination, size, folder) && AppendPathPart(destination, size, name))
        return true;
    if (size) destination[0] = '\0';
    return false;
}

bool ReplaceExtension(char* path, size_t size, const char* extension) {
    size_t length = std::strlen(path);
    const char* dot = std::strrchr(path, '.');
    size_t keep = dot ? size_t(dot - path) : length;
    size_t extensionLength = std::strlen(extension);
    if (keep + extensionLength >= size) return false;
    std::memcpy(path + keep, extension, extensionLength + 1);
    return true;
}

bool AppendPathPart(char* path, size_t size, const char* name) {
    size_t length = std::strlen(path);
    bool addSeparator = length > 0 && !EndsWithSeparator(path, length);
    size_t nameLength = std::strlen(name);
    if (length + (addSeparator ? 1 : 0) + nameLength >= size) return false;
    if (addSeparator) path[length++] = '\\';
    std::memcpy(path + length, name, nameLength + 1);
    return true;
}

bool AddTrailingSeparator(char* path, size_t size) {
    size_t length = std::strlen(path);
    if (length == 0 || EndsWithSeparator(path, length)) return true;
    if (length + 1 >= size) return false;
    path[length] = '\\';
    path[length + 1] = '\0';
    return true;
}

const char* FileNamePart(const char* path) {
    const char* lastSeparator = nullptr;
    for (const char* p = path; *p; ++p) {
        if (IsPathSeparator(*p)) lastSeparator = p;
    }
    if (!lastSeparator || lastSeparator[1] == '\0') return path;
    return lastSeparator + 1;
}

char* FileNamePart(char* path) {
    return const_cast<char*>(FileNamePart(static_cast<const char*>(path)));
}
