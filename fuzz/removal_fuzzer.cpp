// A tampered uninstall list: arbitrary bytes read line by line, each line
// resolved against the installation's folders. Nothing is deleted: the
// target checks the decisions. A line taken must name something strictly
// inside the game's folder or a shortcut in a group below a Programs folder,
// in the checked form, and every folder the empty-folder pass may try must
// lie strictly inside the same root. Case never changes a decision.
//
// An input starting with '#' gives the game's path on its first line (after
// the '#') and a Programs folder on its second; others use fixed folders.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "common/removal_rules.h"

using namespace removal;

namespace {

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

char LowerCase(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// A folder as the roots keep it: absolute, '\' only, one trailing '\'.
void CheckStoredFolder(const char* folder) {
    size_t length = std::strlen(folder);
    FUZZ_CHECK(length >= 4 && length <= PathLimit);
    FUZZ_CHECK(folder[length - 1] == '\\');
    char normalized[PathBufferSize];
    FUZZ_CHECK(CheckAbsolutePath(folder, length - 1, normalized) == Verdict::Inside);
    FUZZ_CHECK(std::strchr(folder, '/') == nullptr);
}

// Every step of a checked path: no empty step, no '.' or ' ' at a step's
// end, nothing the system would read otherwise.
void CheckTakenPath(const char* path, size_t length) {
    FUZZ_CHECK(std::strlen(path) == length && length <= PathLimit);
    FUZZ_CHECK(length >= 4 && path[1] == ':' && path[2] == '\\');
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        FUZZ_CHECK(c >= 0x20 && c != '/' && !std::strchr("*?<>\"|", c));
        FUZZ_CHECK(c != ':' || i == 1);
        if (c == '\\') {
            FUZZ_CHECK(i + 1 < length && path[i + 1] != '\\');
            FUZZ_CHECK(path[i - 1] != '.' && path[i - 1] != ' ');
        }
    }
    FUZZ_CHECK(path[length - 1] != '.' && path[length - 1] != ' ');
}

const char* RootFolder(const RemovalRoots& roots, const ResolvedLine& line, const char* path) {
    if (line.root == Root::GameFolder) return roots.GameFolder();
    for (size_t i = 0; i < roots.ProgramsFolderCount(); ++i) {
        const char* folder = roots.ProgramsFolder(i);
        if (std::strlen(folder) == line.rootLength && IsSameOrInside(path, folder)) return folder;
    }
    return nullptr;
}

void CheckLine(const char* text, size_t length, const RemovalRoots& roots) {
    ResolvedLine line;
    Verdict verdict = ResolveLine(text, length, roots, &line);

    // Case never matters: not for device names, roots or ".lnk".
    std::string upper(text, length), lower(text, length);
    for (char& c : upper)
        c = Upper(c);
    for (char& c : lower)
        c = LowerCase(c);
    ResolvedLine other;
    FUZZ_CHECK(ResolveLine(upper.data(), length, roots, &other) == verdict);
    FUZZ_CHECK(ResolveLine(lower.data(), length, roots, &other) == verdict);

    if (verdict != Verdict::Inside) {
        FUZZ_CHECK(line.root == Root::None);
        if (verdict != Verdict::Outside) FUZZ_CHECK(line.path[0] == '\0');
        return;
    }
    FUZZ_CHECK(line.root != Root::None);
    CheckTakenPath(line.path, length);
    const char* root = RootFolder(roots, line, line.path);
    FUZZ_CHECK(root != nullptr);
    FUZZ_CHECK(std::strlen(root) == line.rootLength);
    // Strictly inside: at least one character past the root's '\'.
    FUZZ_CHECK(IsSameOrInside(line.path, root) && length > line.rootLength);
    if (line.root == Root::ProgramsGroup) {
        // A shortcut in a group folder, never in the Programs folder itself.
        FUZZ_CHECK(std::strchr(line.path + line.rootLength, '\\') != nullptr);
        FUZZ_CHECK(length >= 4 && LowerCase(line.path[length - 1]) == 'k' &&
                   LowerCase(line.path[length - 2]) == 'n' &&
                   LowerCase(line.path[length - 3]) == 'l' && line.path[length - 4] == '.');
    }
    FUZZ_CHECK(line.folderEnd <= length);

    size_t previous = length;
    ForEachEmptyFolderCandidate(line, [&](const char* folder) {
        size_t n = std::strlen(folder);
        // Innermost first, each a proper prefix of the line ending at a '\',
        // strictly inside the root (the root itself is never tried here).
        FUZZ_CHECK(n < previous);
        previous = n;
        FUZZ_CHECK(n >= line.rootLength && line.path[n] == '\\');
        FUZZ_CHECK(std::memcmp(folder, line.path, n) == 0);
        FUZZ_CHECK(IsSameOrInside(folder, root));
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ListLines lines(reinterpret_cast<const char*>(data), size);
    RemovalRoots roots;
    const char* text;
    size_t length;
    if (size > 0 && data[0] == '#') {
        std::string gameDest, programs;
        if (lines.Next(&text, &length)) gameDest.assign(text + 1, length - 1);
        if (lines.Next(&text, &length)) programs.assign(text, length);
        // As the uninstaller reads them: C strings.
        if (roots.SetGameFolder(gameDest.c_str()))
            CheckStoredFolder(roots.GameFolder());
        else
            FUZZ_CHECK(roots.GameFolder()[0] == '\0');
        if (roots.AddProgramsFolder(programs.c_str())) CheckStoredFolder(roots.ProgramsFolder(0));
    } else {
        FUZZ_CHECK(roots.SetGameFolder("C:\\Games\\Vexlo Demo\\VexloDmo.exe"));
        FUZZ_CHECK(roots.AddProgramsFolder("C:\\WINDOWS\\Start Menu\\Programs"));
        FUZZ_CHECK(roots.AddProgramsFolder("C:\\WINDOWS\\All Users\\Start Menu\\Programs\\"));
        FUZZ_CHECK(!roots.AddProgramsFolder("C:\\Third"));
    }

    // Lines cover the input: each ends at a '\n' (a '\r' before it dropped).
    size_t covered = 0;
    while (lines.Next(&text, &length)) {
        const char* start = reinterpret_cast<const char*>(data) + covered;
        FUZZ_CHECK(text >= start && std::memchr(text, '\n', length) == nullptr);
        covered = size_t(text - reinterpret_cast<const char*>(data)) + length;
        while (covered < size && data[covered] != '\n')
            covered++;  // the '\r' dropped
        if (covered < size) covered++;
        CheckLine(text, length, roots);
    }
    if (size > 0 && data[0] != '#') FUZZ_CHECK(covered == size);
    return 0;
}
