// What differs between the demo's uninstaller and the full game's: the
// registry subkey and three message texts, chosen when the program is built.
// Both come from the product's names (product_names.h): the demo's build takes
// ProductKeyName and its texts, the full game's the Full* ones.
#pragma once

#include "product_names.h"

struct ProductSetting {
    const char* keyName;  // subkey below ...\CurrentVersion\Uninstall
    const char* notInstalledText;
    const char* confirmText;
    const char* removedText;
};

#ifdef VEXLO_FULL_GAME
constexpr ProductSetting BuildSetting = {FullProductKeyName, FullNotInstalledText, FullConfirmText,
                                         FullRemovedText};
#else
constexpr ProductSetting BuildSetting = {ProductKeyName, NotInstalledText, ConfirmText,
                                         RemovedText};
#endif
