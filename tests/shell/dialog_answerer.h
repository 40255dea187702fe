// Test helper: a second thread that waits for the modal windows a test call
// opens on the main thread, records their texts and presses a button in each.
// A window that was not expected (or one met after an expected one failed to
// come) is closed with Cancel and reported as a test failure, so a test that
// goes wrong fails instead of waiting in a modal loop for ever.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// Answers other than a button.
constexpr int PressEscape = 0;
constexpr int CloseBox = -1;

struct ExpectedWindow {
    std::string title;  // exact window title to wait for
    int button;         // control id posted as WM_COMMAND, PressEscape or CloseBox
    // Run on the answering thread while the window is open, before the answer.
    std::function<void(HWND window)> whileOpen = nullptr;
};

struct AnsweredWindow {
    std::string title;
    std::string text;   // the message box text, "" for other dialogs
    bool centred;       // placed in the middle of the desktop (to a pixel)
    HWND owner;         // the window it belongs to
    bool ownerEnabled;  // whether that window took input while it was open
};

class DialogAnswerer {
  public:
    explicit DialogAnswerer(std::vector<ExpectedWindow> expected);
    ~DialogAnswerer();
    // Stops the thread; returns the expected windows it answered, in order.
    std::vector<AnsweredWindow> Finish();

  private:
    void Run();
    void CloseUnexpectedWindows();
    void Stop();
    std::vector<ExpectedWindow> expected;
    std::vector<AnsweredWindow> answered;
    std::vector<std::string> missed;      // expected titles that never came
    std::vector<std::string> unexpected;  // titles of windows closed unasked
    std::vector<HWND> existing;           // dialogs that were there before
    DWORD testThread;
    std::atomic<bool> stopping{false};
    std::thread worker;
};

// A visible top-level window to act as the parent of wizard pages under test.
// It records the last PSM_SETWIZBUTTONS request posted to it.
HWND CreateTestParent();
LPARAM LastWizardButtons();
void ResetWizardButtons();

// Handles waiting messages of this thread (posted requests, paints).
void PumpMessages();
