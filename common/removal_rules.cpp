#include "common/removal_rules.h"

#include <cstring>

#include "common/contract.h"

namespace removal {

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool EqualsIgnoringCase(const char* a, size_t length, const char* b) {
    if (strlen(b) != length) return false;
    for (size_t i = 0; i < length; ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

// Names the system takes for a device in any folder, extension or not.
bool IsDeviceName(const char* step, size_t length) {
    static const char* const fixed[] = {"con", "prn", "aux", "nul", "conin$", "conout$", "clock$"};
    size_t base = 0;
    while (base < length && step[base] != '.')
        ++base;
    while (base > 0 && step[base - 1] == ' ')
        --base;
    for (const char* name : fixed)
        if (EqualsIgnoringCase(step, base, name)) return true;
    if (base == 4 && (EqualsIgnoringCase(step, 3, "com") || EqualsIgnoringCase(step, 3, "lpt"))) {
        return step[3] >= '0' && step[3] <= '9';
    }
    return false;
}

// One name between separators.
Verdict CheckStep(const char* step, size_t length) {
    if (length == 0) return Verdict::EmptyStep;
    if (step[length - 1] == '.' || step[length - 1] == ' ') return Verdict::DotStep;
    if (IsDeviceName(step, length)) return Verdict::DeviceName;
    return Verdict::Inside;
}

bool EndsWithIgnoringCase(const char* text, const char* end) {
    size_t length = strlen(text), endLength = strlen(end);
    return length >= endLength && EqualsIgnoringCase(text + length - endLength, endLength, end);
}

// Stores a checked folder text with one trailing '\'.
bool StoreFolder(const char* folder, size_t length, char* out) {
    char normalized[PathBufferSize];
    if (length > 0 && IsSeparator(folder[length - 1])) --length;
    if (CheckAbsolutePath(folder, length, normalized) != Verdict::Inside) return false;
    if (length + 1 > PathLimit) return false;
    // A drive's root alone ("C:") is no folder of an installation.
    if (length < 4) return false;
    memcpy(out, normalized, length);
    out[length] = '\\';
    out[length + 1] = '\0';
    return true;
}

}  // namespace

Verdict CheckAbsolutePath(const char* text, size_t length, char* normalized) {
    if (length == 0) return Verdict::Empty;
    if (length > PathLimit) return Verdict::TooLong;
    if (IsSeparator(text[0]) && length > 1 && IsSeparator(text[1])) {
        return Verdict::NetworkOrDevice;
    }
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20) return Verdict::BadCharacter;
        if (c == '*' || c == '?' || c == '<' || c == '>' || c == '"' || c == '|') {
            return Verdict::Wildcard;
        }
    }
    if (IsSeparator(text[0])) return Verdict::NotAbsolute;
    if (length < 2 || !IsLetter(text[0]) || text[1] != ':') {
        // No drive: a relative path, unless a ':' further on names a stream.
        return memchr(text, ':', length) ? Verdict::BadCharacter : Verdict::NotAbsolute;
    }
    if (length < 3 || !IsSeparator(text[2])) return Verdict::DriveRelative;
    if (memchr(text + 2, ':', length - 2)) return Verdict::BadCharacter;

    for (size_t i = 0; i < length; ++i)
        normalized[i] = text[i] == '/' ? '\\' : text[i];
    normalized[length] = '\0';

    // Every name after "C:\"; a trailing separator leaves an empty last name.
    size_t start = 3;
    for (size_t i = 3; i <= length; ++i) {
        if (i == length || normalized[i] == '\\') {
            Verdict step = CheckStep(normalized + start, i - start);
            if (step != Verdict::Inside) return step;
            start = i + 1;
        }
    }
    return Verdict::Inside;
}

bool IsSameOrInside(const char* path, const char* folder) {
    size_t folderLength = strlen(folder);
    if (folderLength > 0 && folder[folderLength - 1] == '\\') --folderLength;
    size_t pathLength = strlen(path);
    if (pathLength < folderLength) return false;
    for (size_t i = 0; i < folderLength; ++i)
        if (Lower(path[i]) != Lower(folder[i])) return false;
    return pathLength == folderLength || path[folderLength] == '\\';
}

bool RemovalRoots::SetGameFolder(const char* gameDest) {
    gameFolder[0] = '\0';
    size_t length = strlen(gameDest);
    size_t folderLength = length;
    while (folderLength > 0 && !IsSeparator(gameDest[folderLength - 1]))
        --folderLength;
    // The game's own name must be well-formed too.
    char normalized[PathBufferSize];
    if (folderLength == length ||
        CheckAbsolutePath(gameDest, length, normalized) != Verdict::Inside) {
        return false;
    }
    // A game at a drive's root (an installation of an earlier Setup): the
    // root is its folder, but only files directly in it are the game's.
    if (folderLength == 3 && IsLetter(gameDest[0]) && gameDest[1] == ':') {
        gameFolder[0] = gameDest[0];
        gameFolder[1] = ':';
        gameFolder[2] = '\\';
        gameFolder[3] = '\0';
        return true;
    }
    return StoreFolder(gameDest, folderLength, gameFolder);
}

