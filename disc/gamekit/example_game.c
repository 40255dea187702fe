/* example_game.c: the least a publisher's game does to be installed from the
 * disc and removed again, built on the game kit alone (plain C, Win32).
 *
 *   - Started with /REMOVE (the system's list of programs, the Start Menu's
 *     removal shortcut), it hands over to the uninstaller it carries as a
 *     member and ends at once.
 *   - Started plainly it "plays": it finds the .wav members the install
 *     decoded from the disc's music into its archive, checks that each is a
 *     RIFF/WAVE file, lists them in a window and plays one on a double click.
 *     It writes nothing.
 *
 * Its names are given when it is compiled; the build's GameKitExample target
 * takes the product's. By hand, from the source tree's top:
 *   i686-w64-mingw32-gcc -mwindows -I. '-DEXAMPLE_GAME_TITLE="Starfall"'
 *     '-DEXAMPLE_UNINSTALLER_MEMBER="UninstDemo.exe"'
 *     '-DEXAMPLE_NOT_STARTED_TEXT="The Starfall uninstaller could not be started."'
 *     disc/gamekit/example_game.c disc/gamekit/game_kit.c -lwinmm -o Starfall.exe */
#include <windows.h>
#include <mmsystem.h>

#include <stdlib.h>
#include <string.h>

#include "disc/gamekit/game_kit.h"

#ifndef EXAMPLE_GAME_TITLE
#define EXAMPLE_GAME_TITLE "Example Game"
#endif
#ifndef EXAMPLE_UNINSTALLER_MEMBER
#define EXAMPLE_UNINSTALLER_MEMBER "Uninst.exe"
#endif
#ifndef EXAMPLE_NOT_STARTED_TEXT
#define EXAMPLE_NOT_STARTED_TEXT "The uninstaller could not be started."
#endif

/* Control ids, for tests that drive the window. */
enum { SoundListId = 100, StatusTextId = 101 };

enum { MaxSounds = 256, ClientWidth = 400, ClientHeight = 300, Margin = 10, StatusHeight = 20 };

static const char WindowClassName[] = "GameKitExampleWindow";
static const char WaveEnding[] = ".wav";

static GameKitArchive archive;
static HWND soundList, statusText;
static uint32_t soundMembers[MaxSounds]; /* member index of each line */
static uint32_t soundCount;
static uint8_t* playing; /* the sound being played, kept until the next */

static int EndsWithNoCase(const char* text, const char* ending) {
    size_t textLength = strlen(text), endingLength = strlen(ending);
    return textLength >= endingLength && lstrcmpiA(text + textLength - endingLength, ending) == 0;
}

/* Appends the decimal digits of value to text. */
static void AppendNumber(char* text, uint32_t value) {
    char digits[11];
    int count = 0;
    size_t length = strlen(text);
    do {
        digits[count++] = (char)('0' + value % 10);
        value /= 10;
    } while (value);
    while (count)
        text[length++] = digits[--count];
    text[length] = '\0';
}

/* A RIFF/WAVE file: "RIFF", the length of what follows, "WAVE", and the
 * member long enough to hold what that length says. */
static int IsRiffWave(const GameKitMember* member) {
    uint8_t head[12];
    uint32_t got = 0, riffLength;
    if (GameKitReadMember(&archive, member, 0, head, sizeof head, &got) != GameKitOk ||
        got != sizeof head) {
        return 0;
    }
    riffLength = (uint32_t)head[4] | ((uint32_t)head[5] << 8) | ((uint32_t)head[6] << 16) |
                 ((uint32_t)head[7] << 24);
    return memcmp(head, "RIFF", 4) == 0 && memcmp(head + 8, "WAVE", 4) == 0 &&
           riffLength <= member->size - 8;
}

