/* game_kit.c: the archive at the end of the game's file, and the /REMOVE
 * hand-over (see game_kit.h). The archive part is portable C over stdio; the
 * hand-over at the end is Windows only. */
#include "game_kit.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#endif

/* ---- The archive's records: fixed parts, fields by offset, little-endian */

#define LOCAL_HEADER_SIGNATURE 0x04034B50UL   /* "PK", 3, 4 */
#define CENTRAL_ENTRY_SIGNATURE 0x02014B50UL  /* "PK", 1, 2 */
#define END_RECORD_SIGNATURE 0x06054B50UL     /* "PK", 5, 6 */
#define OWN_END_RECORD_SIGNATURE 0x06055A51UL /* "QZ", 5, 6: what the disc's tools write */

/* Local file header, followed by the name, the extra field and the data. */
enum LocalHeaderField {
    LocalSignature = 0,
    LocalNameLength = 26,
    LocalExtraLength = 28,
    LocalHeaderSize = 30
};

/* Central directory entry, followed by the name, the extra field and a comment. */
enum CentralEntryField {
    CentralSignature = 0,
    CentralFlags = 8,
    CentralMethod = 10,
    CentralCompressedSize = 20,
    CentralUncompressedSize = 24,
    CentralNameLength = 28,
    CentralExtraLength = 30,
    CentralCommentLength = 32,
    CentralLocalHeaderOffset = 42,
    CentralEntrySize = 46
};

/* End of central directory record, followed by a comment. */
enum EndRecordField {
    EndSignature = 0,
    EndTotalEntries = 10,
    EndDirectorySize = 12,
    EndDirectoryOffset = 16,
    EndCommentLength = 20,
    EndRecordSize = 22
};

enum {
    MethodStored = 0,
    FlagEncrypted = 1,
    MaxCommentLength = 65535,
    /* Files whose every offset a 32-bit long reaches. */
    MaxFileSize = 0x7FFFFFFF,
    /* 65,535 members of 255-byte names take 20 MB; more is a damaged claim. */
    MaxDirectorySize = 32 * 1024 * 1024,
    CopyChunk = 16384
};

static uint16_t GetU16(const uint8_t* p) {
    return (uint16_t)(p[0] | (p[1] << 8));
}

static uint32_t GetU32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

static int IsEndSignature(uint32_t signature) {
    return signature == END_RECORD_SIGNATURE || signature == OWN_END_RECORD_SIGNATURE;
}

/* Every offset passed here lies inside the file, below MaxFileSize. */
static int ReadAt(FILE* file, uint32_t offset, void* buffer, size_t count) {
    if (fseek(file, (long)offset, SEEK_SET) != 0) return 0;
    return fread(buffer, 1, count, file) == count;
}

static char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

static int EqualNoCase(const char* a, const char* b, size_t length) {
    size_t i;
    for (i = 0; i < length; ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return 0;
    }
    return 1;
}

/* The directory's bytes are followed by a table of where each record
 * starts, so that a member is found by its index without a walk. */
static const uint32_t* RecordStarts(const GameKitArchive* archive) {
    size_t tableStart = ((size_t)archive->directorySize + 3) & ~(size_t)3;
    return (const uint32_t*)(const void*)(archive->directory + tableStart);
}

static const uint8_t* CentralRecord(const GameKitArchive* archive, uint32_t index) {
    return archive->directory + RecordStarts(archive)[index];
}

/* The end record: the file's last 22 bytes, or, when the archive has a
 * comment, the last end signature whose comment reaches exactly to the end
 * of the file. */
static GameKitResult FindEndRecord(GameKitArchive* archive, uint8_t* record,
                                   uint32_t* recordStart) {
    FILE* file = (FILE*)archive->file;
    uint32_t size = archive->fileSize;
    uint32_t window, position;
    uint8_t* tail;

    if (size < EndRecordSize) return GameKitNoArchive;
    if (!ReadAt(file, size - EndRecordSize, record, EndRecordSize)) return GameKitReadFailed;
    if (IsEndSignature(GetU32(record + EndSignature))) {
        *recordStart = size - EndRecordSize;
        return GameKitOk;
    }

    window = size < EndRecordSize + MaxCommentLength ? size : EndRecordSize + MaxCommentLength;
    tail = (uint8_t*)malloc(window);
    if (!tail) return GameKitNoMemory;
    if (!ReadAt(file, size - window, tail, window)) {
        free(tail);
        return GameKitReadFailed;
    }
    position = window - EndRecordSize;
    for (;;) {
        const uint8_t* candidate = tail + position;
        if (IsEndSignature(GetU32(candidate + EndSignature)) &&
            GetU16(candidate + EndCommentLength) == window - position - EndRecordSize) {
            memcpy(record, candidate, EndRecordSize);
            *recordStart = size - window + position;
            free(tail);
            return GameKitOk;
        }
        if (position == 0) break;
        --position;
    }
    free(tail);
    return GameKitNoArchive;
}

