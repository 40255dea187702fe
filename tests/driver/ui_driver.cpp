#include "ui_driver.h"

#include <commctrl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr unsigned PollIntervalMs = 30;

// ---- processes ----

bool NameMatchesEntry(const char* entry, const char* assignment) {
    const char* equals = strchr(assignment, '=');
    if (!equals) return false;
    size_t nameLength = size_t(equals - assignment);
    return _strnicmp(entry, assignment, nameLength) == 0 && entry[nameLength] == '=';
}

// The caller's environment with the extra assignments put in, as a block of
// zero-terminated texts ending in an empty one.
std::vector<char> BuildEnvironment(const char* const* extra) {
    std::vector<char> block;
    auto append = [&block](const char* text) {
        block.insert(block.end(), text, text + strlen(text) + 1);
    };
    if (extra)
        for (const char* const* item = extra; *item; ++item)
            append(*item);
    char* current = GetEnvironmentStringsA();
    for (const char* entry = current; entry && *entry; entry += strlen(entry) + 1) {
        bool replaced = false;
        if (extra)
            for (const char* const* item = extra; *item && !replaced; ++item)
                replaced = NameMatchesEntry(entry, *item);
        if (!replaced) append(entry);
    }
    if (current) FreeEnvironmentStringsA(current);
    block.push_back('\0');
    return block;
}

// ---- windows ----

struct TopWindowSearch {
    const char* title;
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindTopWindowStep(HWND window, LPARAM context) {
    TopWindowSearch* search = reinterpret_cast<TopWindowSearch*>(context);
    if (!IsWindowVisible(window)) return TRUE;
    if (search->processId && WindowProcessId(window) != search->processId) return TRUE;
    char title[512] = "";
    GetWindowTextA(window, title, sizeof title);
    if (!TitleMatches(search->title, title)) return TRUE;
    search->found = window;
    return FALSE;
}

struct TopWindowList {
    HWND* windows;
    int maxCount;
    int count;
    DWORD processId;
};

BOOL CALLBACK ListTopWindowStep(HWND window, LPARAM context) {
    TopWindowList* list = reinterpret_cast<TopWindowList*>(context);
    if (!IsWindowVisible(window)) return TRUE;
    if (list->processId && WindowProcessId(window) != list->processId) return TRUE;
    if (list->count < list->maxCount) list->windows[list->count] = window;
    list->count++;
    return TRUE;
}

struct ControlSearch {
    HWND top;
    int id;
    HWND best;
    int bestRank;
};

// Lower is better: visible direct child, visible descendant, hidden ones.
int ControlRank(HWND top, HWND control) {
    int rank = 0;
    if (!IsWindowVisible(control)) rank += 2;
    if (GetParent(control) != top) rank += 1;
    return rank;
}

BOOL CALLBACK FindControlStep(HWND window, LPARAM context) {
    ControlSearch* search = reinterpret_cast<ControlSearch*>(context);
    if (GetDlgCtrlID(window) != search->id) return TRUE;
    int rank = ControlRank(search->top, window);
    if (!search->best || rank < search->bestRank) {
        search->best = window;
        search->bestRank = rank;
    }
    return TRUE;
}

struct ControlList {
    ControlInfo* controls;
    int maxCount;
    int count;
};

BOOL CALLBACK ListControlStep(HWND window, LPARAM context) {
    ControlList* list = reinterpret_cast<ControlList*>(context);
    if (list->count < list->maxCount) {
        ControlInfo& info = list->controls[list->count];
        info.window = window;
        info.id = GetDlgCtrlID(window);
        info.visible = IsWindowVisible(window) != FALSE;
        info.enabled = IsWindowEnabled(window) != FALSE;
        info.className[0] = '\0';
        GetClassNameA(window, info.className, sizeof info.className);
        if (!ReadWindowText(window, info.text, sizeof info.text)) info.text[0] = '\0';
    }
    list->count++;
    return TRUE;
}

bool SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
    DWORD_PTR value = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, ReadTimeoutMs,
                             &value))
        return false;
    if (result) *result = value;
    return true;
}

// ---- bitmaps ----

#pragma pack(push, 1)
struct BmpFileHeader {
    uint16_t type;  // "BM"
    uint32_t fileSize;
    uint16_t reserved1;
    uint16_t reserved2;
    uint32_t pixelOffset;
};
#pragma pack(pop)
static_assert(sizeof(BmpFileHeader) == 14, "BMP file header is 14 bytes");

