// What the end-to-end tests share: starting the real Setup.exe of the
// assembled disc, walking to a screen, and looking at the prefix's drive and
// registry afterwards. Every wait is bounded; a run left behind is killed.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

#include "prefix_state.h"
// The product's names and texts, which the programs under test are built with.
#include "product_names.h"
#include "ui_driver.h"

constexpr unsigned WindowWaitMs = 20000;
constexpr unsigned ShortWaitMs = 3000;
constexpr unsigned ExitWaitMs = 20000;
constexpr unsigned InstallWaitMs = 180000;

// Window titles and control ids of the setup program.
extern const char* const LauncherTitle;
extern const char* const WelcomeTitle;
extern const char* const DestinationTitle;
extern const char* const ReadyTitle;
extern const char* const ProgressTitle;
extern const char* const CancelQuestionTitle;
extern const char* const FolderQuestionTitle;
extern const char* const FolderErrorTitle;
extern const char DirectXOfferTitle[];
extern const char DirectXMessageTitle[];
extern const char* const DirectXErrorTitle;
extern const char* const RestartTitle;
// The game's window.
extern const char* const GameTitle;
// The shell's window on the Start Menu group: the group folder's name.
const char* GroupWindowTitle();
// The label of the destination page's group button for the default group.
std::string DefaultGroupLabel();

enum SetupControl {
    PlayButton = 1022,
    InstallButton = 1023,
    BrowseButton = 1003,
    ChangeButton = 1004,
    FolderEdit = 1005,
    GroupNoneRadio = 1017,
    GroupRadio = 1018,
    SpaceAvailableText = 1019,
    SpaceRequiredText = 1020,
    StatusLine = 1012,
    TotalBar = 1013,
    TotalLabel = 1014,
    FileBar = 1015,
    WithoutDirectXButton = 1020,
    ExitSetupButton = 1021,
};

// The disc, as a Windows path ending in a backslash: the assembled folder, or
// the drive that VEXLO_E2E_DISC names (e.g. "R:\\").
std::string DiscFolder();
// Folder of the test program (bin/), ending in a backslash.
std::string TestProgramFolder();
// A scratch folder of the tests on drive C:, created when missing.
std::string ScratchFolder();

// One run of Setup.exe.
struct SetupRun {
    StartedProcess process;
    ~SetupRun();
    bool Start(const char* setupPath = nullptr, std::vector<std::string> environment = {});
    HWND Wait(const char* title, unsigned timeoutMs = WindowWaitMs) const;
    HWND WaitBox(const char* title, unsigned timeoutMs = WindowWaitMs) const;
    // True when the program ended in time; the exit code goes to *code.
    bool WaitEnd(DWORD* code, unsigned timeoutMs = ExitWaitMs);
    bool Running() const;
    DWORD Id() const { return process.processId; }
};

// Launcher → Install, expecting DirectX to be present: the sheet window.
HWND OpenWizard(SetupRun& run);
// Launcher → Install, expecting DirectX to be missing: the offer (dialog 110).
HWND OpenDirectXOffer(SetupRun& run);
// The offer accepted and the DirectX setup's message answered with OK;
// returns the message's text ("<...>" when a window did not come).
std::string AcceptDirectXOffer(SetupRun& run);
// From the welcome page to the destination page; returns the sheet.
HWND GoToDestination(HWND sheet);
// The sheet's current title, "" when gone.
std::string WindowTitle(HWND window);
bool WaitTitle(HWND window, const char* title, unsigned timeoutMs = WindowWaitMs);
std::string ControlText(HWND top, int id);
std::string MessageText(HWND box);
// Shows that no window of that title appears within the time.
bool StaysAway(const SetupRun& run, const char* title, unsigned ms = 1500);

// Wine's per-program Windows version for Setup.exe ("nt351", ...; null removes it).
void SetSetupWindowsVersion(const char* version);

// Removes the folder and, while they are left empty, its parents.
void RemoveEmptyParents(std::string path);
std::string ProgramsFolder();

// A shortcut read back through the shell's link object.
struct ShortcutInfo {
    std::string target;
    std::string arguments;
    std::string workingFolder;
};
bool ReadShortcut(const std::string& path, ShortcutInfo* info);

// The disc's files as the install walks them: the top folder's files first,
// then each sub-folder's, depth first, names as "./data/x.mp3".
std::vector<std::string> ListDiscFiles();

// Closes the folder window that the installer opens on the Start Menu group.
void CloseGroupFolderWindows(DWORD setupProcessId);

// What an installation and its removal may touch, sorted: drive C: (without
// the system, user and program folders and the tests' scratch folder), the
// Start Menu, and the names of the Uninstall entries.
std::vector<std::string> SnapshotOfPrefix();