bool RemovalRoots::AddProgramsFolder(const char* folder) {
    if (programsCount == MaxProgramsFolders) return false;
    if (!StoreFolder(folder, strlen(folder), programsFolders[programsCount])) return false;
    ++programsCount;
    return true;
}

Verdict ResolveLine(const char* text, size_t length, const RemovalRoots& roots, ResolvedLine* out) {
    out->root = Root::None;
    out->path[0] = '\0';
    Verdict verdict = CheckAbsolutePath(text, length, out->path);
    if (verdict != Verdict::Inside) {
        out->path[0] = '\0';
        return verdict;
    }
    // Only the backslash as written cuts off the file name (a '/' does not).
    out->folderEnd = 0;
    for (size_t i = 0; i < length; ++i)
        if (text[i] == '\\') out->folderEnd = i + 1;

    const char* game = roots.GameFolder();
    size_t gameLength = strlen(game);
    // At a drive's root nothing in a folder below it is the game's: those
    // folders are the drive's.
    bool belowRoot = gameLength == 3 && strchr(out->path + gameLength, '\\');
    if (gameLength > 0 && length > gameLength && !belowRoot && IsSameOrInside(out->path, game)) {
        out->root = Root::GameFolder;
        out->rootLength = gameLength;
        return Verdict::Inside;
    }
    // A shortcut: a ".lnk" file in a group folder below a Programs folder,
    // never one lying in the Programs folder itself.
    for (size_t i = 0; i < roots.ProgramsFolderCount(); ++i) {
        const char* programs = roots.ProgramsFolder(i);
        size_t programsLength = strlen(programs);
        if (length <= programsLength || !IsSameOrInside(out->path, programs)) continue;
        if (!strchr(out->path + programsLength, '\\')) continue;
        if (!EndsWithIgnoringCase(out->path, ".lnk")) continue;
        out->root = Root::ProgramsGroup;
        out->rootLength = programsLength;
        return Verdict::Inside;
    }
    return Verdict::Outside;
}

Verdict ResolveFolder(const char* text, size_t length, const RemovalRoots& roots,
                      char out[PathBufferSize]) {
    out[0] = '\0';
    while (length > 0 && IsSeparator(text[length - 1]))
        --length;
    char path[PathBufferSize];
    Verdict verdict = CheckAbsolutePath(text, length, path);
    if (verdict != Verdict::Inside) return verdict;
    // "C:" alone, a drive's root, is no installation's folder.
    if (length < 4) return Verdict::Outside;
    bool accepted = false;
    const char* game = roots.GameFolder();
    if (game[0] != '\0') {
        // Inside the game's folder (or the folder itself), or above it.
        accepted = IsSameOrInside(path, game) || IsSameOrInside(game, path);
    }
    for (size_t i = 0; i < roots.ProgramsFolderCount() && !accepted; ++i) {
        const char* programs = roots.ProgramsFolder(i);
        accepted = IsSameOrInside(path, programs) && length + 1 > strlen(programs);
    }
    if (!accepted) return Verdict::Outside;
    memcpy(out, path, length + 1);
    return Verdict::Inside;
}

JournalLine ParseJournalLine(const char* text, size_t length) {
    JournalLine line;
    if (length == 1 && text[0] == VEXLO_JOURNAL_DONE) {
        line.tag = JournalTag::Done;
        return line;
    }
    if (length < 3 || text[1] != ' ') return line;
    if (text[0] == VEXLO_JOURNAL_KEPT)
        line.tag = JournalTag::Kept;
    else if (text[0] == VEXLO_JOURNAL_FOLDER)
        line.tag = JournalTag::CreatedFolder;
    else
        return line;
    line.path = text + 2;
    line.pathLength = length - 2;
    return line;
}

bool ListLines::Next(const char** line, size_t* length) {
    if (position >= size) return false;
    const char* start = bytes + position;
    const void* lineEnd = memchr(start, '\n', size - position);
    size_t taken = lineEnd ? size_t(static_cast<const char*>(lineEnd) - start) : size - position;
    position += taken + (lineEnd ? 1 : 0);
    if (taken > 0 && start[taken - 1] == '\r') --taken;
    *line = start;
    *length = taken;
    return true;
}

}  // namespace removal
