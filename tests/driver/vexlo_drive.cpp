// vexlo-drive: the UI driver's steps for shell scripts, one step per run.
//
//   vexlo-drive [--pid N] [--timeout SECONDS] COMMAND ARGUMENTS...
//
// Window titles match exactly, or by prefix when they end in '*'. Commands
// that name a window wait for it (up to the timeout, 10 s by default). The
// exit code is 0 on success, 1 when the step failed, 2 on a usage error.
// Under Wine a program that "start" runs keeps the output of vexlo-drive
// open: send that output to a file, not into a shell's $(...), which would
// wait for the started program to end.
#include "ui_driver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Options {
    DWORD processId = 0;
    unsigned timeoutMs = 10000;
};

Options options;

const char UsageText[] =
    "usage: vexlo-drive [--pid N] [--timeout SECONDS] COMMAND ...\n"
    "  start PROGRAM [--dir FOLDER] [--env NAME=VALUE]... [-- ARGUMENTS]   prints the process id\n"
    "  wait-exit PID SECONDS            prints the exit code\n"
    "  kill PID\n"
    "  windows                          visible top-level windows\n"
    "  wait-window TITLE SECONDS\n"
    "  wait-gone TITLE SECONDS\n"
    "  controls TITLE                   the window's controls: id, class, flags, text\n"
    "  text TITLE ID                    prints the control's text\n"
    "  wait-text TITLE ID TEXT SECONDS\n"
    "  title TITLE                      prints the window's own title\n"
    "  fits TITLE ID FACE POINTS        prints the text's width in that font (the\n"
    "                                   dialog's) and the control's room, in pixels;\n"
    "                                   fails when the text is cut\n"
    "  click TITLE ID\n"
    "  check TITLE ID                   checks a radio button or check box\n"
    "  checked TITLE ID                 prints 1 or 0\n"
    "  enabled TITLE ID                 prints 1 or 0\n"
    "  set-text TITLE ID TEXT           replaces an edit's text\n"
    "  type TITLE ID TEXT               types into an edit\n"
    "  focus TITLE ID\n"
    "  progress TITLE ID                prints a progress bar's position\n"
    "  key TITLE esc|enter|tab|space\n"
    "  close TITLE                      as the close box\n"
    "  msgbox-text TITLE                prints a message box's text\n"
    "  answer TITLE yes|no|ok|cancel|ID presses a button of a message box or dialog\n"
    "  shot TITLE FILE.bmp              screenshot of the window\n"
    "  shot-screen FILE.bmp             screenshot of the whole screen\n"
    "  shot-at-progress TITLE ID MIN FILE.bmp SECONDS\n"
    "                                   screenshot as soon as a progress bar reaches MIN\n"
    "Sheet buttons: back 0x3023, next 0x3024, finish 0x3025, cancel 2.\n";

int Usage() {
    fputs(UsageText, stderr);
    return 2;
}

int Fail(const char* what, const char* detail) {
    fprintf(stderr, "vexlo-drive: %s: %s\n", what, detail);
    return 1;
}

bool ParseNumber(const char* text, long* value) {
    char* end = nullptr;
    *value = strtol(text, &end, 0);
    if (end == text) return false;
    // Texts captured from another run may carry its line end.
    while (*end == '\r' || *end == '\n' || *end == ' ')
        ++end;
    return *end == '\0';
}

unsigned SecondsToMs(const char* text) {
    return unsigned(atof(text) * 1000.0);
}

// Button names a script may use instead of ids; the sheet's buttons too.
bool ParseButton(const char* text, long* id) {
    static const struct {
        const char* name;
        long id;
    } names[] = {{"ok", IDOK},
                 {"cancel", IDCANCEL},
                 {"yes", IDYES},
                 {"no", IDNO},
                 {"back", SheetBackButton},
                 {"next", SheetNextButton},
                 {"finish", SheetFinishButton}};
    for (const auto& entry : names)
        if (_stricmp(text, entry.name) == 0) {
            *id = entry.id;
            return true;
        }
    return ParseNumber(text, id);
}

HWND NeedWindow(const char* title) {
    HWND window = WaitTopWindow(title, options.processId, options.timeoutMs);
    if (!window) Fail("no window", title);
    return window;
}

