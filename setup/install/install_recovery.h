// Undoing an installation that did not end: the one that failed just now, or
// one that a crash, a power loss or the task manager cut short. What was
// written is known from the plain uninstall list in the destination folder,
// which names every file before it is written and every shortcut before it
// is saved; the game executable is built under a temporary name and only
// moved into place when its last member is in.
#pragma once

#include <cstddef>

// Suffix of the game executable while it is built (at most 8 characters: the
// destination page leaves room for it).
constexpr char UnfinishedGameSuffix[] = ".new";

// folder + GameExeName + UnfinishedGameSuffix; false if it does not fit.
bool UnfinishedGamePath(char* path, size_t size, const char* folder);

// Removes what the plain list in folder names, through the same rules as
// the uninstaller (common/removal_rules.h): only files inside folder and
// shortcuts in a group below a Programs folder, no link followed; the game
// executable in place, which this installation never wrote, excepted; a
// file the journal says was set aside but is still in place (the earlier
// one) excepted too. Then the unfinished game executable goes, the earlier
// files set aside take their names back, the list and the journal go, and
// the folders the journal says this installation created are removed when
// empty. False when something could not be undone (the list and the journal
// stay, so the next attempt finds it).
bool UndoUnfinishedInstall(const char* folder);

// After the game executable is in place: the earlier files set aside are
// deleted (the game's last), then the journal.
void TidyFinishedInstall(const char* folder);

// At start, for the registered game executable gameDest: an installation cut
// short is finished (its game executable is complete and only its move into
// place is missing) or undone. Returns true when the entry still names a
// complete installation afterwards; false when it should be forgotten (the
// game is gone and everything of it was removed). undoIncomplete is set when
// something could not be removed: the entry is then kept for the next start.
bool RecoverUnfinishedInstall(const char* gameDest, bool* undoIncomplete);

// Rewrites the entry's values as they were before an installation replaced
// them (DisplayName is the product's).
bool RestoreUninstallKey(const char* gameDest, const char* uninstallString);
