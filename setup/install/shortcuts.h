// The shortcut phase of the install sequence: the Start Menu group with one
// shortcut per installed file (audio, configuration and setup files excepted)
// and the removal shortcut; their paths are appended to the uninstall list.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Does nothing when no Start Menu group was chosen (makeGroup 0).
void CreateShortcuts();

// Saves a shortcut file at linkPath to target with arguments (null: none) and
// the target's folder as working folder. The platform's result code.
HRESULT CreateShellLink(const char* target, const char* arguments, const char* linkPath,
                        const char* description);

// The titles of the shortcuts of one source listing, given in listing order,
// for the shortcut step and the path-limit check alike. A file's title is its
// relative name without the extension; the game executable's (and only its) is
// GameShortcutTitle. No two shortcuts share a title, so none replaces
// another: the game's and the removal's titles are the game's from the start,
// a file whose title is taken is told apart by its whole name (Nebula.ini),
// and one whose whole name is taken too gets no shortcut.
class ShortcutNamer {
  public:
    // Room for the titles of capacity files.
    explicit ShortcutNamer(uint32_t capacity);
    ~ShortcutNamer();
    ShortcutNamer(const ShortcutNamer&) = delete;
    ShortcutNamer& operator=(const ShortcutNamer&) = delete;

    // The title of the next file of the listing, by its relative name. False
    // when it gets no shortcut: audio, settings and setup files, a title
    // taken, or one that does not fit in size (tooLong then set, if given).
    bool Next(const char* relativeName, char* title, size_t size, bool* tooLong = nullptr);

  private:
    bool Taken(const char* title) const;

    char* titles_;
    uint32_t capacity_;
    uint32_t count_ = 0;
    bool gameNamed_ = false;
};
