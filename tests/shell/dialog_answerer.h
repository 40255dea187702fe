// Test helper: a second thread that waits for the modal windows a test call
// opens on the main thread, records their texts and presses a button in each.
#pragma once

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

struct ExpectedWindow {
    std::string title;  // exact window title to wait for
    int button;         // control id posted as WM_COMMAND; 0 = send Escape
};

struct AnsweredWindow {
    std::string title;
    std::string text;  // the message box text (static 0xFFFF) or "" for dialogs
    bool centred;      // placed in the middle of the desktop (to a pixel)
};

class DialogAnswerer {
  public:
    explicit DialogAnswerer(std::vector<ExpectedWindow> expected);
    ~DialogAnswerer();
    // Waits for the thread; returns the windows it answered, in order.
    std::vector<AnsweredWindow> Finish();

  private:
    void Run();
    std::vector<ExpectedWindow> expected;
    std::vector<AnsweredWindow> answered;
    std::thread worker;
};

// A visible top-level window to act as the parent of wizard pages under test.
// It records the last PSM_SETWIZBUTTONS request posted to it.
HWND CreateTestParent();
LPARAM LastWizardButtons();
void ResetWizardButtons();

// Handles waiting messages of this thread (posted requests, paints).
void PumpMessages();