// The window and the control of "COMMAND TITLE ID ...".
bool NeedControl(char** args, int count, HWND* window, long* id) {
    if (count < 2 || !ParseButton(args[1], id)) return false;
    *window = NeedWindow(args[0]);
    if (!*window) return false;
    if (!WaitControl(*window, int(*id), options.timeoutMs) && !FindControl(*window, int(*id))) {
        Fail("no control", args[1]);
        return false;
    }
    return true;
}

int CommandStart(char** args, int count) {
    if (count < 1) return Usage();
    const char* folder = nullptr;
    std::vector<const char*> environment;
    std::string arguments;
    int i = 1;
    for (; i < count; ++i) {
        if (strcmp(args[i], "--dir") == 0 && i + 1 < count) {
            folder = args[++i];
        } else if (strcmp(args[i], "--env") == 0 && i + 1 < count) {
            environment.push_back(args[++i]);
        } else if (strcmp(args[i], "--") == 0) {
            ++i;
            break;
        } else {
            return Usage();
        }
    }
    for (; i < count; ++i) {
        if (!arguments.empty()) arguments += ' ';
        arguments += args[i];
    }
    environment.push_back(nullptr);
    StartedProcess started;
    if (!StartProgram(args[0], arguments.c_str(), folder, environment.data(), &started))
        return Fail("cannot start", args[0]);
    printf("%lu\n", static_cast<unsigned long>(started.processId));
    CloseStartedProcess(&started);
    return 0;
}

int CommandWaitExit(char** args, int count) {
    long processId = 0;
    if (count < 2 || !ParseNumber(args[0], &processId)) return Usage();
    DWORD exitCode = 0;
    if (!WaitProcessIdEnd(DWORD(processId), SecondsToMs(args[1]), &exitCode))
        return Fail("process still running or unknown", args[0]);
    printf("%ld\n", static_cast<long>(exitCode));
    return 0;
}

int CommandKill(char** args, int count) {
    long processId = 0;
    if (count < 1 || !ParseNumber(args[0], &processId)) return Usage();
    return KillProcessId(DWORD(processId)) ? 0 : Fail("cannot end process", args[0]);
}

int CommandWindows() {
    HWND windows[256];
    int count = ListTopWindows(windows, 256, options.processId);
    for (int i = 0; i < count; ++i) {
        char title[512] = "", className[128] = "";
        GetWindowTextA(windows[i], title, sizeof title);
        GetClassNameA(windows[i], className, sizeof className);
        RECT rect = {};
        GetWindowRect(windows[i], &rect);
        printf("%lu\t%s\t%ld,%ld %ldx%ld\t%s\n",
               static_cast<unsigned long>(WindowProcessId(windows[i])), className, rect.left,
               rect.top, rect.right - rect.left, rect.bottom - rect.top, title);
    }
    return 0;
}

int CommandControls(char** args, int count) {
    if (count < 1) return Usage();
    HWND window = NeedWindow(args[0]);
    if (!window) return 1;
    std::vector<ControlInfo> controls(512);
    int found = ListControls(window, controls.data(), int(controls.size()));
    for (int i = 0; i < found; ++i) {
        const ControlInfo& c = controls[i];
        printf("%d\t0x%04X\t%s\t%s%s\t%s\n", c.id, c.id & 0xFFFF, c.className,
               c.visible ? "visible" : "hidden", c.enabled ? "" : ",disabled", c.text);
    }
    return 0;
}

int CommandText(char** args, int count) {
    HWND window;
    long id;
    if (count < 2) return Usage();
    if (!NeedControl(args, count, &window, &id)) return 1;
    char text[4096];
    if (!ReadControlText(window, int(id), text, sizeof text)) return Fail("cannot read", args[1]);
    printf("%s\n", text);
    return 0;
}

int CommandWaitText(char** args, int count) {
    HWND window;
    long id;
    if (count < 4) return Usage();
    if (!NeedControl(args, count, &window, &id)) return 1;
    if (!WaitControlText(window, int(id), args[2], SecondsToMs(args[3]))) {
        char text[4096] = "";
        ReadControlText(window, int(id), text, sizeof text);
        return Fail("text not reached, now", text);
    }
    return 0;
}

int CommandClick(char** args, int count, bool onlyCheck) {
    HWND window;
    long id;
    if (count < 2) return Usage();
    if (!NeedControl(args, count, &window, &id)) return 1;
    bool done = onlyCheck ? CheckButton(window, int(id)) : ClickButton(window, int(id));
    return done ? 0 : Fail("cannot click (hidden or disabled?)", args[1]);
}

