// The install wizard's first three pages and their questions, through the
// real Setup.exe (DirectX present, so Install goes straight to the wizard).
#include <gtest/gtest.h>
#include <windows.h>
#include <prsht.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "required_space.h"
#include "setup/install/size_text.h"

namespace {

constexpr uint64_t MiB = 1 << 20;
// Free space moves while other programs write to the disk: figures read at
// different moments agree within this.
constexpr uint64_t FreeSpaceSlackMiB = 256;

// "476837 MB" -> 476837; 0 for any other text.
uint64_t ShownMegabytes(const std::string& text) {
    unsigned long long value = 0;
    char unit[8] = "";
    if (sscanf(text.c_str(), "%llu %7s", &value, unit) != 2 || strcmp(unit, "MB") != 0) return 0;
    return value;
}

uint64_t SystemFreeBytes(const char* root) {
    ULARGE_INTEGER available, total, totalFree;
    if (!GetDiskFreeSpaceExA(root, &available, &total, &totalFree)) return 0;
    return available.QuadPart;
}

// The control of the setup program that has the keyboard focus; 0 for none.
int FocusedControl(HWND sheet) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(sheet, nullptr), &info) || !info.hwndFocus)
        return 0;
    return GetDlgCtrlID(info.hwndFocus);
}

// Moves the focus and waits until it has arrived: the move is posted, and a
// key pressed before it lands would start from the old control.
bool FocusAndWait(HWND sheet, int id) {
    if (!FocusControl(sheet, id)) return false;
    for (int waited = 0; waited < 2000; waited += 20) {
        if (FocusedControl(sheet) == id) return true;
        Sleep(20);
    }
    return false;
}

int WaitFocusChange(HWND sheet, int from) {
    for (int waited = 0; waited < 2000; waited += 50) {
        int now = FocusedControl(sheet);
        if (now != from) return now;
        Sleep(50);
    }
    return FocusedControl(sheet);
}

// A click of the mouse's left button at the middle of the control, through
// the system's input queue as the user's mouse gives it.
bool MouseClick(HWND top, int id) {
    HWND control = FindControl(top, id);
    RECT rect;
    if (!control || !GetWindowRect(control, &rect)) return false;
    if (!SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2)) return false;
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return SendInput(2, inputs, sizeof(INPUT)) == 2;
}

int CountTopWindows(const char* title, DWORD processId) {
    HWND windows[64];
    int count = ListTopWindows(windows, 64, processId);
    int matching = 0;
    for (int i = 0; i < count; ++i)
        if (WindowTitle(windows[i]) == title) ++matching;
    return matching;
}

// Every way the wizard's buttons can be pressed while a question is open.
void PressEverythingBehind(HWND sheet) {
    MouseClick(sheet, SheetNextButton);
    Sleep(200);
    MouseClick(sheet, SheetBackButton);
    Sleep(200);
    MouseClick(sheet, SheetCancelButton);
    // Clicks that reach the buttons whatever the sheet's state.
    ClickButton(sheet, SheetNextButton);
    ClickButton(sheet, SheetBackButton);
    PostMessageA(FindControl(sheet, SheetFinishButton), BM_CLICK, 0, 0);
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    ClickButton(sheet, SheetCancelButton);
    ClickButton(sheet, BrowseButton);
    Sleep(1500);
}

std::string Shot(const char* name) {
    return TestProgramFolder() + name;
}

// A folder on C: of exactly length characters, its final backslash included.
std::string FolderOfLength(size_t length) {
    std::string body(length - 4, 'v');
    for (size_t i = 50; i + 1 < body.size(); i += 51)
        body[i] = '\\';
    return "C:\\" + body + "\\";
}

// The longest destination (final backslash included) whose paths all fit on
// this disc: worked out here from the disc's files as the install names them.
size_t LongestAcceptedFolder() {
    const size_t reserve = 8;
    // "\"<folder>VexloDmo.exe\" /REMOVE" and the member "VexloDmo.exe;Remove.txt".
    size_t longest = 259 - (1 + strlen(GameExeName) + 2 + strlen("/REMOVE")) - 1;
    longest = std::min(longest, 259 - reserve - (strlen(GameExeName) + strlen(";Remove.txt")));
    for (const std::string& entry : ListDiscFiles()) {
        std::string name = entry.substr(2);  // "./"
        if (name.compare(0, 5, "Setup") == 0) continue;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".mp3") == 0)
            longest = std::min(longest, 255 - reserve - (strlen(GameExeName) + 1) - name.size());
        else
            longest = std::min(longest, 259 - reserve - name.size());
    }
    return longest;
}

