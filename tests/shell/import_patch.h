// Test seam: swaps an entry of the running program's import address table, so
// that calls the program's own code makes to a system function can be watched.
#pragma once

// Replaces every import of `original` by `replacement`; returns how many
// entries changed (0 when the program does not import the function).
int PatchImport(void* original, void* replacement);

// The address a system function has in its library.
void* SystemFunction(const char* module, const char* name);
