// The wizard's pages driven by the messages the property sheet sends them,
// with a helper thread answering the questions they ask.
#include <gtest/gtest.h>
#include <windows.h>
#include <prsht.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "dialog_answerer.h"
#include "setup/install/disk_space.h"
#include "setup/media/path_fs.h"
#include "setup/shell/resource.h"
#include "setup/shell/setup_state.h"
#include "setup/shell/wizard.h"

namespace {

constexpr char MissingTitle[] = "Vexlo Setup: Folder Does Not Exist";

std::string ControlText(HWND page, int id) {
    char text[512] = "";
    GetDlgItemTextA(page, id, text, sizeof text);
    return text;
}

DLGPROC pageProcedure = nullptr;

// Calls the page's procedure as the dialog manager does; returns the message result.
LONG_PTR Notify(HWND page, UINT code, INT_PTR* handled = nullptr) {
    NMHDR header = {GetParent(page), 0, code};
    SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
    INT_PTR answer = pageProcedure(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
    if (handled) *handled = answer;
    return GetWindowLongPtrA(page, DWLP_MSGRESULT);
}

// Sends what an edit box sends its page.
void EditNotification(HWND page, WORD code) {
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_DEST_EDIT, code),
                 reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_DEST_EDIT)));
}

std::string TempFolder() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    char folder[MAX_PATH];
    snprintf(folder, sizeof folder, "%svexlo-shell-%lu", temp, GetCurrentProcessId());
    return folder;
}

class WizardPages : public ::testing::Test {
  protected:
    void SetUp() override {
        setupState = SetupState();
        setupState.instance = GetModuleHandleA(nullptr);
        strcpy(setupState.groupLabel, "Start Menu\\Programs\\Vexlo Demo");
        parent = CreateTestParent();
        ResetWizardButtons();
    }
    void TearDown() override {
        if (page) DestroyWindow(page);
        DestroyWindow(parent);
    }
    HWND OpenPage(int id, DLGPROC procedure) {
        pageProcedure = procedure;
        page = CreateDialogParamA(setupState.instance, MAKEINTRESOURCEA(id), parent, procedure, 0);
        return page;
    }
    HWND parent = nullptr;
    HWND page = nullptr;
};

TEST_F(WizardPages, DestinationOpensWithDefaultFolderSizesAndGroup) {
    ASSERT_NE(OpenPage(IDD_DESTINATION, DestinationPageProc), nullptr);
    EXPECT_STREQ(setupState.destFolder, "C:\\Games\\Vexlo Demo\\");
    EXPECT_EQ(ControlText(page, IDC_DEST_EDIT), "C:\\Games\\Vexlo Demo\\");
    EXPECT_EQ(ControlText(page, IDC_GROUP_START_MENU), "Start Menu\\Programs\\Vexlo Demo");
    EXPECT_EQ(IsDlgButtonChecked(page, IDC_GROUP_START_MENU), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(page, IDC_GROUP_NONE), BST_UNCHECKED);
    EXPECT_EQ(ControlText(page, IDC_SPACE_REQUIRED), "38.7 MB");
    EXPECT_EQ(setupState.freeSpace, GetDriveFreeBytes("C:\\"));
    EXPECT_EQ(ControlText(page, IDC_SPACE_AVAILABLE), FormatSize(setupState.freeSpace));
}

TEST_F(WizardPages, DestinationKeepsAFolderAlreadyChosen) {
    strcpy(setupState.destFolder, "D:\\Elsewhere\\");
    setupState.freeSpace = 1234;
    ASSERT_NE(OpenPage(IDD_DESTINATION, DestinationPageProc), nullptr);
    EXPECT_EQ(ControlText(page, IDC_DEST_EDIT), "D:\\Elsewhere\\");
    EXPECT_EQ(setupState.freeSpace, 1234u);  // not measured again on opening
    EXPECT_EQ(ControlText(page, IDC_SPACE_AVAILABLE), "1.2 KB");
}