bool WriteBmp24(const char* path, int width, int height, const uint8_t* bottomUpRows) {
    uint32_t stride = (uint32_t(width) * 3 + 3) & ~3u;
    uint32_t pixelBytes = stride * uint32_t(height);
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = pixelBytes;
    info.biXPelsPerMeter = 3780;
    info.biYPelsPerMeter = 3780;
    BmpFileHeader file = {};
    file.type = 0x4D42;
    file.pixelOffset = sizeof file + sizeof info;
    file.fileSize = file.pixelOffset + pixelBytes;
    FILE* out = fopen(path, "wb");
    if (!out) return false;
    bool ok = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info, sizeof info, 1, out) == 1 &&
              fwrite(bottomUpRows, 1, pixelBytes, out) == pixelBytes;
    return fclose(out) == 0 && ok;
}

}  // namespace

uint32_t DriverClock() {
    return GetTickCount();
}

// ---- processes ----

bool StartProgram(const char* program, const char* arguments, const char* folder,
                  const char* const* extraEnvironment, StartedProcess* started) {
    char fullPath[MAX_PATH];
    if (!GetFullPathNameA(program, sizeof fullPath, fullPath, nullptr)) return false;
    std::string commandLine = std::string("\"") + fullPath + "\"";
    if (arguments && *arguments) commandLine += std::string(" ") + arguments;
    std::vector<char> commandBuffer(commandLine.begin(), commandLine.end());
    commandBuffer.push_back('\0');
    std::vector<char> environment = BuildEnvironment(extraEnvironment);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(fullPath, commandBuffer.data(), nullptr, nullptr, FALSE, 0,
                        environment.data(), folder, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    started->process = info.hProcess;
    started->processId = info.dwProcessId;
    return true;
}

bool WaitProcessEnd(HANDLE process, unsigned timeoutMs, DWORD* exitCode) {
    if (!process || WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(process, exitCode);
    return true;
}

bool WaitProcessIdEnd(DWORD processId, unsigned timeoutMs, DWORD* exitCode) {
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (!process) return false;
    bool ended = WaitProcessEnd(process, timeoutMs, exitCode);
    CloseHandle(process);
    return ended;
}

void KillProcess(HANDLE process) {
    if (!process) return;
    TerminateProcess(process, 255);
    WaitForSingleObject(process, 5000);
}

bool KillProcessId(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
    if (!process) return false;
    KillProcess(process);
    CloseHandle(process);
    return true;
}

void CloseStartedProcess(StartedProcess* started) {
    if (started->process) CloseHandle(started->process);
    started->process = nullptr;
    started->processId = 0;
}

// ---- top-level windows ----

bool TitleMatches(const char* pattern, const char* title) {
    size_t length = strlen(pattern);
    if (length > 0 && pattern[length - 1] == '*') return strncmp(pattern, title, length - 1) == 0;
    return strcmp(pattern, title) == 0;
}

DWORD WindowProcessId(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

HWND FindTopWindow(const char* title, DWORD processId) {
    TopWindowSearch search = {title, processId, nullptr};
    EnumWindows(FindTopWindowStep, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitTopWindow(const char* title, DWORD processId, unsigned timeoutMs) {
    uint32_t start = DriverClock();
    for (;;) {
        HWND window = FindTopWindow(title, processId);
        if (window) return window;
        if (DriverClock() - start >= timeoutMs) return nullptr;
        Sleep(PollIntervalMs);
    }
}

bool WaitTopWindowGone(const char* title, DWORD processId, unsigned timeoutMs) {
    uint32_t start = DriverClock();
    while (FindTopWindow(title, processId)) {
        if (DriverClock() - start >= timeoutMs) return false;
        Sleep(PollIntervalMs);
    }
    return true;
}

bool WaitWindowGone(HWND window, unsigned timeoutMs) {
    uint32_t start = DriverClock();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (DriverClock() - start >= timeoutMs) return false;
        Sleep(PollIntervalMs);
    }
    return true;
}

int ListTopWindows(HWND* windows, int maxCount, DWORD processId) {
    TopWindowList list = {windows, maxCount, 0, processId};
    EnumWindows(ListTopWindowStep, reinterpret_cast<LPARAM>(&list));
    return list.count < maxCount ? list.count : maxCount;
}

// ---- controls ----

HWND FindControl(HWND top, int id) {
    if (!top) return nullptr;
    ControlSearch search = {top, id, nullptr, 0};
    EnumChildWindows(top, FindControlStep, reinterpret_cast<LPARAM>(&search));
    return search.best;
}

HWND WaitControl(HWND top, int id, unsigned timeoutMs) {
    uint32_t start = DriverClock();
    for (;;) {
        HWND control = FindControl(top, id);
        if (control && IsWindowVisible(control)) return control;
        if (!IsWindow(top) || DriverClock() - start >= timeoutMs) return nullptr;
        Sleep(PollIntervalMs);
    }
}

int ListControls(HWND top, ControlInfo* controls, int maxCount) {
    ControlList list = {controls, maxCount, 0};
    EnumChildWindows(top, ListControlStep, reinterpret_cast<LPARAM>(&list));
    return list.count < maxCount ? list.count : maxCount;
}

bool ReadWindowText(HWND window, char* buffer, size_t size) {
    if (!window || size == 0) return false;
    buffer[0] = '\0';
    DWORD_PTR copied = 0;
    if (SendWithTimeout(window, WM_GETTEXT, size, reinterpret_cast<LPARAM>(buffer), &copied)) {
        buffer[copied < size ? copied : size - 1] = '\0';
        return true;
    }
    // The owner is busy: fall back to the text the system keeps for the
    // window (static controls keep theirs there).
    return GetWindowTextA(window, buffer, int(size)) >= 0 && IsWindow(window);
}

bool ReadControlText(HWND top, int id, char* buffer, size_t size) {
    return ReadWindowText(FindControl(top, id), buffer, size);
}

bool WaitControlText(HWND top, int id, const char* expected, unsigned timeoutMs) {
    uint32_t start = DriverClock();
    for (;;) {
        char text[1024];
        if (ReadControlText(top, id, text, sizeof text) && strcmp(text, expected) == 0) return true;
        if (!IsWindow(top) || DriverClock() - start >= timeoutMs) return false;
        Sleep(PollIntervalMs);
    }
}

bool IsControlEnabled(HWND top, int id) {
    HWND control = FindControl(top, id);
    return control && IsWindowEnabled(control);
}

bool IsControlVisible(HWND top, int id) {
    HWND control = FindControl(top, id);
    return control && IsWindowVisible(control);
}

bool ClickButton(HWND top, int id) {
    // A page shown a moment ago may enable its sheet's buttons only as it
    // becomes active: a button that is there is given a moment to become
    // clickable, as a person's click would come a moment later too.
    constexpr unsigned ClickableWaitMs = 1000;
    uint32_t start = DriverClock();
    for (;;) {
        HWND button = FindControl(top, id);
        if (button && IsWindowVisible(button) && IsWindowEnabled(button))
            return PostMessageA(button, BM_CLICK, 0, 0) != FALSE;
        if (!button || !IsWindow(top) || DriverClock() - start >= ClickableWaitMs) return false;
        Sleep(PollIntervalMs);
    }
}

int ReadButtonCheck(HWND top, int id) {
    DWORD_PTR state = 0;
    HWND button = FindControl(top, id);
    if (!button || !SendWithTimeout(button, BM_GETCHECK, 0, 0, &state)) return -1;
    return int(state);
}

bool WaitButtonCheck(HWND top, int id, int state, unsigned timeoutMs) {
    uint32_t start = DriverClock();
    while (ReadButtonCheck(top, id) != state) {
        if (!IsWindow(top) || DriverClock() - start >= timeoutMs) return false;
        Sleep(PollIntervalMs);
    }
    return true;
}

bool CheckButton(HWND top, int id) {
    if (ReadButtonCheck(top, id) == BST_CHECKED) return true;
    return ClickButton(top, id);
}

bool SetEditText(HWND top, int id, const char* text) {
    HWND edit = FindControl(top, id);
    return edit && SendWithTimeout(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), nullptr);
}

bool TypeEditText(HWND top, int id, const char* text) {
    HWND edit = FindControl(top, id);
    if (!edit || !IsWindowEnabled(edit)) return false;
    if (!PostMessageA(edit, EM_SETSEL, 0, -1)) return false;
    // An empty text clears the selection as Delete would.
    if (!*text) return PostMessageA(edit, WM_KEYDOWN, VK_DELETE, 1) != FALSE;
    for (const char* c = text; *c; ++c)
        if (!PostMessageA(edit, WM_CHAR, WPARAM(static_cast<unsigned char>(*c)), 1)) return false;
    return true;
}

bool FocusControl(HWND top, int id) {
    HWND control = FindControl(top, id);
    if (!control) return false;
    HWND dialog = GetParent(control);
    // The dialog moves the focus itself, in its own thread.
    return dialog && PostMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

bool WaitFocus(HWND top, int id, unsigned timeoutMs) {
    uint32_t start = DriverClock();
    for (;;) {
        HWND control = FindControl(top, id);
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        if (control && GetGUIThreadInfo(GetWindowThreadProcessId(control, nullptr), &info) &&
            info.hwndFocus == control)
            return true;
        if (!IsWindow(top) || DriverClock() - start >= timeoutMs) return false;
        Sleep(PollIntervalMs);
    }
}

int ReadProgressPosition(HWND top, int id) {
    DWORD_PTR position = 0;
    HWND bar = FindControl(top, id);
    if (!bar || !SendWithTimeout(bar, PBM_GETPOS, 0, 0, &position)) return -1;
    return int(position);
}

int ReadListCount(HWND top, int id) {
    DWORD_PTR count = 0;
    HWND list = FindControl(top, id);
    if (!list || !SendWithTimeout(list, LB_GETCOUNT, 0, 0, &count)) return -1;
    return int(count);
}

bool ReadListItem(HWND top, int id, int index, char* buffer, size_t size) {
    HWND list = FindControl(top, id);
    DWORD_PTR length = 0;
    if (!list || size == 0 ||
        !SendMessageTimeoutW(list, LB_GETTEXTLEN, index, 0, SMTO_ABORTIFHUNG, ReadTimeoutMs,
                             &length) ||
        int(length) < 0 || length >= 1024)
        return false;
    // Asked in UTF-16: the ANSI form of this message loses its conversion
    // on the way back from another process under Wine.
    wchar_t wide[1024];
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(wide),
                             SMTO_ABORTIFHUNG, ReadTimeoutMs, &copied) ||
        int(copied) < 0 || copied >= 1024)
        return false;
    wide[copied] = L'\0';
    return WideCharToMultiByte(CP_ACP, 0, wide, -1, buffer, int(size), nullptr, nullptr) > 0;
}

bool SelectTreeRoot(HWND top, int id) {
    HWND tree = FindControl(top, id);
    DWORD_PTR root = 0, selected = 0;
    // Item handles are plain values: these two messages cross processes as they are.
    return tree && SendWithTimeout(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0, &root) && root &&
           SendWithTimeout(tree, TVM_SELECTITEM, TVGN_CARET, LPARAM(root), &selected) && selected;
}

bool PressKey(HWND window, UINT virtualKey) {
    if (!window) return false;
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    HWND target = window;
    if (GetGUIThreadInfo(thread, &info)) {
        if (info.hwndFocus)
            target = info.hwndFocus;
        else if (info.hwndActive)
            target = info.hwndActive;
    }
    UINT scan = MapVirtualKeyA(virtualKey, 0);
    LPARAM down = 1 | (LPARAM(scan) << 16);
    LPARAM up = down | (LPARAM(1) << 30) | (LPARAM(1) << 31);
    if (!PostMessageA(target, WM_KEYDOWN, virtualKey, down)) return false;
    // The key-down may have closed the window already (Esc in a dialog): the
    // key-up then has nowhere to go, and nothing left to do.
    PostMessageA(target, WM_KEYUP, virtualKey, up);
    return true;
}

bool CloseTopWindow(HWND window) {
    return window && PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

// ---- message boxes ----

HWND WaitMessageBox(const char* title, DWORD processId, unsigned timeoutMs) {
    uint32_t start = DriverClock();
    for (;;) {
        HWND box = FindTopWindow(title, processId);
        if (box && FindControl(box, MessageBoxTextId)) return box;
        if (DriverClock() - start >= timeoutMs) return nullptr;
        Sleep(PollIntervalMs);
    }
}

bool ReadMessageBoxText(HWND box, char* buffer, size_t size) {
    return ReadControlText(box, MessageBoxTextId, buffer, size);
}

bool AnswerMessageBox(HWND box, int buttonId) {
    return ClickButton(box, buttonId);
}

// ---- screenshots ----

bool SaveScreenRect(const RECT& requested, const char* path) {
    RECT screen = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
    screen.right = screen.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    screen.bottom = screen.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    RECT rect;
    if (!IntersectRect(&rect, &requested, &screen)) return false;
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as the file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;

    HDC screenDc = GetDC(nullptr);
    if (!screenDc) return false;
    HDC memoryDc = CreateCompatibleDC(screenDc);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screenDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (memoryDc && bitmap && bits) {
        HGDIOBJ old = SelectObject(memoryDc, bitmap);
        ok = BitBlt(memoryDc, 0, 0, width, height, screenDc, rect.left, rect.top,
                    SRCCOPY | CAPTUREBLT) != FALSE;
        GdiFlush();
        SelectObject(memoryDc, old);
        if (ok) ok = WriteBmp24(path, width, height, static_cast<const uint8_t*>(bits));
    }
    if (bitmap) DeleteObject(bitmap);
    if (memoryDc) DeleteDC(memoryDc);
    ReleaseDC(nullptr, screenDc);
    return ok;
}

bool SaveWindowShot(HWND window, const char* path) {
    RECT rect;
    if (!window || !GetWindowRect(window, &rect)) return false;
    // The shot copies the screen, so a window that another one overlaps (the
    // folder window the installer opens, say) is raised first and given a
    // moment to repaint.
    if (GetTopWindow(nullptr) != window) {
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
        Sleep(300);
    }
    return SaveScreenRect(rect, path);
}

bool SaveScreenShot(const char* path) {
    RECT rect = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
    rect.right = rect.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    rect.bottom = rect.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    return SaveScreenRect(rect, path);
}