/* Where the central directory lies: at the offset its end record gives, or,
 * for an archive that was written alone and then appended whole to another
 * file (a program), right before the end record, every recorded offset then
 * off by the same amount (the shift). */
static GameKitResult PlaceDirectory(GameKitArchive* archive, const uint8_t* record,
                                    uint32_t recordStart) {
    uint32_t directorySize = GetU32(record + EndDirectorySize);
    uint32_t directoryOffset = GetU32(record + EndDirectoryOffset);
    uint32_t entries = GetU16(record + EndTotalEntries);
    uint32_t besideEnd;
    uint8_t signature[4];

    if (directorySize > recordStart || directorySize > MaxDirectorySize) return GameKitDamaged;
    if (entries == 0) {
        if (directorySize != 0) return GameKitDamaged;
        archive->directoryStart = recordStart;
        return GameKitOk;
    }
    if (directorySize / CentralEntrySize < entries) return GameKitDamaged;
    besideEnd = recordStart - directorySize;
    if (directoryOffset > besideEnd) return GameKitDamaged;
    archive->directoryStart = besideEnd;
    if (directoryOffset < besideEnd) {
        if (!ReadAt((FILE*)archive->file, directoryOffset, signature, sizeof signature))
            return GameKitReadFailed;
        if (GetU32(signature) == CENTRAL_ENTRY_SIGNATURE)
            archive->directoryStart = directoryOffset;
        else
            archive->shift = besideEnd - directoryOffset;
    }
    archive->directorySize = directorySize;
    archive->memberCount = entries;
    return GameKitOk;
}

/* Reads the directory whole and checks every record in it: the signature,
 * a name of 1 to GAME_KIT_MAX_NAME bytes without a zero byte, and the
 * record's variable parts inside the directory. */
static GameKitResult ReadDirectory(GameKitArchive* archive) {
    uint32_t size = archive->directorySize;
    size_t tableStart = ((size_t)size + 3) & ~(size_t)3;
    uint32_t* starts;
    uint32_t position = 0, count = 0;

    if (archive->memberCount == 0) return GameKitOk;
    archive->directory =
        (uint8_t*)malloc(tableStart + (size_t)archive->memberCount * sizeof(uint32_t));
    if (!archive->directory) return GameKitNoMemory;
    if (!ReadAt((FILE*)archive->file, archive->directoryStart, archive->directory, size))
        return GameKitReadFailed;
    starts = (uint32_t*)(void*)(archive->directory + tableStart);

    while (position < size) {
        const uint8_t* entry = archive->directory + position;
        uint32_t nameLength, recordLength;
        if (size - position < CentralEntrySize || count == archive->memberCount) {
            return GameKitDamaged;
        }
        if (GetU32(entry + CentralSignature) != CENTRAL_ENTRY_SIGNATURE) return GameKitDamaged;
        nameLength = GetU16(entry + CentralNameLength);
        recordLength = CentralEntrySize + nameLength + GetU16(entry + CentralExtraLength) +
                       GetU16(entry + CentralCommentLength);
        if (nameLength == 0 || nameLength > GAME_KIT_MAX_NAME) return GameKitDamaged;
        if (recordLength > size - position) return GameKitDamaged;
        if (memchr(entry + CentralEntrySize, 0, nameLength)) return GameKitDamaged;
        starts[count++] = position;
        position += recordLength;
    }
    return count == archive->memberCount ? GameKitOk : GameKitDamaged;
}

