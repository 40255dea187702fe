// The install wizard: the property sheet and its first three pages.
#pragma once

#include <windows.h>
#include <prsht.h>
#include <cstdint>
#include <string>
#include <vector>

// RequiredSpace: bytes the installed game needs, measured by the build.
#include "required_space.h"
// DefaultDestFolder, GroupFolderName, WizardCaption and the wizard's texts.
#include "product_names.h"

constexpr const char GroupLabelPrefix[] = "Start Menu";
constexpr const char SpacePlaceholder[] = "?";

// A product text that the setup program puts into a control itself; every
// other product text stands in the dialog templates as it is shown. The check
// of texts against their controls (vexlo-textfit) sets these into their
// controls before it measures.
struct FilledText {
    int dialogId;
    int controlId;
    const char* key;   // the product key the text is made from
    std::string text;  // the text the control is given, at its longest
};
std::vector<FilledText> FilledProductTexts();

// groupFolder := the Programs folder + GroupFolderName, and its groupLabel.
void MakeDefaultGroup();

// Sets the default group, shows the four-page sheet, returns when it closes.
void RunInstallWizard();

// Centres the sheet when it has been created.
int CALLBACK WizardSheetCallback(HWND sheet, UINT message, LPARAM parameter);

// One page record of the sheet, in the platform's first layout.
void FillWizardPage(HINSTANCE instance, PROPSHEETPAGEA_V1* page, int templateId, DLGPROC procedure);

// groupLabel := "Start Menu" + groupFolder below the Start Menu folder.
void MakeGroupLabel();

// Measures the free space of destFolder's drive into freeSpace.
void MeasureFreeSpace();

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DestinationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ReadyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
