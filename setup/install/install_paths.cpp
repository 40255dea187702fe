#include "setup/install/install_paths.h"

#include <cstring>
#include <strings.h>

#include "setup/media/path_text.h"

bool ConcatPath(char* destination, size_t size, const char* first, const char* second,
                const char* third) {
    const char* parts[3] = {first, second, third};
    size_t used = 0;
    for (const char* part : parts) {
        if (!part) continue;
        size_t length = strlen(part);
        if (length >= size - used) {
            if (size) destination[0] = '\0';
            return false;
        }
        memmove(destination + used, part, length);
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

bool StartsWithNoCase(const char* text, const char* prefix) {
    return strncasecmp(text, prefix, strlen(prefix)) == 0;
}

bool EndsWithNoCase(const char* text, const char* suffix) {
    size_t textLength = strlen(text);
    size_t suffixLength = strlen(suffix);
    return textLength >= suffixLength && strcasecmp(text + textLength - suffixLength, suffix) == 0;
}

const char* RelativeSourceName(const char* entryName) {
    const char* name = entryName;
    if (StartsWithNoCase(name, "data/")) name += 5;
    if (StartsWithNoCase(name, "./")) name += 2;
    return name;
}
