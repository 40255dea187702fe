/* game_kit.h: the game's side of the disc's contract, in plain C.
 *
 * A game that the disc installs carries an archive at the end of its own
 * executable (ZIP's layout, members stored uncompressed). The install appends
 * members to it: each piece of music as a .wav and, last, the uninstall list
 * "Remove.txt". The disc's build adds the uninstaller as a member too. The
 * system's list of programs and the Start Menu's removal shortcut start the
 * game with the word /REMOVE on its command line; the game then hands over to
 * the uninstaller and ends at once, so that its own file can be deleted.
 *
 * This component gives the game both:
 *   - reading the archive: open a file's archive, list, find, read and
 *     extract its members. Every offset and length read from the file is
 *     checked against the file before it is used; a damaged or hostile file
 *     gives an error, never a read outside a buffer.
 *   - the /REMOVE hand-over (Windows): GameKitWantsRemoval tells whether the
 *     game was started for removal; GameKitRunRemoval does the rest.
 *
 * C99 (stdint.h), no C++ runtime. On Windows it calls only kernel32 and
 * user32 functions that Windows 95 and NT 4.0 export, and only the parts of
 * the C library that crtdll.dll offers (stdio, string and memory functions).
 * The functions are not thread-safe for one archive; separate archives may be
 * used from separate threads.
 *
 * Typical use, in WinMain:
 *
 *     if (GameKitWantsRemoval(commandLine)) {
 *         GameKitRemoval removal = {0};
 *         removal.uninstallerMember = "Uninst.exe";
 *         removal.boxTitle = "My Game";
 *         removal.notStartedText = "The My Game uninstaller could not be started.";
 *         return GameKitRunRemoval(&removal);
 *     }
 */
#ifndef GAME_KIT_H
#define GAME_KIT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Longest member name, in bytes; an archive with a longer one is refused. */
#define GAME_KIT_MAX_NAME 255

/* The word that asks the game to remove itself. */
#define GAME_KIT_REMOVE_SWITCH "/REMOVE"

/* The uninstall list's member name, as the install writes it. */
#define GAME_KIT_LIST_MEMBER "Remove.txt"

typedef enum GameKitResult {
    GameKitOk = 0,
    GameKitBadArgument, /* a null pointer, an empty name, an index out of range */
    GameKitCannotOpen,  /* the file cannot be opened for reading */
    GameKitTooLarge,    /* the file is 2 GiB or larger */
    GameKitNoArchive,   /* the file does not end with an archive end record */
    GameKitDamaged,     /* a record out of place, or reaching past the file */
    GameKitNotFound,    /* no member of that name */
    GameKitNotStored,   /* the member is compressed or encrypted */
    GameKitReadFailed,  /* the file could not be read */
    GameKitWriteFailed, /* the output file could not be written */
    GameKitNoMemory
} GameKitResult;

/* An open archive. Its fields are the component's own: read them only
 * through the functions below. A zeroed GameKitArchive is a closed one. */
typedef struct GameKitArchive {
    void* file;              /* the file, open for reading */
    uint32_t fileSize;       /* its length in bytes */
    uint32_t shift;          /* where the archive's own offset 0 lies in the file */
    uint32_t directoryStart; /* absolute offset of the central directory */
    uint32_t directorySize;  /* its length in bytes */
    uint8_t* directory;      /* its bytes, read whole and checked at open */
    uint32_t memberCount;    /* records in it */
} GameKitArchive;

/* One member, as GameKitGetMember and GameKitFindMember describe it. */
typedef struct GameKitMember {
    char name[GAME_KIT_MAX_NAME + 1]; /* as stored, '/' between folders */
    uint32_t index;                   /* its place in the directory, from 0 */
    uint32_t size;                    /* its length in bytes */
    uint32_t dataOffset;              /* absolute offset of its first byte (stored only) */
    int stored;                       /* 1 when stored uncompressed: only such can be read */
} GameKitMember;

/* Opens the archive at the end of the file at path. On failure the archive
 * is left closed. */
GameKitResult GameKitOpenArchive(GameKitArchive* archive, const char* path);

/* Closes it and frees what it holds; a closed or zeroed archive is left as
 * it is. */
void GameKitCloseArchive(GameKitArchive* archive);

/* Number of members; 0 for a closed archive. */
uint32_t GameKitMemberCount(const GameKitArchive* archive);

/* The member at index (0 to GameKitMemberCount - 1), in directory order. */
GameKitResult GameKitGetMember(GameKitArchive* archive, uint32_t index, GameKitMember* member);

/* The first member whose name equals name, the letters A-Z compared without
 * case ('/' and '\' differ). */
GameKitResult GameKitFindMember(GameKitArchive* archive, const char* name, GameKitMember* member);

/* Reads up to count bytes of a stored member, from offset bytes into it, and
 * sets *bytesRead (fewer than count at the member's end; 0 at or past it). */
GameKitResult GameKitReadMember(GameKitArchive* archive, const GameKitMember* member,
                                uint32_t offset, void* buffer, uint32_t count, uint32_t* bytesRead);

/* Writes the member named name to the file at path, replacing it. It is
 * written as path followed by ".part" first and renamed at the end, so a
 * failure leaves no partial file and the file of that name as it was. */
GameKitResult GameKitExtractMember(GameKitArchive* archive, const char* name, const char* path);

/* A short English text for a result, for a log or a message. */
const char* GameKitResultText(GameKitResult result);

/* 1 when one of the words of the command line (separated by spaces or tabs)
 * is word, the letters A-Z compared without case; else 0. */
int GameKitHasWord(const char* commandLine, const char* word);

/* 1 when the command line holds the word /REMOVE (in any case). */
int GameKitWantsRemoval(const char* commandLine);

#ifdef _WIN32

/* Opens the archive at the end of the running program's own file. */
GameKitResult GameKitOpenOwnArchive(GameKitArchive* archive);

/* What the removal hand-over needs from the game: the uninstaller's member
 * name and the texts of the message box shown when it fails. The component
 * holds no product's words; every text comes from here. */
typedef struct GameKitRemoval {
    const char* uninstallerMember;  /* e.g. "Uninst.exe"; required */
    const char* listMember;         /* null: GAME_KIT_LIST_MEMBER */
    const char* boxTitle;           /* title of the failure box; required */
    const char* notStartedText;     /* the uninstaller could not be started; required */
    const char* listNotWrittenText; /* the list could not be written out; null: notStartedText */
} GameKitRemoval;

/* The /REMOVE hand-over. Copies the uninstaller member, and the list member
 * when the game carries one, into a new folder of their own in the temporary
 * folder (vxu????.tmp, the name the uninstaller knows its copy by), starts
 * the uninstaller there without waiting, and returns 0: the game should end
 * at once, releasing its file. The uninstaller reads the list beside itself,
 * or, when the game carries none, the plain list beside the game; it deletes
 * its copy and that folder when it ends. On failure nothing is left in the
 * temporary folder, a message box (no owner, stop icon) says so, and the
 * result is 1. */
int GameKitRunRemoval(const GameKitRemoval* removal);

#endif /* _WIN32 */

#ifdef __cplusplus
}
#endif

#endif /* GAME_KIT_H */
