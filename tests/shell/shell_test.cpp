// Module paths, hiding the self-extractor's window, the question dialogs'
// shared procedure and the plain message box.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "dialog_answerer.h"
#include "setup/shell/launcher.h"
#include "setup/shell/resource.h"
#include "setup/shell/setup_state.h"
#include "setup/shell/shell.h"

namespace {

TEST(ModulePaths, FolderIsThePathUpToItsLastSeparator) {
    char path[260];
    char folder[260];
    ASSERT_TRUE(GetModulePath(path, sizeof path));
    ASSERT_TRUE(GetModuleFolder(folder, sizeof folder));
    size_t length = strlen(folder);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(folder[length - 1], '\\');
    EXPECT_EQ(std::string(path, length), folder);
    EXPECT_EQ(strchr(path + length, '\\'), nullptr);
}

TEST(ModulePaths, ABufferTooSmallGivesFalseAndAnEmptyText) {
    char small[6] = "xxxxx";
    EXPECT_FALSE(GetModulePath(small, sizeof small));
    EXPECT_STREQ(small, "");
    strcpy(small, "xxxxx");
    EXPECT_FALSE(GetModuleFolder(small, sizeof small));
    EXPECT_STREQ(small, "");
}

TEST(DecompressWindow, OnlyTheFirstExactMatchIsHidden) {
    HWND first = CreateWindowA("Static", DecompressWindowTitle, WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    HWND second = CreateWindowA("Static", DecompressWindowTitle, WS_POPUP | WS_VISIBLE, 0, 0, 10,
                                10, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    std::string lowerCase = DecompressWindowTitle;
    CharLowerA(&lowerCase[0]);
    ASSERT_NE(lowerCase, DecompressWindowTitle);
    HWND otherCase = CreateWindowA("Static", lowerCase.c_str(), WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                                   nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    std::string longerTitle = std::string(DecompressWindowTitle) + " 50%";
    HWND longer = CreateWindowA("Static", longerTitle.c_str(), WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    EnumWindows(HideDecompressWindow, reinterpret_cast<LPARAM>(DecompressWindowTitle));
    EXPECT_EQ(IsWindowVisible(first) + IsWindowVisible(second), 1);
    EXPECT_TRUE(IsWindowVisible(otherCase));
    EXPECT_TRUE(IsWindowVisible(longer));
    for (HWND window : {first, second, otherCase, longer})
        DestroyWindow(window);
}

INT_PTR RunDialog(int id) {
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), nullptr,
                           CenteredDialogProc, 0);
}

TEST(CenteredDialog, EndsWithTheIdOfTheButtonPressedAndIsCentred) {
    setupState.instance = GetModuleHandleA(nullptr);
    struct {
        int dialog;
        const char* title;
        int button;
        INT_PTR result;
    } cases[] = {
        {IDD_RESTART, RestartCaption, IDOK, IDOK},
        {IDD_RESTART, RestartCaption, IDCANCEL, IDCANCEL},
        {IDD_RESTART, RestartCaption, PressEscape, IDCANCEL},
        {IDD_CANCEL_QUESTION, CancelCaption, IDC_EXIT_SETUP, IDC_EXIT_SETUP},
        {IDD_DIRECTX_OFFER, "Install Microsoft Direct X", IDOK, IDOK},
        {IDD_DIRECTX_OFFER, "Install Microsoft Direct X", PressEscape, IDCANCEL},
    };
    for (const auto& c : cases) {
        DialogAnswerer answerer({{c.title, c.button}});
        EXPECT_EQ(RunDialog(c.dialog), c.result) << c.title << " " << c.button;
        auto answered = answerer.Finish();
        ASSERT_EQ(answered.size(), 1u);
        EXPECT_TRUE(answered[0].centred) << c.title;
    }
}

TEST(CenteredDialog, CloseBoxEndsWithCancel) {
    DialogAnswerer answerer({{CancelCaption, CloseBox}});
    EXPECT_EQ(RunDialog(IDD_CANCEL_QUESTION), IDCANCEL);
    // Messages other than initialisation and commands are left to the dialog manager.
    EXPECT_EQ(CenteredDialogProc(nullptr, WM_PAINT, 0, 0), FALSE);
}

TEST(Messages, ShowMessageIsAPlainBoxWithoutOwner) {
    DialogAnswerer answerer({{"A test title", IDOK}});
    ShowMessage("A test title", "Some text");
    auto answered = answerer.Finish();
    ASSERT_EQ(answered.size(), 1u);
    EXPECT_EQ(answered[0].text, "Some text");
}

// The launcher's two buttons measured in the dialog.
struct ButtonPlace {
    RECT rect;
    int textWidth;  // the caption in the button's own font
};

ButtonPlace PlaceOf(HWND launcher, int id) {
    HWND button = GetDlgItem(launcher, id);
    ButtonPlace place = {};
    GetWindowRect(button, &place.rect);
    MapWindowPoints(nullptr, launcher, reinterpret_cast<POINT*>(&place.rect), 2);
    char text[1000] = "";
    int length = GetWindowTextA(button, text, sizeof text);
    HDC context = GetDC(button);
    HGDIOBJ previous =
        SelectObject(context, reinterpret_cast<HGDIOBJ>(SendMessageA(button, WM_GETFONT, 0, 0)));
    SIZE extent = {};
    GetTextExtentPoint32A(context, text, length, &extent);
    SelectObject(context, previous);
    ReleaseDC(button, context);
    place.textWidth = extent.cx;
    return place;
}

TEST(Launcher, ButtonsGrowToALongerNameWithinTheDialog) {
    setupState.instance = GetModuleHandleA(nullptr);
    HWND launcher = CreateDialogParamA(setupState.instance, MAKEINTRESOURCEA(IDD_LAUNCHER), nullptr,
                                       LauncherDialogProc, 0);
    ASSERT_NE(launcher, nullptr);
    RECT template117 = {0, 0, 117, 0};
    MapDialogRect(launcher, &template117);
    ButtonPlace before = PlaceOf(launcher, IDC_PLAY);
    EXPECT_GE(before.rect.right - before.rect.left, template117.right);

    // A display name of 17 characters, as a publisher's: neither text is cut.
    SetDlgItemTextA(launcher, IDC_PLAY, "Play Nebula Drift Demo From CD-ROM");
    SetDlgItemTextA(launcher, IDC_INSTALL, "Install Nebula Drift Demo to Hard Drive");
    FitLauncherButtons(launcher);
    ButtonPlace play = PlaceOf(launcher, IDC_PLAY);
    ButtonPlace install = PlaceOf(launcher, IDC_INSTALL);
    EXPECT_GT(play.rect.right - play.rect.left, play.textWidth);
    EXPECT_GT(install.rect.right - install.rect.left, install.textWidth);
    EXPECT_GT(install.rect.right - install.rect.left, template117.right);
    // One width, one right edge, the heights and rows kept.
    EXPECT_EQ(play.rect.right - play.rect.left, install.rect.right - install.rect.left);
    EXPECT_EQ(play.rect.right, before.rect.right);
    EXPECT_EQ(install.rect.right, before.rect.right);
    EXPECT_EQ(play.rect.top, before.rect.top);
    EXPECT_EQ(play.rect.bottom - play.rect.top, before.rect.bottom - before.rect.top);

    // Past what the dialog can show: the buttons stay inside it.
    SetDlgItemTextA(launcher, IDC_PLAY, std::string(300, 'W').c_str());
    FitLauncherButtons(launcher);
    RECT client = {};
    GetClientRect(launcher, &client);
    ButtonPlace wide = PlaceOf(launcher, IDC_PLAY);
    EXPECT_GT(wide.rect.left, 0);
    EXPECT_LT(wide.rect.right, client.right);
    DestroyWindow(launcher);
}

}  // namespace
