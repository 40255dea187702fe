#include "setup/install/path_limits.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "setup/install/install_paths.h"
#include "setup/install/shortcuts.h"
#include "setup/media/path_text.h"
#include "setup/media/source_walk.h"
#include "setup/shell/setup_state.h"

namespace {

constexpr size_t NameStride = 512;
constexpr const char MemberSeparator[] = ";";

// Remembers the first path over its limit; later ones are not looked at.
class PathLimitChecker {
  public:
    explicit PathLimitChecker(PathLimitFault* fault) : fault_(fault) { *fault_ = PathLimitFault(); }

    bool Failed() const { return fault_->kind != PathLimitKind::Fits; }

    // A path made of folder and the name parts; reserve characters are kept
    // free within limit.
    void Check(PathLimitKind kind, const char* folder, const char* first, const char* second,
               const char* third, size_t reserve, size_t limit) {
        if (Failed()) return;
        size_t length = strlen(folder) + strlen(first) + (second ? strlen(second) : 0) +
                        (third ? strlen(third) : 0);
        if (length + reserve <= limit) return;
        fault_->kind = kind;
        fault_->length = length;
        fault_->limit = limit - reserve;
        snprintf(fault_->name, sizeof fault_->name, "%s%s%s", first, second ? second : "",
                 third ? third : "");
    }

    void Refuse(PathLimitKind kind) {
        if (Failed()) return;
        fault_->kind = kind;
    }

  private:
    PathLimitFault* fault_;
};

// The Start Menu group joined with a title as the shortcut step joins them.
const char* GroupSeparator(const char* groupFolder) {
    size_t length = strlen(groupFolder);
    return length > 0 && IsPathSeparator(groupFolder[length - 1]) ? "" : "\\";
}

void CheckSourceName(PathLimitChecker& checker, ShortcutNamer& namer, const char* destFolder,
                     const char* groupFolder, const char* entryName) {
    const char* relativeName = RelativeSourceName(entryName);
    if (IsSetupFile(relativeName)) return;
    if (IsAudioFile(relativeName)) {
        // Written as destFolder + game + ";" + the name with ".wav" (same length).
        char member[NameStride];
        snprintf(member, sizeof member, "%s", relativeName);
        ReplaceExtension(member, sizeof member, ".wav");
        checker.Check(PathLimitKind::Member, destFolder, GameExeName, MemberSeparator, member,
                      StagingNameReserve, LongestAudioMemberPathLength);
        return;
    }
    checker.Check(PathLimitKind::File, destFolder, relativeName, nullptr, nullptr,
                  StagingNameReserve, LongestPathLength);
    char title[NameStride];
    if (!groupFolder || !namer.Next(relativeName, title, sizeof title)) return;
    checker.Check(PathLimitKind::Shortcut, groupFolder, GroupSeparator(groupFolder), title, ".lnk",
                  0, LongestPathLength);
}

}  // namespace

bool CheckInstallPathLimits(const char* destFolder, const char* groupFolder,
                            const char* sourceNames, size_t stride, size_t count,
                            PathLimitFault* fault) {
    PathLimitChecker checker(fault);
    // A member path is the container, ';' and the member name: the folder's
    // own ';' would split it in the wrong place.
    if (strchr(destFolder, ';')) checker.Refuse(PathLimitKind::Semicolon);

    // What every install writes, whatever the disc holds: the registered
    // command "\"<folder>VexloDmo.exe\" /REMOVE", the game executable and the
    // uninstall list beside it, and the list as the game's member.
    char commandTail[32];
    snprintf(commandTail, sizeof commandTail, "%s\" %s", GameExeName, RemoveSwitch);
    checker.Check(PathLimitKind::UninstallCommand, "", "\"", destFolder, commandTail, 0,
                  LongestPathLength);
    checker.Check(PathLimitKind::File, destFolder, GameExeName, nullptr, nullptr,
                  StagingNameReserve, LongestPathLength);
    checker.Check(PathLimitKind::File, destFolder, UninstallListName, nullptr, nullptr,
                  StagingNameReserve, LongestPathLength);
    checker.Check(PathLimitKind::Member, destFolder, GameExeName, MemberSeparator,
                  UninstallListName, StagingNameReserve, LongestPathLength);

    ShortcutNamer namer(static_cast<uint32_t>(count));
    for (size_t i = 0; i < count && !checker.Failed(); ++i)
        CheckSourceName(checker, namer, destFolder, groupFolder, sourceNames + i * stride);
    if (groupFolder)
        checker.Check(PathLimitKind::Shortcut, groupFolder, GroupSeparator(groupFolder),
                      RemoveShortcutTitle, ".lnk", 0, LongestPathLength);
    return !checker.Failed();
}

bool CheckInstallPathLimits(const char* destFolder, const char* groupFolder,
                            PathLimitFault* fault) {
    OpenSource(".", false);
    uint32_t count = CountSourceFiles("*.*", 1, 0);
    char* names = count ? static_cast<char*>(calloc(count, NameStride)) : nullptr;
    uint32_t listed =
        names ? ListSourceFiles("*.*", names, nullptr, NameStride, count, 0, 1, 0, 0) : 0;
    CloseSource();
    bool fits = CheckInstallPathLimits(destFolder, groupFolder, names, NameStride, listed, fault);
    free(names);
    return fits;
}