GameKitResult GameKitOpenArchive(GameKitArchive* archive, const char* path) {
    FILE* file;
    long length;
    uint8_t record[EndRecordSize];
    uint32_t recordStart = 0;
    GameKitResult result;

    if (!archive) return GameKitBadArgument;
    memset(archive, 0, sizeof *archive);
    if (!path || !*path) return GameKitBadArgument;
    file = fopen(path, "rb");
    if (!file) return GameKitCannotOpen;
    if (fseek(file, 0, SEEK_END) != 0) {
        fclose(file);
        return GameKitReadFailed;
    }
    length = ftell(file);
    if (length < 0 || length > MaxFileSize) {
        fclose(file);
        return GameKitTooLarge;
    }
    archive->file = file;
    archive->fileSize = (uint32_t)length;

    result = FindEndRecord(archive, record, &recordStart);
    if (result == GameKitOk) result = PlaceDirectory(archive, record, recordStart);
    if (result == GameKitOk) result = ReadDirectory(archive);
    if (result != GameKitOk) GameKitCloseArchive(archive);
    return result;
}

void GameKitCloseArchive(GameKitArchive* archive) {
    if (!archive) return;
    if (archive->file) fclose((FILE*)archive->file);
    free(archive->directory);
    memset(archive, 0, sizeof *archive);
}

uint32_t GameKitMemberCount(const GameKitArchive* archive) {
    return archive && archive->file ? archive->memberCount : 0;
}

/* A stored member's data follows its local header, whose own name and
 * extra field lengths count (they may differ from the directory's). */
static GameKitResult LocateData(GameKitArchive* archive, const uint8_t* entry,
                                GameKitMember* member) {
    uint8_t header[LocalHeaderSize];
    uint64_t headerStart = (uint64_t)GetU32(entry + CentralLocalHeaderOffset) + archive->shift;
    uint64_t dataStart;

    if (headerStart + LocalHeaderSize > archive->directoryStart) return GameKitDamaged;
    if (!ReadAt((FILE*)archive->file, (uint32_t)headerStart, header, sizeof header))
        return GameKitReadFailed;
    if (GetU32(header + LocalSignature) != LOCAL_HEADER_SIGNATURE) return GameKitDamaged;
    dataStart = headerStart + LocalHeaderSize + GetU16(header + LocalNameLength) +
                GetU16(header + LocalExtraLength);
    if (dataStart + member->size > archive->directoryStart) return GameKitDamaged;
    member->dataOffset = (uint32_t)dataStart;
    return GameKitOk;
}

GameKitResult GameKitGetMember(GameKitArchive* archive, uint32_t index, GameKitMember* member) {
    const uint8_t* entry;
    uint32_t nameLength;

    if (!archive || !archive->file || !member || index >= archive->memberCount)
        return GameKitBadArgument;
    entry = CentralRecord(archive, index);
    nameLength = GetU16(entry + CentralNameLength);
    memset(member, 0, sizeof *member);
    memcpy(member->name, entry + CentralEntrySize, nameLength);
    member->name[nameLength] = '\0';
    member->index = index;
    member->size = GetU32(entry + CentralUncompressedSize);
    member->stored = GetU16(entry + CentralMethod) == MethodStored &&
                     !(GetU16(entry + CentralFlags) & FlagEncrypted) &&
                     GetU32(entry + CentralCompressedSize) == member->size;
    return member->stored ? LocateData(archive, entry, member) : GameKitOk;
}

GameKitResult GameKitFindMember(GameKitArchive* archive, const char* name, GameKitMember* member) {
    size_t length;
    uint32_t i;

    if (!archive || !archive->file || !name || !*name || !member) return GameKitBadArgument;
    length = strlen(name);
    for (i = 0; i < archive->memberCount; ++i) {
        const uint8_t* entry = CentralRecord(archive, i);
        if (GetU16(entry + CentralNameLength) == length &&
            EqualNoCase((const char*)entry + CentralEntrySize, name, length)) {
            return GameKitGetMember(archive, i, member);
        }
    }
    return GameKitNotFound;
}

GameKitResult GameKitReadMember(GameKitArchive* archive, const GameKitMember* member,
                                uint32_t offset, void* buffer, uint32_t count,
                                uint32_t* bytesRead) {
    uint32_t left;

    if (bytesRead) *bytesRead = 0;
    if (!archive || !archive->file || !member || (!buffer && count) || !bytesRead)
        return GameKitBadArgument;
    if (!member->stored) return GameKitNotStored;
    /* The record may have passed through the caller's hands. */
    if ((uint64_t)member->dataOffset + member->size > archive->directoryStart)
        return GameKitBadArgument;
    if (offset >= member->size || count == 0) return GameKitOk;
    left = member->size - offset;
    if (count > left) count = left;
    if (!ReadAt((FILE*)archive->file, member->dataOffset + offset, buffer, count))
        return GameKitReadFailed;
    *bytesRead = count;
    return GameKitOk;
}

