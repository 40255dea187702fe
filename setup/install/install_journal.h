// The journal an installation keeps beside its plain list (Remove.jnl): the
// earlier files it set aside before writing over their names, and the
// folders it created. The undo (install_recovery.h) reads it to put the
// earlier files back and to remove only folders that were not there before.
#pragma once

#include <cstddef>

// folder + the journal's name; false if it does not fit.
bool JournalPath(char* path, size_t size, const char* folder);
// path + the set-aside suffix; false if it does not fit.
bool KeptAsidePath(char* path, size_t size, const char* original);

// Starts the journal of setupState.destFolder afresh: the folders the wizard
// created for it, and the earlier game executable, which stays in place until
// the new one is complete (PutGameAside). False (a failure recorded) when it
// cannot be written.
bool StartJournal();

// Before a file of this installation is written at path: an earlier file
// there is named in the journal and then renamed to its set-aside name.
// True when nothing was there or it is set aside; false (failure recorded)
// otherwise, and then path must not be written.
bool KeepAside(const char* path);

// The earlier game executable (named by StartJournal) takes its set-aside
// name just before the new one moves into place. False (recorded) on failure.
bool PutGameAside(const char* gamePath);

// A folder this installation just created.
bool RecordCreatedFolder(const char* folder);

// The game executable is in place: the journal says so first, then the
// set-aside copies go, the game's last, then the journal.
void FinishJournal();

// Removes the folders the wizard created for setupState.destFolder, innermost
// first, while they are empty (before anything was written in them).
void RemoveWizardFolders();
