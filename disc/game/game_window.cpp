#include "game_window.h"

#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "disc/gamekit/game_kit.h"
#include "product_names.h"

namespace {

constexpr char WindowClassName[] = "StandInGameWindow";
constexpr uint32_t MaxMembers = 512;
constexpr int ClientWidth = 480;
constexpr int ClientHeight = 360;
constexpr int BannerHeight = 96;
constexpr int Margin = 12;
constexpr int ButtonWidth = 80;
constexpr int ButtonHeight = 26;
constexpr int StatusHeight = 20;
constexpr int BannerBands = 48;

struct MemberRecord {
    char name[GAME_KIT_MAX_NAME + 1];
    uint32_t size;
};

// Everything the window keeps between messages.
struct GameWindow {
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    HWND memberList = nullptr;
    HWND status = nullptr;
    HFONT titleFont = nullptr;
    HFONT textFont = nullptr;
    GameKitArchive archive = {};
    MemberRecord members[MaxMembers] = {};
    uint32_t memberCount = 0;
    uint8_t* sound = nullptr;  // the member being played; kept until stopped
};

GameWindow game;

bool EndsWithNoCase(const char* text, const char* ending) {
    size_t textLength = strlen(text);
    size_t endingLength = strlen(ending);
    return textLength >= endingLength && lstrcmpiA(text + textLength - endingLength, ending) == 0;
}

void ShowStatus(const char* format, const char* name) {
    char text[160];
    snprintf(text, sizeof text, format, name);
    SetWindowTextA(game.status, text);
}

void StopSound() {
    PlaySoundA(nullptr, nullptr, 0);
    free(game.sound);
    game.sound = nullptr;
}

// Members whose records are damaged are left out.
void ListMembers() {
    uint32_t count = GameKitMemberCount(&game.archive);
    for (uint32_t i = 0; i < count && game.memberCount < MaxMembers; ++i) {
        GameKitMember member;
        if (GameKitGetMember(&game.archive, i, &member) != GameKitOk) continue;
        MemberRecord& record = game.members[game.memberCount++];
        memcpy(record.name, member.name, sizeof record.name);
        record.size = member.size;
    }
}

// The whole of a stored member in a buffer from malloc; null when it is
// missing, compressed or unreadable.
uint8_t* ReadMember(const char* name) {
    GameKitMember member;
    if (GameKitFindMember(&game.archive, name, &member) != GameKitOk) return nullptr;
    uint8_t* bytes = static_cast<uint8_t*>(malloc(size_t(member.size) + 1));
    uint32_t got = 0;
    if (bytes &&
        (GameKitReadMember(&game.archive, &member, 0, bytes, member.size, &got) != GameKitOk ||
         got != member.size)) {
        free(bytes);
        bytes = nullptr;
    }
    return bytes;
}

void LoadMembers() {
    if (GameKitOpenOwnArchive(&game.archive) != GameKitOk) {
        SetWindowTextA(game.status, "This copy of the game carries no archive.");
        return;
    }
    ListMembers();
    for (uint32_t i = 0; i < game.memberCount; ++i) {
        char line[sizeof game.members[i].name + 32];
        snprintf(line, sizeof line, "%s\t%lu bytes", game.members[i].name,
                 static_cast<unsigned long>(game.members[i].size));
        SendMessageA(game.memberList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }
    if (game.memberCount > 0) SendMessageA(game.memberList, LB_SETCURSEL, 0, 0);
    char text[64];
    snprintf(text, sizeof text, "%lu member%s.", static_cast<unsigned long>(game.memberCount),
             game.memberCount == 1 ? "" : "s");
    SetWindowTextA(game.status, text);
}

void PlaySelectedMember() {
    LRESULT selected = SendMessageA(game.memberList, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR || uint32_t(selected) >= game.memberCount) return;
    const char* name = game.members[selected].name;
    if (!EndsWithNoCase(name, ".wav")) {
        ShowStatus("%s is not a sound: only .wav members play.", name);
        return;
    }
    StopSound();
    game.sound = ReadMember(name);
    if (!game.sound) {
        ShowStatus("Could not read %s.", name);
        return;
    }
    if (!PlaySoundA(reinterpret_cast<LPCSTR>(game.sound), nullptr,
                    SND_MEMORY | SND_ASYNC | SND_NODEFAULT)) {
        StopSound();
        ShowStatus("Could not play %s.", name);
        return;
    }
    ShowStatus("Playing %s", name);
}

HWND MakeControl(const char* className, const char* text, DWORD style, int id) {
    HWND control =
        CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, game.window,
                        reinterpret_cast<HMENU>(INT_PTR(id)), game.instance, nullptr);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(game.textFont), TRUE);
    return control;
}

