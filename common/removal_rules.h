// Which lines of an uninstall list a removal may act on: the uninstaller's,
// Setup's undo of a failed installation and its start-up recovery alike. A line counts
// only when, read as written, it names a file strictly inside the installed
// game's folder or a shortcut strictly inside a group folder below a Start
// Menu Programs folder. Everything else is refused before anything is
// touched. Pure text rules: no file-system access here (links are the
// caller's business, checked on the disk).
#pragma once

#include <cstddef>

namespace removal {

// Paths live in buffers of this size; a line of more characters than
// PathLimit is refused whole.
constexpr size_t PathBufferSize = 260;
constexpr size_t PathLimit = PathBufferSize - 1;
constexpr size_t MaxProgramsFolders = 2;

enum class Verdict {
    Inside,           // acted on
    Empty,            // nothing on the line
    TooLong,          // more than PathLimit characters
    BadCharacter,     // NUL, control character or ':' past the drive
    NotAbsolute,      // no drive: "a.txt", "\a.txt", "..\a.txt"
    DriveRelative,    // "C:a.txt"
    NetworkOrDevice,  // "\\server\share", "\\?\", "\\.\"
    EmptyStep,        // two separators in a row
    DotStep,          // ".", "..", or a name ending in '.' or ' ' (the system drops those)
    Wildcard,         // '*', '?', '<', '>', '"', '|'
    DeviceName,       // CON, NUL, COM1, LPT1, AUX, PRN, ... with or without extension
    Outside,          // well-formed, but not inside a root
};

enum class Root { None, GameFolder, ProgramsGroup };

struct ResolvedLine {
    char path[PathBufferSize];  // the line with '/' turned into '\'
    Root root = Root::None;
    size_t rootLength = 0;  // length of the root folder, its trailing '\' included
    size_t folderEnd = 0;   // where the line's text after its last '\' begins
};

// The folders a list may reach. Texts are kept in the checked form: '\'
// only, ending in '\'.
class RemovalRoots {
  public:
    // The game's folder is the folder of GameDest (the game's full path). It
    // must be a well-formed absolute path. A drive's root ("E:\\", where an
    // earlier Setup could install) is the game folder only for files lying
    // directly in it. False (and no game folder) otherwise.
    bool SetGameFolder(const char* gameDest);
    // A Start Menu Programs folder (the user's or the common one); shortcut
    // lines must lie in a sub-folder of it. False when not well-formed.
    bool AddProgramsFolder(const char* folder);

    const char* GameFolder() const { return gameFolder; }
    // The game folder is a drive's root ("E:\\"), which is never removed.
    bool GameAtDriveRoot() const { return gameFolder[0] && gameFolder[3] == '\0'; }
    size_t ProgramsFolderCount() const { return programsCount; }
    const char* ProgramsFolder(size_t i) const { return programsFolders[i]; }

  private:
    char gameFolder[PathBufferSize] = "";
    char programsFolders[MaxProgramsFolders][PathBufferSize] = {};
    size_t programsCount = 0;
};

// Checks the well-formedness of an absolute path of length bytes (NUL bytes
// inside count as characters, and are refused) and writes it with '\' only.
Verdict CheckAbsolutePath(const char* text, size_t length, char* normalized);

// Resolves one list line of length bytes (without its line end).
Verdict ResolveLine(const char* text, size_t length, const RemovalRoots& roots, ResolvedLine* out);

// True when path (checked form) equals folder or lies inside it; case-insensitive.
bool IsSameOrInside(const char* path, const char* folder);

// Resolves a folder an installation says it created (a journal line): the
// game's folder, a folder inside it, a folder above it (the wizard may make
// C:\Games for C:\Games\Vexlo Demo, never a drive's root), or a group folder
// below a Programs folder. out gets the folder without a trailing '\'.
Verdict ResolveFolder(const char* text, size_t length, const RemovalRoots& roots,
                      char out[PathBufferSize]);

// One line of an installation's journal (see common/contract.h).
enum class JournalTag { Kept, CreatedFolder, Done, Unknown };
struct JournalLine {
    JournalTag tag = JournalTag::Unknown;
    const char* path = nullptr;  // into the line; not terminated
    size_t pathLength = 0;
};
JournalLine ParseJournalLine(const char* text, size_t length);

// The folders the empty-folder pass may try for an accepted line, innermost
// first: the line cut at its last '\' (as written: a '/' does not cut),
// then each folder above it, but only those strictly inside the root (the
// game's folder itself goes last of all, after the list). Calls visit(folder)
// for each; folder is a text without trailing separator.
template <typename Visit>
void ForEachEmptyFolderCandidate(const ResolvedLine& line, Visit visit) {
    char folder[PathBufferSize];
    for (size_t i = 0; i < line.folderEnd; ++i)
        folder[i] = line.path[i];
    folder[line.folderEnd] = '\0';
    for (size_t n = line.folderEnd; n-- > line.rootLength;) {
        if (folder[n] == '\\') {
            folder[n] = '\0';
            visit(static_cast<const char*>(folder));
        }
    }
}

// A list held in memory, read line by line. Lines end at '\n'; a '\r' before
// it is dropped. A NUL byte is part of its line (and makes it refused), never
// a line end.
class ListLines {
  public:
    ListLines(const char* bytes, size_t size) : bytes(bytes), size(size) {}
    // The next line and its length; false at the end.
    bool Next(const char** line, size_t* length);

  private:
    const char* bytes;
    size_t size;
    size_t position = 0;
};

}  // namespace removal
