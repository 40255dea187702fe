// The whole installation, run once by the progress page: registry entry, copy
// and conversion, shortcuts, the uninstall list moved into the game
// executable, "Finished". When a step fails, what was written is removed
// again and installOutcome (install_outcome.h) says what failed and why.
#pragma once

// A nested call while it runs (from a dispatched message) returns at once.
void RunInstallSequence();
