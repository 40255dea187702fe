/* How the programs of one product (Setup.exe and its uninstallers) know that
   another of them runs: each holds a named mutex from its start to its end.
   Both take the names from here. Plain C; the names carry the product's, so
   this needs the product's generated names on the include path. */
#ifndef VEXLO_COMMON_RUNNING_NAMES_H
#define VEXLO_COMMON_RUNNING_NAMES_H

/* PRODUCT_<Key> string macros of the product being built. */
#include "product_names.rh"

/* Held by Setup.exe while it runs. */
#define VEXLO_SETUP_RUNNING_MUTEX PRODUCT_SetupMutexName
/* The running Setup's process id (a 32-bit word), in memory shared by name,
   so that a second Setup can bring its window forward. */
#define VEXLO_SETUP_PROCESS_MAPPING PRODUCT_SetupMutexName "Process"
/* Held by an uninstaller while it runs. */
#define VEXLO_REMOVAL_RUNNING_MUTEX PRODUCT_RemovalMutexName

#endif