void CreateControls() {
    game.titleFont =
        CreateFontA(64, 0, 0, 0, FW_HEAVY, TRUE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial");
    game.textFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    game.memberList = MakeControl(
        "LISTBOX", "",
        WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_USETABSTOPS | LBS_NOINTEGRALHEIGHT,
        MemberListId);
    int tabStop = 160;  // dialog units: sizes in a column of their own
    SendMessageA(game.memberList, LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&tabStop));
    MakeControl("BUTTON", "Play", WS_TABSTOP | BS_DEFPUSHBUTTON, PlayButtonId);
    MakeControl("BUTTON", "Stop", WS_TABSTOP | BS_PUSHBUTTON, StopButtonId);
    game.status = MakeControl("STATIC", "", SS_LEFT | SS_NOPREFIX, StatusTextId);
}

void LayOutControls(int width, int height) {
    int listTop = BannerHeight + Margin;
    int buttonsTop = height - Margin - StatusHeight - Margin - ButtonHeight;
    MoveWindow(game.memberList, Margin, listTop, width - 2 * Margin, buttonsTop - Margin - listTop,
               TRUE);
    MoveWindow(GetDlgItem(game.window, PlayButtonId), Margin, buttonsTop, ButtonWidth, ButtonHeight,
               TRUE);
    MoveWindow(GetDlgItem(game.window, StopButtonId), 2 * Margin + ButtonWidth, buttonsTop,
               ButtonWidth, ButtonHeight, TRUE);
    MoveWindow(game.status, Margin, height - Margin - StatusHeight, width - 2 * Margin,
               StatusHeight, TRUE);
}

// A night-sky gradient with the title across it.
void PaintBanner(HDC dc, int width) {
    for (int band = 0; band < BannerBands; ++band) {
        RECT rect = {0, band * BannerHeight / BannerBands, width,
                     (band + 1) * BannerHeight / BannerBands};
        int t = band * 255 / (BannerBands - 1);
        HBRUSH brush = CreateSolidBrush(RGB(24 + t / 3, 8 + t / 8, 64 + t / 2));
        FillRect(dc, &rect, brush);
        DeleteObject(brush);
    }
    RECT titleRect = {0, 0, width, BannerHeight};
    HGDIOBJ oldFont = SelectObject(dc, game.titleFont);
    SetBkMode(dc, TRANSPARENT);
    RECT shadowRect = {4, 4, width + 4, BannerHeight + 4};
    SetTextColor(dc, RGB(10, 0, 30));
    DrawTextA(dc, ArtTitle, -1, &shadowRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SetTextColor(dc, RGB(255, 196, 48));
    DrawTextA(dc, ArtTitle, -1, &titleRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, oldFont);
}

void OnPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    PaintBanner(dc, client.right);
    EndPaint(window, &paint);
}

void OnCommand(int id, int notification) {
    switch (id) {
        case MemberListId:
            if (notification == LBN_DBLCLK) PlaySelectedMember();
            break;
        case PlayButtonId:
        case IDOK:
            PlaySelectedMember();
            break;
        case StopButtonId:
            StopSound();
            SetWindowTextA(game.status, "Stopped.");
            break;
        case IDCANCEL:
            DestroyWindow(game.window);
            break;
    }
}

LRESULT CALLBACK GameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            game.window = window;
            CreateControls();
            LoadMembers();
            return 0;
        case WM_SIZE:
            LayOutControls(LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_PAINT:
            OnPaint(window);
            return 0;
        case WM_CTLCOLORSTATIC:
            SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_DESTROY:
            StopSound();
            GameKitCloseArchive(&game.archive);
            DeleteObject(game.titleFont);
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int RunGameWindow(HINSTANCE instance, int showCommand) {
    game.instance = instance;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = GameWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = WindowClassName;
    if (!RegisterClassA(&windowClass)) return 1;

    DWORD style = WS_OVERLAPPEDWINDOW;
    RECT frame = {0, 0, ClientWidth, ClientHeight};
    AdjustWindowRect(&frame, style, FALSE);
    HWND window = CreateWindowExA(0, WindowClassName, GameWindowTitle, style, CW_USEDEFAULT,
                                  CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                                  nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return int(message.wParam);
}