static int DeletePlainFile(const char* path) {
#ifdef _WIN32
    return DeleteFileA(path) != 0;
#else
    return remove(path) == 0;
#endif
}

/* Puts the finished file in place of path, replacing a file of that name. */
static int PutInPlace(const char* finished, const char* path) {
#ifdef _WIN32
    /* MoveFileA does not replace (and MoveFileExA is missing on Windows 95). */
    if (MoveFileA(finished, path)) return 1;
    return DeleteFileA(path) && MoveFileA(finished, path);
#else
    return rename(finished, path) == 0;
#endif
}

GameKitResult GameKitExtractMember(GameKitArchive* archive, const char* name, const char* path) {
    static const char PartSuffix[] = ".part";
    GameKitMember member;
    GameKitResult result;
    uint8_t chunk[CopyChunk];
    uint32_t offset = 0;
    size_t pathLength;
    char* partPath;
    FILE* output;

    if (!archive || !archive->file || !name || !*name || !path || !*path) return GameKitBadArgument;
    result = GameKitFindMember(archive, name, &member);
    if (result != GameKitOk) return result;
    if (!member.stored) return GameKitNotStored;

    pathLength = strlen(path);
    partPath = (char*)malloc(pathLength + sizeof PartSuffix);
    if (!partPath) return GameKitNoMemory;
    memcpy(partPath, path, pathLength);
    memcpy(partPath + pathLength, PartSuffix, sizeof PartSuffix);
    output = fopen(partPath, "wb");
    if (!output) {
        free(partPath);
        return GameKitWriteFailed;
    }
    while (result == GameKitOk && offset < member.size) {
        uint32_t got = 0;
        result = GameKitReadMember(archive, &member, offset, chunk, sizeof chunk, &got);
        if (result == GameKitOk && got == 0) result = GameKitReadFailed;
        if (result == GameKitOk && fwrite(chunk, 1, got, output) != got)
            result = GameKitWriteFailed;
        offset += got;
    }
    if (fclose(output) != 0 && result == GameKitOk) result = GameKitWriteFailed;
    if (result == GameKitOk && !PutInPlace(partPath, path)) result = GameKitWriteFailed;
    if (result != GameKitOk) DeletePlainFile(partPath);
    free(partPath);
    return result;
}

const char* GameKitResultText(GameKitResult result) {
    switch (result) {
        case GameKitOk:
            return "done";
        case GameKitBadArgument:
            return "a wrong argument was passed";
        case GameKitCannotOpen:
            return "the file cannot be opened";
        case GameKitTooLarge:
            return "the file is too large (2 GiB or more)";
        case GameKitNoArchive:
            return "the file carries no archive";
        case GameKitDamaged:
            return "the archive is damaged";
        case GameKitNotFound:
            return "no such member";
        case GameKitNotStored:
            return "the member is compressed or encrypted";
        case GameKitReadFailed:
            return "the file could not be read";
        case GameKitWriteFailed:
            return "the output could not be written";
        case GameKitNoMemory:
            return "out of memory";
    }
    return "unknown result";
}

int GameKitHasWord(const char* commandLine, const char* word) {
    size_t wordLength;
    const char* p = commandLine;

    if (!commandLine || !word || !*word) return 0;
    wordLength = strlen(word);
    for (;;) {
        const char* start;
        while (*p == ' ' || *p == '\t')
            ++p;
        if (!*p) return 0;
        start = p;
        while (*p && *p != ' ' && *p != '\t')
            ++p;
        if ((size_t)(p - start) == wordLength && EqualNoCase(start, word, wordLength)) return 1;
    }
}

int GameKitWantsRemoval(const char* commandLine) {
    return GameKitHasWord(commandLine, GAME_KIT_REMOVE_SWITCH);
}

#ifdef _WIN32

/* ---- The /REMOVE hand-over */

/* The uninstaller takes a folder of this prefix, directly in the temporary
 * folder, as the place of its copy: it reads the list there and deletes the
 * folder when it ends. */
static const char TempFolderPrefix[] = "vxu";

GameKitResult GameKitOpenOwnArchive(GameKitArchive* archive) {
    char path[MAX_PATH + 1];
    DWORD length;

    if (!archive) return GameKitBadArgument;
    memset(archive, 0, sizeof *archive);
    length = GetModuleFileNameA(NULL, path, sizeof path);
    if (length == 0 || length >= sizeof path) return GameKitCannotOpen;
    return GameKitOpenArchive(archive, path);
}