const char* const DefaultFolder = DefaultDestFolder;
const char MissingDriveFolder[] = "Q:\\Vexlo Demo";
// What the build measured on the disc, as the page shows it.
const std::string RequiredSpaceText = FormatSize(RequiredSpace);
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
    EXPECT_EQ(ControlText(sheet, GroupRadio), DefaultGroupLabel());

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
    // The same drive again (its figure may have moved a little meanwhile).
    for (int waited = 0; waited < 5000 && ControlText(sheet, SpaceAvailableText) == "?";
         waited += 100)
        Sleep(100);
    std::string again = ControlText(sheet, SpaceAvailableText);
    if (ShownMegabytes(available) > 0) {
        uint64_t before = ShownMegabytes(available), after = ShownMegabytes(again);
        EXPECT_LE(std::max(before, after) - std::min(before, after), FreeSpaceSlackMiB)
            << available << " then " << again;
    } else {
        EXPECT_EQ(again, available);
    }
}

TEST_F(WizardTest, ALargeDriveShowsItsRealFreeSpace) {
    ASSERT_NE(GoToDestination(sheet), nullptr);
    std::string shown = ControlText(sheet, SpaceAvailableText);
    uint64_t system = SystemFreeBytes("C:\\");
    Sleep(800);  // the page painted whole
    ASSERT_TRUE(SaveWindowShot(sheet, Shot("wizard-destination-large-drive.bmp").c_str()));
    if (system < 5 * 1024 * MiB)
        GTEST_SKIP() << "drive C: has only " << system
                     << " bytes free: no figure past 4 GB to show (shown: " << shown << ")";
    uint64_t megabytes = ShownMegabytes(shown);
    EXPECT_GT(megabytes, 4095u) << shown;
    uint64_t expected = system / MiB;
    EXPECT_LE(std::max(megabytes, expected) - std::min(megabytes, expected), FreeSpaceSlackMiB)
        << "shown " << shown << ", the system reports " << system << " bytes";
}

TEST_F(WizardTest, NothingMovesBehindTheCancelQuestion) {
    ASSERT_NE(GoToDestination(sheet), nullptr);
    ASSERT_TRUE(ClickButton(sheet, SheetCancelButton));
    HWND question = run.Wait(CancelQuestionTitle);
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(GetWindow(question, GW_OWNER), sheet);
    EXPECT_FALSE(IsWindowEnabled(sheet));
    Sleep(300);
    EXPECT_TRUE(SaveScreenShot(Shot("wizard-question-over-disabled-wizard.bmp").c_str()));

    PressEverythingBehind(sheet);
    EXPECT_EQ(WindowTitle(sheet), DestinationTitle);
    EXPECT_EQ(CountTopWindows(CancelQuestionTitle, run.Id()), 1);  // no second question
    EXPECT_EQ(FindTopWindow("Browse for Folder", run.Id()), nullptr);
    EXPECT_TRUE(IsWindow(question));

    // Resume: the wizard takes input again, where it was.
    ASSERT_TRUE(ClickButton(question, IDOK));
    ASSERT_TRUE(WaitWindowGone(question, WindowWaitMs));
    EXPECT_TRUE(IsWindowEnabled(sheet));
    EXPECT_TRUE(OnDestinationPage());

    // The mouse reaches the wizard again: a click on Next moves it on.
    std::string scratch = ScratchFolder();  // exists: no folder question
    ASSERT_TRUE(SetEditText(sheet, FolderEdit, scratch.c_str()));
    ASSERT_TRUE(MouseClick(sheet, SheetNextButton));
    ASSERT_TRUE(WaitTitle(sheet, ReadyTitle));

    // On the ready page Next would start the install: nothing may start.
    ASSERT_TRUE(ClickButton(sheet, SheetCancelButton));
    question = run.Wait(CancelQuestionTitle);
    ASSERT_NE(question, nullptr);
    EXPECT_FALSE(IsWindowEnabled(sheet));
    PressEverythingBehind(sheet);
    EXPECT_EQ(WindowTitle(sheet), ReadyTitle);
    EXPECT_EQ(CountTopWindows(CancelQuestionTitle, run.Id()), 1);
    EXPECT_FALSE(UninstallEntryExists(DemoKeyName));
    EXPECT_FALSE(FileExists(scratch + GameExeName));

    // Exit Setup: the program ends with nothing installed.
    ASSERT_TRUE(ClickButton(question, ExitSetupButton));
    ExpectEnd();
    EXPECT_FALSE(UninstallEntryExists(DemoKeyName));
    EXPECT_FALSE(FileExists(scratch + GameExeName));
}

