// What differs between the demo's uninstaller and the full game's: the
// registry subkey and three message texts, chosen when the program is built.
#pragma once

#ifdef VEXLO_FULL_GAME
constexpr char ProductKeyName[] = "Vexlo";
constexpr char NotInstalledText[] = "Vexlo is not installed on your system.";
constexpr char ConfirmText[] = "Are you sure you want to completely remove Vexlo from your system?";
constexpr char RemovedText[] = "Vexlo has been removed from your system.";
#else
constexpr char ProductKeyName[] = "VexloDemo";
constexpr char NotInstalledText[] = "The Vexlo Demo is not installed on your system.";
constexpr char ConfirmText[] =
    "Are you sure you want to completely remove The Vexlo Demo from your system?";
constexpr char RemovedText[] = "The Vexlo Demo has been removed from your system.";
#endif
