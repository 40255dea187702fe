#include "setup/media/source_state.h"

char sourceRoot[SourceRootSize] = ".";
ArchiveReader sourceArchive;
int sourceArchiveOpen = 0;
