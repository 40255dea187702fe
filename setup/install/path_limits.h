// Checks, before anything is written, that every path an install into a
// folder would build fits where the install keeps it: the copied files, the
// audio members of the game executable, the shortcuts and the uninstall
// command. The destination page refuses a folder that fails them.
#pragma once

#include <cstddef>

// Characters kept free after each file name in the destination folder: the
// install may first write a file (the game executable above all) under its
// name followed by a suffix of up to this length, and rename it when complete.
constexpr size_t StagingNameReserve = 8;

// The longest path a 260-byte path buffer holds (files, shortcuts, registry values).
constexpr size_t LongestPathLength = 259;
// The longest member path of a converted audio file (the conversion job's
// output path holds 256 bytes).
constexpr size_t LongestAudioMemberPathLength = 255;

enum class PathLimitKind {
    Fits,              // every path fits
    Semicolon,         // the folder holds ';', which member paths cannot carry
    File,              // a file copied into the folder
    Member,            // a member appended to the game executable
    Shortcut,          // a shortcut in the Start Menu group
    UninstallCommand,  // the registered command that removes the game
};

// Room for the part of a path after its folder (the walk's names have at
// most 511 characters; a member adds the game executable's name and ';').
constexpr size_t PathLimitNameSize = 540;

// The first path that would not fit.
struct PathLimitFault {
    PathLimitKind kind = PathLimitKind::Fits;
    // The path after its folder as the install writes it: "data/readme.txt",
    // "VexloDmo.exe;data/music1.wav", "Vexlo Demo.lnk", or the whole command.
    char name[PathLimitNameSize] = "";
    size_t length = 0;  // characters of the whole path
    size_t limit = 0;   // the most it may have (less the staging reserve where it applies)
};

// Lists the source tree beside the setup program as the copy does and checks
// every path an install into destFolder (ending in its separator) would build,
// and the shortcuts below groupFolder (null: no Start Menu group). True when
// all fit; otherwise false with the first that does not in *fault.
bool CheckInstallPathLimits(const char* destFolder, const char* groupFolder, PathLimitFault* fault);

// The same check over a given list of source names ("./data/a.mp3" style),
// count names stride bytes apart.
bool CheckInstallPathLimits(const char* destFolder, const char* groupFolder,
                            const char* sourceNames, size_t stride, size_t count,
                            PathLimitFault* fault);
