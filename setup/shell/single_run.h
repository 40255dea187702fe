// One Setup of the product at a time, and none while its uninstaller runs:
// both would write the same folder, Start Menu group and Uninstall entry, and
// one's undo would remove what the other wrote.
#pragma once

// Claims the run for this Setup for as long as the process lives. When
// another Setup of the product runs, says so, brings that one's window to the
// front and returns false; when the product's uninstaller runs, says so and
// returns false. Nothing is written in either case.
bool ClaimSetupRun();