TEST_F(WizardTest, AFolderWhosePathsDoNotFitIsRefusedBeforeAnythingIsWritten) {
    ASSERT_NE(GoToDestination(sheet), nullptr);
    // 282 characters typed: more than the folder box holds.
    std::string typed = FolderOfLength(283);
    typed.pop_back();
    ASSERT_TRUE(FocusControl(sheet, FolderEdit));
    ASSERT_TRUE(TypeEditText(sheet, FolderEdit, typed.c_str()));
    ASSERT_TRUE(WaitControlText(sheet, FolderEdit, typed.c_str(), WindowWaitMs));
    ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
    std::string text = Answer(TooLongTitle, IDOK);
    // The command: the quoted folder and game executable, a space, the switch.
    unsigned command =
        static_cast<unsigned>(typed.size() + 1 + 2 + strlen(GameExeName) + 1 + strlen("/REMOVE"));
    EXPECT_EQ(text, Formatted(CommandTooLongText, (typed + "\\").c_str(), command, 259u));
    EXPECT_TRUE(StaysAway(run, FolderQuestionTitle, 1000));
    EXPECT_TRUE(OnDestinationPage());
    EXPECT_EQ(ControlText(sheet, FolderEdit), typed);  // whole, as typed

    // The longest folder this disc allows passes the check (the folder
    // question follows); one character more is refused, naming the limit.
    size_t longest = LongestAcceptedFolder();
    ASSERT_GT(longest, 100u);
    std::string over = FolderOfLength(longest + 1);
    ASSERT_TRUE(SetEditText(sheet, FolderEdit, over.c_str()));
    ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
    text = Answer(TooLongTitle, IDOK);
    EXPECT_NE(text.find("characters long, and at most"), std::string::npos) << text;
    EXPECT_TRUE(StaysAway(run, FolderQuestionTitle, 1000));
    std::string fits = FolderOfLength(longest);
    ASSERT_TRUE(SetEditText(sheet, FolderEdit, fits.c_str()));
    ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
    EXPECT_NE(Answer(FolderQuestionTitle, IDNO).find("Would you like to create it?"),
              std::string::npos);
    EXPECT_TRUE(OnDestinationPage());

    // A semicolon cannot be carried by the paths of the game's members.
    ASSERT_TRUE(SetEditText(sheet, FolderEdit, "C:\\Games\\Vexlo;Demo"));
    ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
    EXPECT_EQ(Answer(SemicolonTitle, IDOK), Formatted(SemicolonText, "C:\\Games\\Vexlo;Demo\\"));
    EXPECT_TRUE(StaysAway(run, FolderQuestionTitle, 1000));
    EXPECT_TRUE(OnDestinationPage());

    // Nothing was written.
    EXPECT_FALSE(FolderExists(typed));
    EXPECT_FALSE(FolderExists("C:\\vvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvv"));
    EXPECT_FALSE(FolderExists("C:\\Games\\Vexlo;Demo"));
    EXPECT_FALSE(UninstallEntryExists(DemoKeyName));
}

