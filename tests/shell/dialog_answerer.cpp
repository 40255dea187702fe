#include "dialog_answerer.h"

#include <gtest/gtest.h>
#include <prsht.h>

#include <cstring>

#include "ui_driver.h"

namespace {

constexpr unsigned PollMilliseconds = 20;
constexpr unsigned WaitMilliseconds = 15000;
constexpr int MaxWindows = 64;
LPARAM lastWizardButtons = -1;

bool IsCentred(HWND window) {
    RECT own, desktop;
    GetWindowRect(window, &own);
    GetWindowRect(GetDesktopWindow(), &desktop);
    int x = ((desktop.right - desktop.left) - (own.right - own.left)) / 2;
    int y = ((desktop.bottom - desktop.top) - (own.bottom - own.top)) / 2;
    return own.left == x && own.top == y;
}

// The visible dialogs (message boxes included) of one thread of this process.
std::vector<HWND> DialogsOfThread(DWORD thread) {
    HWND windows[MaxWindows];
    int count = ListTopWindows(windows, MaxWindows, GetCurrentProcessId());
    std::vector<HWND> dialogs;
    for (int i = 0; i < count; ++i) {
        char className[16] = "";
        GetClassNameA(windows[i], className, sizeof className);
        if (GetWindowThreadProcessId(windows[i], nullptr) == thread &&
            strcmp(className, "#32770") == 0)
            dialogs.push_back(windows[i]);
    }
    return dialogs;
}

bool Contains(const std::vector<HWND>& windows, HWND window) {
    for (HWND known : windows)
        if (known == window) return true;
    return false;
}

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PSM_SETWIZBUTTONS) {
        lastWizardButtons = lParam;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

DialogAnswerer::DialogAnswerer(std::vector<ExpectedWindow> expected)
    : expected(std::move(expected)),
      existing(DialogsOfThread(GetCurrentThreadId())),
      testThread(GetCurrentThreadId()) {
    worker = std::thread([this] { Run(); });
}

DialogAnswerer::~DialogAnswerer() {
    Stop();
}

std::vector<AnsweredWindow> DialogAnswerer::Finish() {
    Stop();
    return answered;
}

void DialogAnswerer::Stop() {
    if (!worker.joinable()) return;
    stopping = true;
    worker.join();
    for (const std::string& title : missed)
        ADD_FAILURE() << "no window \"" << title << "\" appeared";
    for (const std::string& title : unexpected)
        ADD_FAILURE() << "unexpected window \"" << title << "\", closed with Cancel";
}

void DialogAnswerer::Run() {
    for (size_t next = 0; next < expected.size(); ++next) {
        const ExpectedWindow& want = expected[next];
        HWND window = nullptr;
        for (unsigned waited = 0; !window && !stopping && waited < WaitMilliseconds;
             waited += PollMilliseconds) {
            window = FindTopWindow(want.title.c_str(), GetCurrentProcessId());
            if (!window) Sleep(PollMilliseconds);
        }
        if (!window) {
            for (; next < expected.size(); ++next)
                missed.push_back(expected[next].title);
            break;
        }
        HWND owner = GetWindow(window, GW_OWNER);
        AnsweredWindow seen{want.title, "", IsCentred(window), owner,
                            owner && IsWindowEnabled(owner)};
        char text[1024];
        if (ReadMessageBoxText(window, text, sizeof text)) seen.text = text;
        answered.push_back(seen);
        if (want.whileOpen) want.whileOpen(window);
        if (want.button == PressEscape)
            PressKey(window, VK_ESCAPE);
        else if (want.button == CloseBox)
            CloseTopWindow(window);
        else
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(want.button, BN_CLICKED), 0);
        // The window must be gone before the next one is looked for.
        WaitWindowGone(window, WaitMilliseconds);
    }
    CloseUnexpectedWindows();
}

void DialogAnswerer::CloseUnexpectedWindows() {
    std::vector<HWND> closed = existing;
    while (!stopping) {
        for (HWND window : DialogsOfThread(testThread)) {
            if (Contains(closed, window)) continue;
            char title[256] = "";
            GetWindowTextA(window, title, sizeof title);
            unexpected.push_back(title);
            closed.push_back(window);
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
        Sleep(PollMilliseconds);
    }
}

HWND CreateTestParent() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = ParentProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "VexloTestParent";
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        RegisterClassA(&windowClass);
        registered = true;
    }
    return CreateWindowA("VexloTestParent", "Vexlo test parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                         0, 0, 700, 500, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

LPARAM LastWizardButtons() {
    return lastWizardButtons;
}

void ResetWizardButtons() {
    lastWizardButtons = -1;
}

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
