// The install wizard's first three pages and their questions, through the
// real Setup.exe (DirectX present, so Install goes straight to the wizard).
#include <gtest/gtest.h>

#include "e2e_support.h"

namespace {

const char DefaultFolder[] = "C:\\Games\\Vexlo Demo\\";
const char MissingDriveFolder[] = "Q:\\Vexlo Demo";
const char RequiredSpaceText[] = "38.7 MB";
// The folder tree of the shell's folder browser.
constexpr int BrowserTree = 0x3741;

class WizardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(run.Start());
        sheet = OpenWizard(run);
        ASSERT_NE(sheet, nullptr);
    }
    void TearDown() override {
        // Whatever a test left open goes with the process.
        if (run.Running()) KillProcess(run.process.process);
        RemoveTree(std::string(DefaultFolder));
        RemoveEmptyParents("C:\\Games");
    }
    // Answers the next message box of that title; returns its text.
    std::string Answer(const char* title, int button) {
        HWND box = run.WaitBox(title);
        if (!box) return "<no box>";
        std::string text = MessageText(box);
        EXPECT_TRUE(AnswerMessageBox(box, button));
        EXPECT_TRUE(WaitWindowGone(box, WindowWaitMs));
        return text;
    }
    bool OnDestinationPage() {
        Sleep(300);
        return WindowTitle(sheet) == DestinationTitle && IsControlVisible(sheet, FolderEdit);
    }
    void ExpectEnd() {
        DWORD code = 1;
        ASSERT_TRUE(run.WaitEnd(&code));
        EXPECT_EQ(code, 0u);
    }

    SetupRun run;
    HWND sheet = nullptr;
};

TEST_F(WizardTest, DestinationPageDefaultsAndTyping) {
    // DirectX is present: Install went straight to the wizard.
    EXPECT_EQ(FindTopWindow(DirectXOfferTitle, run.Id()), nullptr);
    EXPECT_EQ(FindTopWindow(DirectXErrorTitle, run.Id()), nullptr);
    ASSERT_NE(GoToDestination(sheet), nullptr);
    EXPECT_EQ(ControlText(sheet, FolderEdit), DefaultFolder);
    EXPECT_EQ(ControlText(sheet, SpaceRequiredText), RequiredSpaceText);
    std::string available = ControlText(sheet, SpaceAvailableText);
    EXPECT_NE(available, "???");
    EXPECT_NE(available.find_first_of("0123456789"), std::string::npos) << available;
    EXPECT_EQ(ReadButtonCheck(sheet, GroupRadio), BST_CHECKED);
    EXPECT_EQ(ReadButtonCheck(sheet, GroupNoneRadio), BST_UNCHECKED);
    EXPECT_EQ(ControlText(sheet, GroupRadio), "Start Menu\\Programs\\Vexlo Demo");

    // Typing shows "?" until the edit box loses the focus; then the space of
    // the typed folder's drive is shown, and the typed text stays as typed.
    ASSERT_TRUE(FocusControl(sheet, FolderEdit));
    ASSERT_TRUE(TypeEditText(sheet, FolderEdit, MissingDriveFolder));
    EXPECT_TRUE(WaitControlText(sheet, SpaceAvailableText, "?", WindowWaitMs));
    ASSERT_TRUE(FocusControl(sheet, BrowseButton));
    EXPECT_TRUE(WaitControlText(sheet, SpaceAvailableText, "0 bytes", WindowWaitMs))
        << ControlText(sheet, SpaceAvailableText);
    EXPECT_EQ(ControlText(sheet, FolderEdit), MissingDriveFolder);

    ASSERT_TRUE(FocusControl(sheet, FolderEdit));
    ASSERT_TRUE(TypeEditText(sheet, FolderEdit, "C:\\windows"));
    EXPECT_TRUE(WaitControlText(sheet, SpaceAvailableText, "?", WindowWaitMs));
    ASSERT_TRUE(FocusControl(sheet, BrowseButton));
    EXPECT_TRUE(WaitControlText(sheet, SpaceAvailableText, available.c_str(), WindowWaitMs));
}

TEST_F(WizardTest, NextOnAMissingDriveAsksBothQuestionsAndStays) {
    ASSERT_NE(GoToDestination(sheet), nullptr);
    ASSERT_TRUE(SetEditText(sheet, FolderEdit, MissingDriveFolder));
    // Yes: the folder cannot be made; then the space question, answered No.
    ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
    EXPECT_EQ(Answer(FolderQuestionTitle, IDYES),
              "The folder \"Q:\\Vexlo Demo\\\" does not exist. Would you like to create it?");
    EXPECT_EQ(Answer(FolderErrorTitle, IDOK),
              "The folder \"Q:\\Vexlo Demo\\\" could not be created.");
    EXPECT_EQ(Answer(FolderQuestionTitle, IDNO),
              "The folder \"Q:\\Vexlo Demo\\\" does not appear to have enough space available to "
              "install Vexlo.  An addition 38.7 MB of free space is required.  Would you like to "
              "attempt to install Vexlo anyway? \r\n\r\nPress Yes to try to install Vexlo.\r\n"
              "Press No to select a different location.");
    EXPECT_TRUE(OnDestinationPage());
    EXPECT_EQ(ControlText(sheet, SpaceAvailableText), "0 bytes");

    // No to the folder, Yes to the space: the page stays all the same.
    ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
    EXPECT_NE(Answer(FolderQuestionTitle, IDNO).find("Would you like to create it?"),
              std::string::npos);
    EXPECT_NE(Answer(FolderQuestionTitle, IDYES).find("An addition 38.7 MB"), std::string::npos);
    EXPECT_TRUE(OnDestinationPage());
    EXPECT_EQ(ControlText(sheet, FolderEdit), MissingDriveFolder);
}

