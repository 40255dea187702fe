/* Names that Setup and the programs it installs agree on. Plain C, so that
   the game kit can include it too. The names that carry the product's own
   (the mutexes) are in running_names.h. */
#ifndef VEXLO_COMMON_CONTRACT_H
#define VEXLO_COMMON_CONTRACT_H

/* Beside the plain list while an installation runs: what it set aside
   (an earlier file of the same name) and which folders it created. Gone
   once the installation is complete. */
#define VEXLO_JOURNAL_NAME "Remove.jnl"

/* An earlier file set aside by an installation carries this after its name
   until the installation is complete (then it is deleted) or undone (then it
   takes its name back). */
#define VEXLO_KEPT_SUFFIX ".vxk"

/* Journal lines: a tag letter, a space, an absolute path. */
#define VEXLO_JOURNAL_KEPT 'K'
#define VEXLO_JOURNAL_FOLDER 'F'
/* A line of this tag alone: the game executable is in place, the
   installation is complete, what is left is tidying up. */
#define VEXLO_JOURNAL_DONE 'C'

/* A value of the Uninstall entry, written when an installation is complete:
   the outermost folder it created for the game's folder (the game's folder
   or one above it). The removal takes away, when empty, the folders above
   the game's folder only up to this one; without it, none. */
#define VEXLO_CREATED_FOLDER_VALUE "CreatedFolder"

#endif