/* A new folder of its own in the temporary folder, so that the uninstaller
 * keeps its name and never meets an older copy. Ends without a separator. */
static int MakeUniqueTempFolder(char* folder, DWORD size) {
    char tempPath[MAX_PATH];
    DWORD length = GetTempPathA(sizeof tempPath, tempPath);
    if (length == 0 || length >= sizeof tempPath || size < MAX_PATH) return 0;
    if (!GetTempFileNameA(tempPath, TempFolderPrefix, 0, folder)) return 0;
    DeleteFileA(folder);
    return CreateDirectoryA(folder, NULL) != 0;
}

/* The part of a member name after its last '/' or '\'. */
static const char* NamePart(const char* name) {
    const char* part = name;
    const char* p;
    for (p = name; *p; ++p) {
        if (*p == '/' || *p == '\\') part = p + 1;
    }
    return part;
}

static int JoinPath(char* path, size_t size, const char* folder, const char* name) {
    size_t folderLength = strlen(folder), nameLength = strlen(name);
    if (nameLength == 0 || folderLength + 1 + nameLength + 1 > size) return 0;
    memcpy(path, folder, folderLength);
    path[folderLength] = '\\';
    memcpy(path + folderLength + 1, name, nameLength + 1);
    return 1;
}

/* Starts the program in its own folder (never in the game's, which the
 * uninstaller is about to remove) and does not wait for it. */
static int StartDetached(const char* program, const char* folder) {
    char commandLine[MAX_PATH + 3];
    size_t length = strlen(program);
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;

    if (length + 3 > sizeof commandLine) return 0;
    commandLine[0] = '"';
    memcpy(commandLine + 1, program, length);
    commandLine[length + 1] = '"';
    commandLine[length + 2] = '\0';
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    memset(&process, 0, sizeof process);
    if (!CreateProcessA(program, commandLine, NULL, NULL, FALSE, 0, NULL, folder, &startup,
                        &process)) {
        return 0;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 1;
}

/* The list goes beside the uninstaller's copy, never into the game's folder:
 * answering No then leaves that folder as it was, and nothing is written
 * through a link planted there. */
static int StartUninstaller(GameKitArchive* archive, const GameKitRemoval* removal,
                            int* listWritten) {
    const char* listMember = removal->listMember ? removal->listMember : GAME_KIT_LIST_MEMBER;
    char folder[MAX_PATH], program[MAX_PATH], list[MAX_PATH];
    GameKitMember member;
    int ready;

    *listWritten = 1;
    program[0] = list[0] = '\0';
    if (GameKitFindMember(archive, removal->uninstallerMember, &member) != GameKitOk ||
        !member.stored) {
        return 0;
    }
    if (!MakeUniqueTempFolder(folder, sizeof folder)) return 0;
    ready = JoinPath(program, sizeof program, folder, NamePart(removal->uninstallerMember)) &&
            JoinPath(list, sizeof list, folder, NamePart(listMember)) &&
            GameKitExtractMember(archive, removal->uninstallerMember, program) == GameKitOk;
    /* Without the member (the install could not move the list into the
     * game) the plain list beside the game is the one the uninstaller reads. */
    if (ready && GameKitFindMember(archive, listMember, &member) == GameKitOk) {
        *listWritten = GameKitExtractMember(archive, listMember, list) == GameKitOk;
        ready = *listWritten;
    }
    if (ready && StartDetached(program, folder)) return 1;
    if (list[0]) DeleteFileA(list);
    if (program[0]) DeleteFileA(program);
    RemoveDirectoryA(folder);
    return 0;
}

int GameKitRunRemoval(const GameKitRemoval* removal) {
    GameKitArchive archive;
    int started = 0, listWritten = 1;
    const char* text;

    if (!removal || !removal->uninstallerMember || !*removal->uninstallerMember ||
        !removal->boxTitle || !removal->notStartedText) {
        return 1;
    }
    if (GameKitOpenOwnArchive(&archive) == GameKitOk) {
        started = StartUninstaller(&archive, removal, &listWritten);
        GameKitCloseArchive(&archive);
    }
    /* Ending now releases the game's file before the uninstaller deletes it. */
    if (started) return 0;
    text = !listWritten && removal->listNotWrittenText ? removal->listNotWrittenText
                                                       : removal->notStartedText;
    MessageBoxA(NULL, text, removal->boxTitle, MB_OK | MB_ICONSTOP);
    return 1;
}

#endif /* _WIN32 */