static void ListSounds(void) {
    uint32_t i, count = GameKitMemberCount(&archive), good = 0;
    char line[GAME_KIT_MAX_NAME + 64];
    for (i = 0; i < count && soundCount < MaxSounds; ++i) {
        GameKitMember member;
        int wave;
        if (GameKitGetMember(&archive, i, &member) != GameKitOk ||
            !EndsWithNoCase(member.name, WaveEnding)) {
            continue;
        }
        wave = member.stored && IsRiffWave(&member);
        strcpy(line, member.name);
        strcat(line, "  (");
        AppendNumber(line, member.size);
        strcat(line, wave ? " bytes)" : " bytes, not a RIFF/WAVE file)");
        SendMessageA(soundList, LB_ADDSTRING, 0, (LPARAM)line);
        soundMembers[soundCount++] = i;
        good += wave;
    }
    line[0] = '\0';
    AppendNumber(line, good);
    strcat(line, good == 1 ? " sound." : " sounds.");
    SetWindowTextA(statusText, line);
}

static void StopSound(void) {
    PlaySoundA(NULL, NULL, 0);
    free(playing);
    playing = NULL;
}

static void PlaySelected(void) {
    LRESULT selected = SendMessageA(soundList, LB_GETCURSEL, 0, 0);
    GameKitMember member;
    uint32_t got = 0;
    if (selected == LB_ERR || (uint32_t)selected >= soundCount) return;
    StopSound();
    if (GameKitGetMember(&archive, soundMembers[selected], &member) != GameKitOk ||
        !member.stored || !IsRiffWave(&member)) {
        SetWindowTextA(statusText, "Not a sound.");
        return;
    }
    playing = (uint8_t*)malloc(member.size);
    if (!playing ||
        GameKitReadMember(&archive, &member, 0, playing, member.size, &got) != GameKitOk ||
        got != member.size ||
        !PlaySoundA((LPCSTR)playing, NULL, SND_MEMORY | SND_ASYNC | SND_NODEFAULT)) {
        StopSound();
        SetWindowTextA(statusText, "Could not play it.");
        return;
    }
    SetWindowTextA(statusText, "Playing.");
}

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            soundList = CreateWindowExA(
                WS_EX_CLIENTEDGE, "LISTBOX", "",
                WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 0, 0, 0, 0,
                window, (HMENU)(INT_PTR)SoundListId, NULL, NULL);
            statusText = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 0, 0,
                                         0, 0, window, (HMENU)(INT_PTR)StatusTextId, NULL, NULL);
            if (GameKitOpenOwnArchive(&archive) == GameKitOk)
                ListSounds();
            else
                SetWindowTextA(statusText, "This copy of the game carries no archive.");
            return 0;
        case WM_SIZE:
            MoveWindow(soundList, Margin, Margin, LOWORD(lParam) - 2 * Margin,
                       HIWORD(lParam) - 3 * Margin - StatusHeight, TRUE);
            MoveWindow(statusText, Margin, HIWORD(lParam) - Margin - StatusHeight,
                       LOWORD(lParam) - 2 * Margin, StatusHeight, TRUE);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == SoundListId && HIWORD(wParam) == LBN_DBLCLK) PlaySelected();
            return 0;
        case WM_DESTROY:
            StopSound();
            GameKitCloseArchive(&archive);
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
    WNDCLASSA windowClass;
    RECT frame = {0, 0, ClientWidth, ClientHeight};
    HWND window;
    MSG message;
    (void)previous;

    if (GameKitWantsRemoval(commandLine)) {
        GameKitRemoval removal;
        memset(&removal, 0, sizeof removal);
        removal.uninstallerMember = EXAMPLE_UNINSTALLER_MEMBER;
        removal.boxTitle = EXAMPLE_GAME_TITLE;
        removal.notStartedText = EXAMPLE_NOT_STARTED_TEXT;
        return GameKitRunRemoval(&removal);
    }

    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(NULL, (LPCSTR)IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = WindowClassName;
    if (!RegisterClassA(&windowClass)) return 1;
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    window = CreateWindowExA(0, WindowClassName, EXAMPLE_GAME_TITLE, WS_OVERLAPPEDWINDOW,
                             CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                             frame.bottom - frame.top, NULL, NULL, instance, NULL);
    if (!window) return 1;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return (int)message.wParam;
}
