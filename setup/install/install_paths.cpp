#include "setup/install/install_paths.h"

#include <cstring>
#include <strings.h>

#include "product_names.h"

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

bool IsSetupFile(const char* relativeName) {
    return StartsWithNoCase(relativeName, "Setup");
}

bool IsAudioFile(const char* name) {
    return EndsWithNoCase(name, ".mp3");
}

bool IsConfigFile(const char* name) {
    // The product lists its settings extensions, separated by spaces.
    const char* extension = NoShortcutExtensions;
    while (*extension) {
        while (*extension == ' ')
            ++extension;
        size_t length = strcspn(extension, " ");
        if (length == 0) break;
        char one[32];
        if (length < sizeof one) {
            memcpy(one, extension, length);
            one[length] = '\0';
            if (EndsWithNoCase(name, one)) return true;
        }
        extension += length;
    }
    return false;
}