TEST_F(WizardTest, NextCreatesTheMissingFolderAndBackKeepsTheChoice) {
    ASSERT_NE(GoToDestination(sheet), nullptr);
    ASSERT_FALSE(FolderExists(DefaultFolder));
    ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
    EXPECT_EQ(Answer(FolderQuestionTitle, IDYES),
              "The folder \"C:\\Games\\Vexlo Demo\\\" does not exist. Would you like to create "
              "it?");
    ASSERT_TRUE(WaitTitle(sheet, ReadyTitle));
    EXPECT_TRUE(FolderExists(DefaultFolder));
    // Back and Next again: the folder exists now, so no question.
    ASSERT_TRUE(ClickButton(sheet, SheetBackButton));
    ASSERT_TRUE(WaitTitle(sheet, DestinationTitle));
    EXPECT_EQ(ControlText(sheet, FolderEdit), DefaultFolder);
    ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
    ASSERT_TRUE(WaitTitle(sheet, ReadyTitle));
    EXPECT_EQ(FindTopWindow(FolderQuestionTitle, run.Id()), nullptr);
}

TEST_F(WizardTest, GroupNoneThenChangeSelectsTheGroupAgain) {
    ASSERT_NE(GoToDestination(sheet), nullptr);
    ASSERT_TRUE(CheckButton(sheet, GroupNoneRadio));
    EXPECT_TRUE(WaitButtonCheck(sheet, GroupNoneRadio, BST_CHECKED, ShortWaitMs));
    EXPECT_EQ(ReadButtonCheck(sheet, GroupRadio), BST_UNCHECKED);

    // A cancelled browser changes nothing.
    ASSERT_TRUE(ClickButton(sheet, ChangeButton));
    HWND browser = run.Wait("Browse for Folder");
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(ClickButton(browser, IDCANCEL));
    ASSERT_TRUE(WaitWindowGone(browser, WindowWaitMs));
    Sleep(200);
    EXPECT_EQ(ReadButtonCheck(sheet, GroupNoneRadio), BST_CHECKED);

    // The Programs folder chosen (the browser's root): the group radio is
    // selected again, with the group below it and its label.
    ASSERT_TRUE(ClickButton(sheet, ChangeButton));
    browser = run.Wait("Browse for Folder");
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(SelectTreeRoot(browser, BrowserTree));
    ASSERT_TRUE(ClickButton(browser, IDOK));
    ASSERT_TRUE(WaitWindowGone(browser, WindowWaitMs));
    EXPECT_TRUE(WaitButtonCheck(sheet, GroupRadio, BST_CHECKED, ShortWaitMs));
    EXPECT_EQ(ReadButtonCheck(sheet, GroupNoneRadio), BST_UNCHECKED);
    EXPECT_EQ(ControlText(sheet, GroupRadio), "Start Menu\\Programs\\Vexlo Demo");
}

TEST_F(WizardTest, CancelOnTheWelcomePageEndsAtOnce) {
    ASSERT_TRUE(ClickButton(sheet, SheetCancelButton));
    EXPECT_TRUE(StaysAway(run, CancelQuestionTitle, 1000));
    ExpectEnd();
}

TEST_F(WizardTest, CancelOnLaterPagesAsksFirst) {
    ASSERT_NE(GoToDestination(sheet), nullptr);
    // Esc on the wizard asks; Esc on the question keeps the wizard.
    ASSERT_TRUE(PressKey(sheet, VK_ESCAPE));
    HWND question = run.Wait(CancelQuestionTitle);
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(ControlText(question, IDOK), "Resume");
    EXPECT_EQ(ControlText(question, ExitSetupButton), "Exit Setup");
    ASSERT_TRUE(PressKey(question, VK_ESCAPE));
    ASSERT_TRUE(WaitWindowGone(question, WindowWaitMs));
    EXPECT_TRUE(OnDestinationPage());

    // Cancel and Resume keep it too.
    ASSERT_TRUE(ClickButton(sheet, SheetCancelButton));
    question = run.Wait(CancelQuestionTitle);
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(ClickButton(question, IDOK));
    ASSERT_TRUE(WaitWindowGone(question, WindowWaitMs));
    EXPECT_TRUE(OnDestinationPage());

    // On the ready page, Exit Setup ends the program.
    ASSERT_TRUE(SetEditText(sheet, FolderEdit, "C:\\windows"));
    ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
    ASSERT_TRUE(WaitTitle(sheet, ReadyTitle));
    ASSERT_TRUE(ClickButton(sheet, SheetCancelButton));
    question = run.Wait(CancelQuestionTitle);
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(ClickButton(question, ExitSetupButton));
    ExpectEnd();
}

}  // namespace
