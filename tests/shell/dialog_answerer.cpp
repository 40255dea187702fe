#include "dialog_answerer.h"

#include <prsht.h>

#include <chrono>
#include <cstdlib>

namespace {

constexpr int PollMilliseconds = 20;
constexpr int WaitMilliseconds = 15000;
LPARAM lastWizardButtons = -1;

HWND WaitForWindow(const std::string& title) {
    for (int waited = 0; waited < WaitMilliseconds; waited += PollMilliseconds) {
        HWND window = FindWindowA(nullptr, title.c_str());
        if (window && IsWindowVisible(window)) return window;
        Sleep(PollMilliseconds);
    }
    return nullptr;
}

bool IsCentred(HWND window) {
    RECT own, desktop;
    GetWindowRect(window, &own);
    GetWindowRect(GetDesktopWindow(), &desktop);
    int x = ((desktop.right - desktop.left) - (own.right - own.left)) / 2;
    int y = ((desktop.bottom - desktop.top) - (own.bottom - own.top)) / 2;
    return own.left == x && own.top == y;
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
    : expected(std::move(expected)), worker([this] { Run(); }) {}

DialogAnswerer::~DialogAnswerer() {
    if (worker.joinable()) worker.join();
}

std::vector<AnsweredWindow> DialogAnswerer::Finish() {
    if (worker.joinable()) worker.join();
    return answered;
}

void DialogAnswerer::Run() {
    for (const ExpectedWindow& want : expected) {
        HWND window = WaitForWindow(want.title);
        if (!window) return;
        Sleep(50);  // let the dialog finish its initialisation
        AnsweredWindow seen{want.title, "", IsCentred(window)};
        char text[1024] = "";
        if (GetDlgItemTextA(window, 0xFFFF, text, sizeof text)) seen.text = text;
        answered.push_back(seen);
        if (want.button)
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(want.button, BN_CLICKED), 0);
        else
            PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
        // The window must be gone before the next one is looked for.
        for (int waited = 0; IsWindow(window) && waited < WaitMilliseconds;
             waited += PollMilliseconds)
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
