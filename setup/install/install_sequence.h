// The whole installation, run once by the progress page: registry entry, copy
// and conversion, shortcuts, the uninstall list moved into the game
// executable, "Finished".
#pragma once

// A nested call while it runs (from a dispatched message) returns at once.
void RunInstallSequence();
