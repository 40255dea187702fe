// The dialog templates as the program's resources hold them: captions, fonts,
// styles, and every control's id, kind, text and rectangle in dialog units; the
// texts that carry the product's name as product_names.h gives them.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "dialog_answerer.h"
#include "setup/shell/resource.h"
#include "setup/shell/setup_state.h"

namespace {

constexpr int NoId = 0xFFFF;

enum Kind { DefaultButton, Button, GroupBox, AutoRadio, Text, Edit, ProgressBar };

struct ExpectedControl {
    int id;
    Kind kind;
    const char* text;
    int x, y, width, height;
};

struct ExpectedDialog {
    int id;
    bool page;  // child page of the wizard rather than a popup
    const char* caption;
    const char* fontFace;
    int width, height;
    std::vector<ExpectedControl> controls;
};

const std::vector<ExpectedDialog>& Dialogs() {
    static const std::vector<ExpectedDialog> dialogs = {
        {IDD_LAUNCHER,
         false,
         LauncherCaption,
         "System",
         299,
         225,
         {{IDC_PLAY, DefaultButton, PlayButtonText, 148, 127, 117, 14},
          {IDC_INSTALL, Button, InstallButtonText, 148, 158, 117, 14}}},
        {IDD_RESTART,
         false,
         RestartCaption,
         "MS Sans Serif",
         186,
         95,
         {{1, DefaultButton, "Restart now", 30, 74, 50, 14},
          {2, Button, "I will restart later", 96, 74, 59, 14},
          {NoId, Text, RestartText, 7, 7, 171, 30},
          {NoId, Text,
           "If you do not restart Windows now, the drivers required to make Microsoft "
           "DirectX(tm) work will not be available until the next restart.",
           7, 38, 171, 25}}},
        {IDD_CANCEL_QUESTION,
         false,
         CancelCaption,
         "MS Sans Serif",
         186,
         70,
         {{1, DefaultButton, "Resume", 35, 49, 50, 14},
          {IDC_EXIT_SETUP, Button, "Exit Setup", 101, 49, 50, 14},
          {NoId, Text, CancelText, 7, 7, 172, 37}}},
        {IDD_DIRECTX_OFFER,
         false,
         "Install Microsoft Direct X",
         "MS Sans Serif",
         186,
         66,
         {{1, DefaultButton, "Install Microsoft Direct X 5", 15, 45, 92, 14},
          {2, Button, "Cancel", 121, 45, 50, 14},
          {NoId, Text, DirectXOfferText, 7, 7, 172, 32}}},
        {IDD_DIRECTX_ERROR,
         false,
         DirectXErrorCaption,
         "MS Sans Serif",
         284,
         69,
         {{1, DefaultButton, "Download Direct X now", 10, 48, 93, 14},
          {IDC_INSTALL_WITHOUT_DIRECTX, Button, InstallWithoutDirectXButton, 112, 48, 103, 14},
          {2, Button, "Cancel", 224, 48, 50, 14},
          {NoId, Text, DirectXErrorText, 7, 7, 270, 41}}},
        {IDD_WELCOME,
         true,
         WizardCaption,
         "MS Sans Serif",
         316,
         111,
         {{NoId, Text, WelcomeText, 86, 7, 223, 97}}},
        {IDD_READY,
         true,
         ReadyCaption,
         "MS Sans Serif",
         316,
         39,
         {{NoId, Text, ReadyText, 86, 7, 223, 26}}},
        {IDD_DESTINATION,
         true,
         DestinationCaption,
         "MS Sans Serif",
         316,
         159,
         {{NoId, Text, DestinationQuestion, 86, 40, 224, 8},
          {NoId, GroupBox, "Destination Directory", 86, 53, 224, 54},
          {IDC_DEST_EDIT, Edit, "", 90, 64, 174, 14},
          {IDC_DEST_BROWSE, Button, "Browse...", 269, 64, 36, 14},
          {NoId, Text, "Space Available:", 91, 82, 54, 8},
          {IDC_SPACE_AVAILABLE, Text, "???", 148, 82, 61, 8},
          {NoId, Text, "Space Required:", 91, 93, 54, 8},
          {IDC_SPACE_REQUIRED, Text, "???", 148, 93, 60, 8},
          {NoId, GroupBox, "Start Menu Program Group", 86, 111, 224, 40},
          {IDC_GROUP_NONE, AutoRadio, "None", 93, 122, 33, 10},
          {IDC_GROUP_START_MENU, AutoRadio, GroupLabelText, 93, 135, 176, 10},
          {IDC_GROUP_CHANGE, Button, "Change...", 269, 133, 36, 14}}},
        {IDD_PROGRESS,
         true,
         ProgressCaption,
         "MS Sans Serif",
         316,
         159,
         {{IDC_STATUS_LINE, Text, "Preparing to copy files...", 86, 84, 223, 10},
          {IDC_FILE_BAR, ProgressBar, "", 86, 97, 223, 14},
          {IDC_TOTAL_LABEL, Text, "Total Installation Progress...", 86, 116, 223, 10},
          {IDC_TOTAL_BAR, ProgressBar, "", 86, 127, 223, 14}}},
    };
    return dialogs;
}

INT_PTR CALLBACK PassiveDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

// The dialog manager converts position and size separately.
RECT DialogUnits(HWND dialog, int x, int y, int width, int height) {
    RECT position = {x, y, 0, 0};
    RECT size = {0, 0, width, height};
    MapDialogRect(dialog, &position);
    MapDialogRect(dialog, &size);
    return {position.left, position.top, position.left + size.right, position.top + size.bottom};
}

void ExpectKind(HWND control, Kind kind, const std::string& where) {
    char className[64] = "";
    GetClassNameA(control, className, sizeof className);
    LONG style = GetWindowLongA(control, GWL_STYLE);
    switch (kind) {
        case DefaultButton:
        case Button:
        case GroupBox:
        case AutoRadio: {
            EXPECT_STRCASEEQ(className, "Button") << where;
            static const LONG buttonTypes[] = {BS_DEFPUSHBUTTON, BS_PUSHBUTTON, BS_GROUPBOX,
                                               BS_AUTORADIOBUTTON};
            EXPECT_EQ(style & BS_TYPEMASK, buttonTypes[kind]) << where;
            break;
        }
        case Text:
            EXPECT_STRCASEEQ(className, "Static") << where;
            EXPECT_EQ(style & SS_TYPEMASK, SS_LEFT) << where;
            break;
        case Edit:
            EXPECT_STRCASEEQ(className, "Edit") << where;
            // The edit control turns its WS_BORDER into the sunken client edge.
            EXPECT_TRUE((style & WS_BORDER) ||
                        (GetWindowLongA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE))
                << where;
            EXPECT_TRUE(style & ES_AUTOHSCROLL) << where;
            break;
        case ProgressBar:
            EXPECT_STRCASEEQ(className, "msctls_progress32") << where;
            break;
    }
}

class ResourceTemplates : public ::testing::Test {
  protected:
    void SetUp() override {
        setupState.instance = GetModuleHandleA(nullptr);
        parent = CreateTestParent();
    }
    void TearDown() override { DestroyWindow(parent); }
    HWND parent = nullptr;
};

TEST_F(ResourceTemplates, EveryDialogHasItsCaptionStyleSizeAndControls) {
    for (const ExpectedDialog& expected : Dialogs()) {
        std::string where = "dialog " + std::to_string(expected.id);
        HWND dialog = CreateDialogParamA(setupState.instance, MAKEINTRESOURCEA(expected.id),
                                         expected.page ? parent : nullptr, PassiveDialogProc, 0);
        ASSERT_NE(dialog, nullptr) << where;

        char caption[256] = "";
        GetWindowTextA(dialog, caption, sizeof caption);
        EXPECT_STREQ(caption, expected.caption) << where;

        LONG style = GetWindowLongA(dialog, GWL_STYLE);
        EXPECT_TRUE(style & WS_CAPTION) << where;
        if (expected.page) {
            EXPECT_TRUE(style & WS_CHILD) << where;
        } else {
            EXPECT_TRUE(style & WS_POPUP) << where;
            EXPECT_TRUE(style & WS_SYSMENU) << where;
            EXPECT_TRUE(style & DS_MODALFRAME) << where;
        }

        HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
        if (std::string(expected.fontFace) != "System") {
            LOGFONTA logFont = {};
            ASSERT_NE(font, nullptr) << where;
            GetObjectA(font, sizeof logFont, &logFont);
            EXPECT_STREQ(logFont.lfFaceName, expected.fontFace) << where;
        }

        RECT client;
        GetClientRect(dialog, &client);
        RECT expectedClient = DialogUnits(dialog, 0, 0, expected.width, expected.height);
        EXPECT_EQ(client.right, expectedClient.right) << where;
        EXPECT_EQ(client.bottom, expectedClient.bottom) << where;

        // Controls in template order.
        HWND control = GetWindow(dialog, GW_CHILD);
        for (const ExpectedControl& want : expected.controls) {
            std::string at = where + " control \"" + want.text + "\"";
            ASSERT_NE(control, nullptr) << at;
            EXPECT_EQ(GetDlgCtrlID(control) & 0xFFFF, want.id) << at;
            char text[512] = "";
            GetWindowTextA(control, text, sizeof text);
            EXPECT_STREQ(text, want.text) << at;
            ExpectKind(control, want.kind, at);
            RECT placed;
            GetWindowRect(control, &placed);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&placed), 2);
            RECT expected = DialogUnits(dialog, want.x, want.y, want.width, want.height);
            EXPECT_EQ(placed.left, expected.left) << at;
            EXPECT_EQ(placed.top, expected.top) << at;
            EXPECT_EQ(placed.right, expected.right) << at;
            EXPECT_EQ(placed.bottom, expected.bottom) << at;
            control = GetWindow(control, GW_HWNDNEXT);
        }
        EXPECT_EQ(control, nullptr) << where << ": more controls than expected";
        DestroyWindow(dialog);
    }
}

TEST_F(ResourceTemplates, DestinationRadioButtonsFormOneGroup) {
    HWND page = CreateDialogParamA(setupState.instance, MAKEINTRESOURCEA(IDD_DESTINATION), parent,
                                   PassiveDialogProc, 0);
    ASSERT_NE(page, nullptr);
    CheckDlgButton(page, IDC_GROUP_START_MENU, BST_CHECKED);
    // A click on "None" must clear the other button of the group.
    SendDlgItemMessageA(page, IDC_GROUP_NONE, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(page, IDC_GROUP_NONE), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(page, IDC_GROUP_START_MENU), BST_UNCHECKED);
    DestroyWindow(page);
}

TEST(ResourceIcon, ProgramIconHasBothSizes) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    for (int size : {32, 16}) {
        HICON icon = static_cast<HICON>(
            LoadImageA(instance, MAKEINTRESOURCEA(IDI_SETUP), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap = {};
        GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

}  // namespace