int CommandChecked(char** args, int count) {
    HWND window;
    long id;
    if (count < 2) return Usage();
    if (!NeedControl(args, count, &window, &id)) return 1;
    int state = ReadButtonCheck(window, int(id));
    if (state < 0) return Fail("cannot read", args[1]);
    printf("%d\n", state == BST_CHECKED ? 1 : 0);
    return 0;
}

int CommandEnabled(char** args, int count) {
    HWND window;
    long id;
    if (count < 2) return Usage();
    if (!NeedControl(args, count, &window, &id)) return 1;
    printf("%d\n", IsControlEnabled(window, int(id)) ? 1 : 0);
    return 0;
}

int CommandEdit(char** args, int count, bool typed) {
    HWND window;
    long id;
    if (count < 3) return Usage();
    if (!NeedControl(args, count, &window, &id)) return 1;
    bool done =
        typed ? TypeEditText(window, int(id), args[2]) : SetEditText(window, int(id), args[2]);
    return done ? 0 : Fail("cannot set text of", args[1]);
}

int CommandFocus(char** args, int count) {
    HWND window;
    long id;
    if (count < 2) return Usage();
    if (!NeedControl(args, count, &window, &id)) return 1;
    return FocusControl(window, int(id)) ? 0 : Fail("cannot focus", args[1]);
}

int CommandProgress(char** args, int count) {
    HWND window;
    long id;
    if (count < 2) return Usage();
    if (!NeedControl(args, count, &window, &id)) return 1;
    int position = ReadProgressPosition(window, int(id));
    if (position < 0) return Fail("cannot read", args[1]);
    printf("%d\n", position);
    return 0;
}

int CommandKey(char** args, int count) {
    if (count < 2) return Usage();
    static const struct {
        const char* name;
        UINT key;
    } keys[] = {{"esc", VK_ESCAPE}, {"enter", VK_RETURN}, {"tab", VK_TAB}, {"space", VK_SPACE}};
    UINT key = 0;
    for (const auto& entry : keys)
        if (_stricmp(args[1], entry.name) == 0) key = entry.key;
    if (!key) return Usage();
    HWND window = NeedWindow(args[0]);
    if (!window) return 1;
    return PressKey(window, key) ? 0 : Fail("cannot press", args[1]);
}

int CommandClose(char** args, int count) {
    if (count < 1) return Usage();
    HWND window = NeedWindow(args[0]);
    if (!window) return 1;
    return CloseTopWindow(window) ? 0 : Fail("cannot close", args[0]);
}

int CommandFits(char** args, int count) {
    HWND window;
    long id;
    if (count < 4) return Usage();
    if (!NeedControl(args, count, &window, &id)) return 1;
    HWND control = FindControl(window, int(id));
    char text[4096] = "";
    int length = GetWindowTextA(control, text, sizeof text);
    HDC context = GetDC(control);
    if (!context) return Fail("cannot measure", args[1]);
    // The font made as the dialog manager makes a template's: another
    // process's font handle cannot be selected here.
    int height = -MulDiv(atoi(args[3]), GetDeviceCaps(context, LOGPIXELSY), 72);
    HFONT font = CreateFontA(height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, args[2]);
    HGDIOBJ previous = font ? SelectObject(context, font) : nullptr;
    SIZE extent = {};
    GetTextExtentPoint32A(context, text, length, &extent);
    if (previous) SelectObject(context, previous);
    if (font) DeleteObject(font);
    ReleaseDC(control, context);
    RECT client = {};
    GetClientRect(control, &client);
    int room = client.right - 2 * GetSystemMetrics(SM_CXEDGE);
    printf("%ld %d\n", static_cast<long>(extent.cx), room);
    return extent.cx <= room ? 0 : 1;
}

int CommandTitle(char** args, int count) {
    if (count < 1) return Usage();
    HWND window = NeedWindow(args[0]);
    if (!window) return 1;
    char title[512] = "";
    GetWindowTextA(window, title, sizeof title);
    printf("%s\n", title);
    return 0;
}

int CommandMessageText(char** args, int count) {
    if (count < 1) return Usage();
    HWND box = WaitMessageBox(args[0], options.processId, options.timeoutMs);
    if (!box) return Fail("no message box", args[0]);
    char text[4096];
    if (!ReadMessageBoxText(box, text, sizeof text)) return Fail("cannot read", args[0]);
    printf("%s\n", text);
    return 0;
}