TEST_F(WizardPages, TypingShowsPlaceholderUntilTheEditLosesFocus) {
    ASSERT_NE(OpenPage(IDD_DESTINATION, DestinationPageProc), nullptr);
    // Setting the text makes the edit box report EN_CHANGE to the page.
    SetDlgItemTextA(page, IDC_DEST_EDIT, "Q:\\Typed Folder");
    EXPECT_EQ(ControlText(page, IDC_SPACE_AVAILABLE), "?");
    EXPECT_STREQ(setupState.destFolder, "C:\\Games\\Vexlo Demo\\");

    EditNotification(page, EN_KILLFOCUS);
    EXPECT_STREQ(setupState.destFolder, "Q:\\Typed Folder\\");
    EXPECT_EQ(ControlText(page, IDC_DEST_EDIT), "Q:\\Typed Folder");  // not rewritten
    EXPECT_EQ(setupState.freeSpace, 0u);                              // no drive Q:
    EXPECT_EQ(ControlText(page, IDC_SPACE_AVAILABLE), "0 bytes");

    // Other notifications of the edit box change nothing.
    SetDlgItemTextA(page, IDC_SPACE_AVAILABLE, "unchanged");
    EditNotification(page, EN_SETFOCUS);
    EXPECT_EQ(ControlText(page, IDC_SPACE_AVAILABLE), "unchanged");
}

TEST_F(WizardPages, NextOnMissingDriveAsksBothQuestionsAndStays) {
    ASSERT_NE(OpenPage(IDD_DESTINATION, DestinationPageProc), nullptr);
    SetDlgItemTextA(page, IDC_DEST_EDIT, "Q:\\Nowhere");
    CheckDlgButton(page, IDC_GROUP_START_MENU, BST_UNCHECKED);
    CheckDlgButton(page, IDC_GROUP_NONE, BST_CHECKED);

    // No to the creation, then Yes to installing anyway: the page still stays.
    DialogAnswerer answerer({{MissingTitle, IDNO}, {MissingTitle, IDYES}});
    INT_PTR handled = FALSE;
    LONG_PTR result = Notify(page, PSN_WIZNEXT, &handled);
    auto answered = answerer.Finish();

    EXPECT_TRUE(handled);
    EXPECT_EQ(result, 1);
    EXPECT_STREQ(setupState.destFolder, "Q:\\Nowhere\\");
    EXPECT_EQ(setupState.makeGroup, 0);
    EXPECT_EQ(ControlText(page, IDC_SPACE_AVAILABLE), "0 bytes");
    ASSERT_EQ(answered.size(), 2u);
    EXPECT_EQ(answered[0].text,
              "The folder \"Q:\\Nowhere\\\" does not exist. Would you like to create it?");
    EXPECT_EQ(answered[1].text,
              "The folder \"Q:\\Nowhere\\\" does not appear to have enough space available to "
              "install Vexlo.  An addition 38.7 MB of free space is required.  Would you like to "
              "attempt to install Vexlo anyway? \r\n\r\nPress Yes to try to install Vexlo.\r\n"
              "Press No to select a different location.");
}

TEST_F(WizardPages, NextOnMissingDriveThatCannotBeCreatedReportsIt) {
    ASSERT_NE(OpenPage(IDD_DESTINATION, DestinationPageProc), nullptr);
    SetDlgItemTextA(page, IDC_DEST_EDIT, "Q:\\Nowhere\\");
    DialogAnswerer answerer({{MissingTitle, IDYES},
                             {"Vexlo Setup: Error creating folder", IDOK},
                             {MissingTitle, IDNO}});
    LONG_PTR result = Notify(page, PSN_WIZNEXT);
    auto answered = answerer.Finish();
    EXPECT_EQ(result, 1);
    ASSERT_EQ(answered.size(), 3u);
    EXPECT_EQ(answered[1].text, "The folder \"Q:\\Nowhere\\\" could not be created.");
}

TEST_F(WizardPages, NextCreatesAMissingFolderWithItsParentsAndMovesOn) {
    std::string base = TempFolder();
    std::string folder = base + "\\sub\\deeper";
    ASSERT_NE(OpenPage(IDD_DESTINATION, DestinationPageProc), nullptr);
    SetDlgItemTextA(page, IDC_DEST_EDIT, folder.c_str());
    DialogAnswerer answerer({{MissingTitle, IDYES}});
    LONG_PTR result = Notify(page, PSN_WIZNEXT);
    auto answered = answerer.Finish();
    ASSERT_EQ(answered.size(), 1u);
    EXPECT_TRUE(FolderExists((folder + "\\").c_str()));
    if (setupState.freeSpace >= RequiredSpace) {
        EXPECT_EQ(result, 0);
    }
    EXPECT_EQ(setupState.makeGroup, 1);

    // An existing folder with room: no question at all.
    if (setupState.freeSpace >= RequiredSpace) {
        DialogAnswerer none({});
        EXPECT_EQ(Notify(page, PSN_WIZNEXT), 0);
    }
    RemoveDirectoryA(folder.c_str());
    RemoveDirectoryA((base + "\\sub").c_str());
    RemoveDirectoryA(base.c_str());
}

