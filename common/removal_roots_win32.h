// The roots of the removal rules as this system names them.
#pragma once

#include "common/removal_rules.h"

namespace removal {

// Adds the Start Menu Programs folders (the user's and, where the system has
// one, the common one): an installation makes its group below one of them.
void AddProgramsFolders(RemovalRoots* roots);

}  // namespace removal

// Gives an item list the shell handed out (an LPITEMIDLIST; null is fine) back
// to the shell's allocator. Here because the removal roots and the wizard's
// folder browser both ask the shell for folders.
void FreeShellItemList(void* items);