int CommandAnswer(char** args, int count) {
    long id;
    if (count < 2 || !ParseButton(args[1], &id)) return Usage();
    HWND window = NeedWindow(args[0]);
    if (!window) return 1;
    if (!WaitControl(window, int(id), options.timeoutMs)) return Fail("no button", args[1]);
    return ClickButton(window, int(id)) ? 0 : Fail("cannot press", args[1]);
}

int CommandShot(char** args, int count) {
    if (count < 2) return Usage();
    HWND window = NeedWindow(args[0]);
    if (!window) return 1;
    // Give the program a moment to finish painting.
    Sleep(300);
    return SaveWindowShot(window, args[1]) ? 0 : Fail("cannot save", args[1]);
}

int CommandScreenShot(char** args, int count) {
    if (count < 1) return Usage();
    return SaveScreenShot(args[0]) ? 0 : Fail("cannot save", args[0]);
}

// Catches a short-lived state: polls in this one process and shoots at once.
int CommandShotAtProgress(char** args, int count) {
    HWND window;
    long id, minimum;
    if (count < 5 || !ParseNumber(args[2], &minimum)) return Usage();
    if (!NeedControl(args, count, &window, &id)) return 1;
    uint32_t start = DriverClock();
    unsigned timeout = SecondsToMs(args[4]);
    while (ReadProgressPosition(window, int(id)) < minimum) {
        if (DriverClock() - start >= timeout) return Fail("progress not reached", args[1]);
        Sleep(5);
    }
    return SaveWindowShot(window, args[3]) ? 0 : Fail("cannot save", args[3]);
}

int CommandWaitWindow(char** args, int count, bool gone) {
    if (count < 2) return Usage();
    unsigned timeout = SecondsToMs(args[1]);
    if (gone)
        return WaitTopWindowGone(args[0], options.processId, timeout)
                   ? 0
                   : Fail("still there", args[0]);
    return WaitTopWindow(args[0], options.processId, timeout) ? 0 : Fail("no window", args[0]);
}

int CommandWindowsList(char**, int) {
    return CommandWindows();
}
int CommandWaitShown(char** args, int count) {
    return CommandWaitWindow(args, count, false);
}
int CommandWaitGone(char** args, int count) {
    return CommandWaitWindow(args, count, true);
}
int CommandClickOnly(char** args, int count) {
    return CommandClick(args, count, false);
}
int CommandCheck(char** args, int count) {
    return CommandClick(args, count, true);
}
int CommandSetText(char** args, int count) {
    return CommandEdit(args, count, false);
}
int CommandType(char** args, int count) {
    return CommandEdit(args, count, true);
}

struct Command {
    const char* name;
    int (*run)(char** args, int count);
};

const Command Commands[] = {
    {"start", CommandStart},
    {"wait-exit", CommandWaitExit},
    {"kill", CommandKill},
    {"windows", CommandWindowsList},
    {"wait-window", CommandWaitShown},
    {"wait-gone", CommandWaitGone},
    {"controls", CommandControls},
    {"text", CommandText},
    {"wait-text", CommandWaitText},
    {"title", CommandTitle},
    {"fits", CommandFits},
    {"click", CommandClickOnly},
    {"check", CommandCheck},
    {"checked", CommandChecked},
    {"enabled", CommandEnabled},
    {"set-text", CommandSetText},
    {"type", CommandType},
    {"focus", CommandFocus},
    {"progress", CommandProgress},
    {"key", CommandKey},
    {"close", CommandClose},
    {"msgbox-text", CommandMessageText},
    {"answer", CommandAnswer},
    {"shot", CommandShot},
    {"shot-screen", CommandScreenShot},
    {"shot-at-progress", CommandShotAtProgress},
};

}  // namespace

int main(int argc, char** argv) {
    int i = 1;
    while (i + 1 < argc && argv[i][0] == '-' && argv[i][1] == '-') {
        long value = 0;
        if (strcmp(argv[i], "--pid") == 0 && ParseNumber(argv[i + 1], &value)) {
            options.processId = DWORD(value);
        } else if (strcmp(argv[i], "--timeout") == 0) {
            options.timeoutMs = SecondsToMs(argv[i + 1]);
        } else {
            return Usage();
        }
        i += 2;
    }
    if (i >= argc) return Usage();
    const char* command = argv[i];
    char** args = argv + i + 1;
    int count = argc - i - 1;
    for (const Command& entry : Commands)
        if (strcmp(command, entry.name) == 0) {
            int result = entry.run(args, count);
            fflush(stdout);
            return result;
        }
    return Usage();
}