TEST_F(WizardPages, CancelQuestionDecidesWhetherTheSheetCloses) {
    ASSERT_NE(OpenPage(IDD_DESTINATION, DestinationPageProc), nullptr);
    {
        DialogAnswerer answerer({{"Cancel Vexlo Setup?", IDC_EXIT_SETUP}});
        EXPECT_EQ(Notify(page, PSN_QUERYCANCEL), 0);
        auto answered = answerer.Finish();
        ASSERT_EQ(answered.size(), 1u);
        EXPECT_TRUE(answered[0].centred);
    }
    {
        DialogAnswerer answerer({{"Cancel Vexlo Setup?", PressEscape}});
        EXPECT_EQ(Notify(page, PSN_QUERYCANCEL), 1);
    }
    {
        DialogAnswerer answerer({{"Cancel Vexlo Setup?", IDOK}});  // Resume
        EXPECT_EQ(Notify(page, PSN_QUERYCANCEL), 1);
    }
}

TEST_F(WizardPages, EachPageAsksForItsButtonsAndAnswersTheSheet) {
    struct {
        int id;
        DLGPROC procedure;
        LPARAM buttons;
        bool asksOnCancel;
        bool handlesKillActive;
    } pages[] = {
        {IDD_WELCOME, WelcomePageProc, PSWIZB_NEXT, false, true},
        {IDD_DESTINATION, DestinationPageProc, PSWIZB_BACK | PSWIZB_NEXT, true, false},
        {IDD_READY, ReadyPageProc, PSWIZB_BACK | PSWIZB_NEXT, true, true},
    };
    DialogAnswerer unasked({});  // a question would be closed and reported
    for (const auto& want : pages) {
        ASSERT_NE(OpenPage(want.id, want.procedure), nullptr) << want.id;
        ResetWizardButtons();
        INT_PTR handled = FALSE;
        Notify(page, PSN_SETACTIVE, &handled);
        EXPECT_TRUE(handled);
        PumpMessages();  // the request is posted
        EXPECT_EQ(LastWizardButtons(), want.buttons) << want.id;

        EXPECT_EQ(Notify(page, PSN_RESET, &handled), 0) << want.id;
        EXPECT_TRUE(handled);
        LONG_PTR killActive = Notify(page, PSN_KILLACTIVE, &handled);
        EXPECT_EQ(handled != FALSE, want.handlesKillActive) << want.id;
        if (want.handlesKillActive) {
            EXPECT_EQ(killActive, 0) << want.id;
        }

        if (!want.asksOnCancel) {
            Notify(page, PSN_QUERYCANCEL, &handled);
            EXPECT_FALSE(handled) << want.id;  // the sheet closes without a question
        }
        if (want.id != IDD_DESTINATION) {
            Notify(page, PSN_WIZNEXT, &handled);
            EXPECT_TRUE(handled);
        }
        Notify(page, PSN_APPLY, &handled);
        EXPECT_FALSE(handled) << want.id;
        DestroyWindow(page);
        page = nullptr;
    }
}

TEST(GroupLabel, PrefixReplacesTheStartMenuFolderWhateverItsCase) {
    char startMenu[MAX_PATH] = "";
    LPITEMIDLIST items = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_STARTMENU, &items), S_OK);
    ASSERT_TRUE(SHGetPathFromIDListA(items, startMenu));
    CoTaskMemFree(items);

    std::string upper = startMenu;
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    snprintf(setupState.groupFolder, StatePathSize, "%s\\Programs\\Vexlo Demo", upper.c_str());
    MakeGroupLabel();
    EXPECT_STREQ(setupState.groupLabel, "Start Menu\\Programs\\Vexlo Demo");

    strcpy(setupState.groupFolder, "D:\\Games\\Vexlo Demo");
    MakeGroupLabel();
    EXPECT_STREQ(setupState.groupLabel, "Start MenuD:\\Games\\Vexlo Demo");
}

TEST(WizardRecords, PagesUseTheFirstRecordLayout) {
    PROPSHEETPAGEA_V1 record;
    memset(&record, 0xCC, sizeof record);
    FillWizardPage(GetModuleHandleA(nullptr), &record, IDD_READY, ReadyPageProc);
    EXPECT_EQ(record.dwSize, static_cast<DWORD>(PROPSHEETPAGEA_V1_SIZE));
    EXPECT_EQ(sizeof record, static_cast<size_t>(PROPSHEETPAGEA_V1_SIZE));
    EXPECT_EQ(record.dwFlags, 0u);
    EXPECT_EQ(record.pszTemplate, MAKEINTRESOURCEA(IDD_READY));
    EXPECT_EQ(record.pszTitle, nullptr);
    EXPECT_EQ(record.lParam, 0);
}

}  // namespace