TEST_F(WizardTest, TheGroupButtonsAreOneTabStopWithArrowsWithin) {
    ASSERT_NE(GoToDestination(sheet), nullptr);
    ASSERT_TRUE(FocusAndWait(sheet, FolderEdit));
    // Once round the page and the wizard's buttons with Tab.
    std::vector<int> order = {FocusedControl(sheet)};
    for (int i = 0; i < 12; ++i) {
        ASSERT_TRUE(PressKey(sheet, VK_TAB));
        order.push_back(WaitFocusChange(sheet, order.back()));
        if (order.back() == FolderEdit) break;
    }
    std::string seen;
    for (int id : order)
        seen += std::to_string(id) + " ";
    ASSERT_EQ(order.back(), FolderEdit) << seen;
    auto count = [&](int id) { return std::count(order.begin(), order.end(), id); };
    EXPECT_EQ(count(GroupRadio), 1) << seen;  // the checked one
    EXPECT_EQ(count(GroupNoneRadio), 0) << seen;
    EXPECT_EQ(count(BrowseButton), 1) << seen;
    EXPECT_EQ(count(ChangeButton), 1) << seen;
    auto at = std::find(order.begin(), order.end(), GroupRadio);
    ASSERT_NE(at, order.end());
    EXPECT_EQ(*(at - 1), BrowseButton) << seen;
    EXPECT_EQ(*(at + 1), ChangeButton) << seen;

    // On the group, an arrow key moves within it and selects.
    ASSERT_TRUE(FocusAndWait(sheet, BrowseButton));
    ASSERT_TRUE(PressKey(sheet, VK_TAB));
    ASSERT_EQ(WaitFocusChange(sheet, BrowseButton), GroupRadio);
    ASSERT_TRUE(PressKey(sheet, VK_UP));
    EXPECT_EQ(WaitFocusChange(sheet, GroupRadio), GroupNoneRadio);
    EXPECT_TRUE(WaitButtonCheck(sheet, GroupNoneRadio, BST_CHECKED, ShortWaitMs));
    EXPECT_EQ(ReadButtonCheck(sheet, GroupRadio), BST_UNCHECKED);
    // Tab leaves the group; coming back finds the one now checked.
    ASSERT_TRUE(PressKey(sheet, VK_TAB));
    EXPECT_EQ(WaitFocusChange(sheet, GroupNoneRadio), ChangeButton);
    ASSERT_TRUE(FocusAndWait(sheet, BrowseButton));
    ASSERT_TRUE(PressKey(sheet, VK_TAB));
    EXPECT_EQ(WaitFocusChange(sheet, BrowseButton), GroupNoneRadio);
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
              Formatted(LowSpaceText, "Q:\\Vexlo Demo\\", RequiredSpaceText.c_str()));
    EXPECT_TRUE(OnDestinationPage());
    EXPECT_EQ(ControlText(sheet, SpaceAvailableText), "0 bytes");

    // No to the folder, Yes to the space: the page stays all the same.
    ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
    EXPECT_NE(Answer(FolderQuestionTitle, IDNO).find("Would you like to create it?"),
              std::string::npos);
    EXPECT_NE(Answer(FolderQuestionTitle, IDYES).find("An addition " + RequiredSpaceText),
              std::string::npos);
    EXPECT_TRUE(OnDestinationPage());
    EXPECT_EQ(ControlText(sheet, FolderEdit), MissingDriveFolder);
}

TEST_F(WizardTest, NextCreatesTheMissingFolderAndBackKeepsTheChoice) {
    ASSERT_NE(GoToDestination(sheet), nullptr);
    ASSERT_FALSE(FolderExists(DefaultFolder));
    ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
    EXPECT_EQ(Answer(FolderQuestionTitle, IDYES),
              "The folder \"" + std::string(DefaultFolder) +
                  "\" does not exist. Would you like to create it?");
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
    EXPECT_EQ(ControlText(sheet, GroupRadio), DefaultGroupLabel());
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

    // On the ready page, Exit Setup ends the program. (An existing folder,
    // so no question: the Windows folder itself would be refused.)
    ASSERT_TRUE(SetEditText(sheet, FolderEdit, ScratchFolder().c_str()));
    ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
    ASSERT_TRUE(WaitTitle(sheet, ReadyTitle));
    ASSERT_TRUE(ClickButton(sheet, SheetCancelButton));
    question = run.Wait(CancelQuestionTitle);
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(ClickButton(question, ExitSetupButton));
    ExpectEnd();
}

}  // namespace
