// Names as the install engine sees them: a source entry's name relative to
// the destination, and which files it treats apart. The bounded path helpers
// themselves are in setup/media/path_text.h.
#pragma once

#include "setup/media/path_text.h"

bool StartsWithNoCase(const char* text, const char* prefix);
bool EndsWithNoCase(const char* text, const char* suffix);

// The name of a source entry relative to the destination: a leading "data/"
// is dropped, then a leading "./" (both case-insensitive).
const char* RelativeSourceName(const char* entryName);

// The setup program's own files (relative name beginning with "Setup"): not
// installed, no weight, no shortcut.
bool IsSetupFile(const char* relativeName);
// MPEG audio (".mp3"): decoded into a .wav member of the game executable.
bool IsAudioFile(const char* name);
// A settings file (an extension of the product's NoShortcutExtensions, ".cfg"
// in the sample): installed, but given no shortcut.
bool IsConfigFile(const char* name);
