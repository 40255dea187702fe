// Child process of the name-rule tests: lists a tree that breaks a rule, and
// meanwhile a helper thread answers the message box, writing its text to a
// file. Ends with whatever code the walk ends it with (0 if it returns).
#include <windows.h>
#include <cstdio>
#include <cstring>

#include "setup/media/source_walk.h"

namespace {

const char* answerFile = nullptr;

DWORD WINAPI AnswerMessageBox(void*) {
    for (int attempt = 0; attempt < 2000; ++attempt) {
        HWND box = FindWindowA("#32770", IllegalNameTitle);
        if (box) {
            char text[1024] = "";
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            if (std::FILE* file = fopen(answerFile, "wb")) {
                fputs(text, file);
                fclose(file);
            }
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            return 0;
        }
        Sleep(10);
    }
    return 1;
}

char records[64 * 516];

}  // namespace

// rule_child <folder> <tilde|space|length> <answer file>
int main(int argc, char** argv) {
    if (argc != 4) return 2;
    answerFile = argv[3];
    SetCurrentDirectoryA(argv[1]);
    CloseHandle(CreateThread(nullptr, 0, AnswerMessageBox, nullptr, 0, nullptr));

    uint32_t* sizes = reinterpret_cast<uint32_t*>(records + 512);
    if (strcmp(argv[2], "tilde") == 0) {
        OpenSource(".", false);
        ListSourceFiles("*.*", records, sizes, 516, 64, 0, 1, 0, 0);
    } else if (strcmp(argv[2], "space") == 0) {
        WalkFolder(false, 0, "./*.*", false, false, records, sizes, 64, 516, nullptr, true, true,
                   0);
    } else if (strcmp(argv[2], "length") == 0) {
        WalkFolder(true, 8, "./*.*", false, false, records, sizes, 64, 516, nullptr, true, true, 0);
    }
    return 0;
}
