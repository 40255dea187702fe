// UI automation of real Win32 programs from another process: start a program,
// find its windows by title, read and drive their controls, answer message
// boxes, take screenshots. Every wait has a timeout; nothing here blocks on a
// window that is busy in a modal loop (actions are posted, reads time out).
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>

// Buttons of a property sheet (comctl32's own control ids).
constexpr int SheetBackButton = 0x3023;
constexpr int SheetNextButton = 0x3024;
constexpr int SheetFinishButton = 0x3025;
constexpr int SheetCancelButton = IDCANCEL;

// Message boxes keep their text in a static control with this id.
constexpr int MessageBoxTextId = 0xFFFF;

// How long a read of another process's control may take before it fails.
constexpr unsigned ReadTimeoutMs = 2000;

struct StartedProcess {
    HANDLE process = nullptr;
    DWORD processId = 0;
};

struct ControlInfo {
    HWND window;
    int id;
    bool visible;
    bool enabled;
    char className[64];
    char text[256];
};

// Starts `program` (a full or relative path) with `folder` as its current
// directory (null: the caller's). `extraEnvironment` is a null-terminated list
// of "NAME=value" texts added to (or replacing in) the caller's environment.
bool StartProgram(const char* program, const char* arguments, const char* folder,
                  const char* const* extraEnvironment, StartedProcess* started);
// Waits for the process to end; false on timeout. The exit code may be null.
bool WaitProcessEnd(HANDLE process, unsigned timeoutMs, DWORD* exitCode);
bool WaitProcessIdEnd(DWORD processId, unsigned timeoutMs, DWORD* exitCode);
// Ends a process this program started (or one it can name by id).
void KillProcess(HANDLE process);
bool KillProcessId(DWORD processId);
void CloseStartedProcess(StartedProcess* started);

// Top-level windows. A title ending in '*' matches every title that begins
// with the rest; otherwise the whole title must match, case-sensitive.
// processId 0 means any process. Only visible windows are found.
bool TitleMatches(const char* pattern, const char* title);
HWND FindTopWindow(const char* title, DWORD processId);
HWND WaitTopWindow(const char* title, DWORD processId, unsigned timeoutMs);
// Waits until no visible top-level window of that title is left.
bool WaitTopWindowGone(const char* title, DWORD processId, unsigned timeoutMs);
bool WaitWindowGone(HWND window, unsigned timeoutMs);
DWORD WindowProcessId(HWND window);
// Lists the visible top-level windows (titles may be empty); returns the count.
int ListTopWindows(HWND* windows, int maxCount, DWORD processId);

// Controls anywhere below `top` (property sheet pages included). Where an id
// occurs more than once, a visible control is preferred, then one that is a
// direct child of `top`.
HWND FindControl(HWND top, int id);
HWND WaitControl(HWND top, int id, unsigned timeoutMs);
int ListControls(HWND top, ControlInfo* controls, int maxCount);

bool ReadWindowText(HWND window, char* buffer, size_t size);
bool ReadControlText(HWND top, int id, char* buffer, size_t size);
// Waits until the control's text equals `expected`.
bool WaitControlText(HWND top, int id, const char* expected, unsigned timeoutMs);
bool IsControlEnabled(HWND top, int id);
bool IsControlVisible(HWND top, int id);

// Clicks a button as the mouse would: refuses hidden or disabled buttons (one
// that is there gets a second to become clickable, as a page enables its
// sheet's buttons only as it becomes active).
// The click is posted, so a modal dialog it opens does not block the caller.
bool ClickButton(HWND top, int id);
// Checks a radio button or check box by clicking it (when not yet checked).
bool CheckButton(HWND top, int id);
// BST_CHECKED, BST_UNCHECKED, or -1 when the control cannot be read.
int ReadButtonCheck(HWND top, int id);
// Waits until the button's check state is `state`.
bool WaitButtonCheck(HWND top, int id, int state, unsigned timeoutMs);
// Replaces an edit's text (WM_SETTEXT: the edit reports EN_CHANGE itself).
bool SetEditText(HWND top, int id, const char* text);
// Types text into an edit, character by character, replacing its content.
bool TypeEditText(HWND top, int id, const char* text);
// Moves the keyboard focus to a control of a dialog (the old owner of the
// focus gets its kill-focus notification).
bool FocusControl(HWND top, int id);
// Waits until the control has the keyboard focus of its own thread (another
// program's window may be the active one meanwhile).
bool WaitFocus(HWND top, int id, unsigned timeoutMs);
// Progress bar position, or -1.
int ReadProgressPosition(HWND top, int id);
// List boxes: the number of items (-1 when unreadable) and one item's text.
int ReadListCount(HWND top, int id);
bool ReadListItem(HWND top, int id, int index, char* buffer, size_t size);

// Selects the first item at the top of a tree view (as a click on it would).
bool SelectTreeRoot(HWND top, int id);

// Presses a key in the window's thread, at the control that has the focus
// (Esc in a dialog works as it does for the user).
bool PressKey(HWND window, UINT virtualKey);
// Asks the window to close, as its close box does.
bool CloseTopWindow(HWND window);

// Message boxes: dialog windows with a title and the text in MessageBoxTextId.
HWND WaitMessageBox(const char* title, DWORD processId, unsigned timeoutMs);
bool ReadMessageBoxText(HWND box, char* buffer, size_t size);
// Presses IDYES, IDNO, IDOK, ... of the box.
bool AnswerMessageBox(HWND box, int buttonId);

// Screenshots as 24-bit .bmp files, taken from the screen as it shows them.
bool SaveWindowShot(HWND window, const char* path);
bool SaveScreenShot(const char* path);
bool SaveScreenRect(const RECT& rect, const char* path);

// Milliseconds since some fixed point, for timeouts.
uint32_t DriverClock();
