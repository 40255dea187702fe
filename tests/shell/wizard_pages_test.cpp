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
#include "import_patch.h"
#include "setup/install/disk_space.h"
#include "setup/install/size_text.h"
#include "setup/media/path_fs.h"
#include "setup/shell/resource.h"
#include "setup/shell/setup_state.h"
#include "setup/shell/wizard.h"
#include "test_support.h"

namespace {

constexpr uint64_t GiB = 1ull << 30;

// The label of the default group: "Start Menu\Programs" and the group's name.
std::string DefaultGroupLabel() {
    return std::string("Start Menu\\Programs") + GroupFolderName;
}

// A drive of a chosen size: the free-space calls that the code under test
// makes go to fakes, with or without the extended call being present.
class FakeDrive {
  public:
    FakeDrive(uint64_t freeBytes, bool extendedCall = true) {
        available = freeBytes;
        extendedCallPresent = extendedCall;
        realGetProcAddress =
            reinterpret_cast<GetProcAddressProc>(SystemFunction("kernel32.dll", "GetProcAddress"));
        realFreeSpace = SystemFunction("kernel32.dll", "GetDiskFreeSpaceA");
        patched = PatchImport(reinterpret_cast<void*>(realGetProcAddress),
                              reinterpret_cast<void*>(FakeGetProcAddress)) > 0 &&
                  PatchImport(realFreeSpace, reinterpret_cast<void*>(FakeFreeSpace)) > 0;
        askedRoot[0] = '\0';
    }
    ~FakeDrive() {
        PatchImport(reinterpret_cast<void*>(FakeGetProcAddress),
                    reinterpret_cast<void*>(realGetProcAddress));
        PatchImport(reinterpret_cast<void*>(FakeFreeSpace), realFreeSpace);
    }
    // Another size for the same fake drive.
    void SetFree(uint64_t freeBytes) { available = freeBytes; }
    bool patched = false;
    static char askedRoot[MAX_PATH];

  private:
    using GetProcAddressProc = FARPROC(WINAPI*)(HMODULE, LPCSTR);
    static FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
        if (HIWORD(reinterpret_cast<ULONG_PTR>(name)) && strcmp(name, "GetDiskFreeSpaceExA") == 0)
            return extendedCallPresent
                       ? reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeFreeSpaceEx))
                       : nullptr;
        return realGetProcAddress(module, name);
    }
    static BOOL WINAPI FakeFreeSpaceEx(LPCSTR root, PULARGE_INTEGER free, PULARGE_INTEGER total,
                                       PULARGE_INTEGER totalFree) {
        snprintf(askedRoot, sizeof askedRoot, "%s", root);
        free->QuadPart = available;
        total->QuadPart = available * 2;
        totalFree->QuadPart = available + 4096;  // more than this user may take
        return TRUE;
    }
    // The older call: 8 sectors of 512 bytes per cluster.
    static BOOL WINAPI FakeFreeSpace(LPCSTR root, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                                     LPDWORD freeClusters, LPDWORD totalClusters) {
        snprintf(askedRoot, sizeof askedRoot, "%s", root);
        *sectorsPerCluster = 8;
        *bytesPerSector = 512;
        *freeClusters = static_cast<DWORD>(available / 4096);
        *totalClusters = *freeClusters * 2;
        return TRUE;
    }
    static GetProcAddressProc realGetProcAddress;
    static void* realFreeSpace;
    static uint64_t available;
    static bool extendedCallPresent;
};
char FakeDrive::askedRoot[MAX_PATH];
FakeDrive::GetProcAddressProc FakeDrive::realGetProcAddress;
void* FakeDrive::realFreeSpace;
uint64_t FakeDrive::available;
bool FakeDrive::extendedCallPresent;

TEST(FreeSpace, TheWholeFigureOfTheExtendedCall) {
    FakeDrive drive(5 * GiB + 123);
    ASSERT_TRUE(drive.patched);
    EXPECT_EQ(GetDriveFreeBytes(DefaultDestFolder), 5 * GiB + 123);
    EXPECT_STREQ(FakeDrive::askedRoot, "C:\\");
}

TEST(FreeSpace, WithoutTheExtendedCallTheOlderFigureStaysWithin32Bits) {
    FakeDrive drive(4096000, false);
    ASSERT_TRUE(drive.patched);
    EXPECT_EQ(GetDriveFreeBytes("D:\\Games\\"), 4096000u);
    EXPECT_STREQ(FakeDrive::askedRoot, "D:\\");
    drive.SetFree(8 * GiB);
    EXPECT_EQ(GetDriveFreeBytes("D:\\Games\\"), 0xFFFFFFFFu);
}

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

// The pages look at the source tree beside the program (the current
// folder): each test has an empty one of its own.
class WizardPages : public ::testing::Test {
  protected:
    void SetUp() override {
        setupState = SetupState();
        setupState.instance = GetModuleHandleA(nullptr);
        strcpy(setupState.groupLabel, DefaultGroupLabel().c_str());
        snprintf(setupState.groupFolder, StatePathSize, "C:\\Start Menu\\Programs%s",
                 GroupFolderName);
        parent = CreateTestParent();
        ResetWizardButtons();
        GetCurrentDirectoryA(sizeof previousFolder, previousFolder);
        sourceFolder = TempFolder() + "-source";
        CreateDirectoryA(sourceFolder.c_str(), nullptr);
        ASSERT_TRUE(SetCurrentDirectoryA(sourceFolder.c_str()));
    }
    void TearDown() override {
        if (page) DestroyWindow(page);
        DestroyWindow(parent);
        SetCurrentDirectoryA(previousFolder);
        RemoveDirectoryA(sourceFolder.c_str());
    }
    HWND OpenPage(int id, DLGPROC procedure) {
        pageProcedure = procedure;
        page = CreateDialogParamA(setupState.instance, MAKEINTRESOURCEA(id), parent, procedure, 0);
        return page;
    }
    HWND parent = nullptr;
    HWND page = nullptr;
    char previousFolder[MAX_PATH] = "";
    std::string sourceFolder;
};

TEST_F(WizardPages, DestinationOpensWithDefaultFolderSizesAndGroup) {
    FakeDrive drive(4 * GiB + 1048576);  // past what 32 bits hold
    ASSERT_TRUE(drive.patched);
    ASSERT_NE(OpenPage(IDD_DESTINATION, DestinationPageProc), nullptr);
    EXPECT_STREQ(setupState.destFolder, DefaultDestFolder);
    EXPECT_EQ(ControlText(page, IDC_DEST_EDIT), DefaultDestFolder);
    EXPECT_EQ(ControlText(page, IDC_GROUP_START_MENU), DefaultGroupLabel());
    EXPECT_EQ(IsDlgButtonChecked(page, IDC_GROUP_START_MENU), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(page, IDC_GROUP_NONE), BST_UNCHECKED);
    EXPECT_EQ(ControlText(page, IDC_SPACE_REQUIRED), std::string(FormatSize(RequiredSpace)));
    EXPECT_EQ(setupState.freeSpace, 4 * GiB + 1048576);
    EXPECT_EQ(ControlText(page, IDC_SPACE_AVAILABLE), "4097 MB");
}

TEST_F(WizardPages, TheSpaceTestComparesTheWholeFigure) {
    // 4 GiB + 1 MiB would be 1 MiB in 32 bits, far below what is required.
    FakeDrive drive(4 * GiB + 1048576);
    ASSERT_TRUE(drive.patched);
    std::string folder = TempFolder() + "-dest";
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_NE(OpenPage(IDD_DESTINATION, DestinationPageProc), nullptr);
    SetDlgItemTextA(page, IDC_DEST_EDIT, folder.c_str());
    {
        DialogAnswerer none({});
        EXPECT_EQ(Notify(page, PSN_WIZNEXT), 0);
    }
    EXPECT_EQ(ControlText(page, IDC_SPACE_AVAILABLE), "4097 MB");

    // Short by one byte: the question names the shortfall.
    drive.SetFree(RequiredSpace - 1);
    DialogAnswerer answerer({{MissingFolderTitle, IDNO}});
    EXPECT_EQ(Notify(page, PSN_WIZNEXT), 1);
    auto answered = answerer.Finish();
    ASSERT_EQ(answered.size(), 1u);
    EXPECT_NE(answered[0].text.find("An addition 1 bytes of free space"), std::string::npos)
        << answered[0].text;
    RemoveDirectoryA(folder.c_str());
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
    EXPECT_STREQ(setupState.destFolder, DefaultDestFolder);

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
    DialogAnswerer answerer({{MissingFolderTitle, IDNO}, {MissingFolderTitle, IDYES}});
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
    for (const auto& question : answered) {
        EXPECT_EQ(question.owner, parent) << question.title;
        EXPECT_FALSE(question.ownerEnabled) << question.title;
    }
    EXPECT_EQ(answered[1].text,
              Formatted(LowSpaceText, "Q:\\Nowhere\\", FormatSize(RequiredSpace)));
}

TEST_F(WizardPages, NextOnMissingDriveThatCannotBeCreatedReportsIt) {
    ASSERT_NE(OpenPage(IDD_DESTINATION, DestinationPageProc), nullptr);
    SetDlgItemTextA(page, IDC_DEST_EDIT, "Q:\\Nowhere\\");
    DialogAnswerer answerer(
        {{MissingFolderTitle, IDYES}, {CreateFailedTitle, IDOK}, {MissingFolderTitle, IDNO}});
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
    DialogAnswerer answerer({{MissingFolderTitle, IDYES}});
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
        DialogAnswerer answerer({{CancelCaption, IDC_EXIT_SETUP}});
        EXPECT_EQ(Notify(page, PSN_QUERYCANCEL), 0);
        auto answered = answerer.Finish();
        ASSERT_EQ(answered.size(), 1u);
        EXPECT_TRUE(answered[0].centred);
        EXPECT_EQ(answered[0].owner, parent);
        EXPECT_FALSE(answered[0].ownerEnabled);
    }
    EXPECT_TRUE(IsWindowEnabled(parent));
    {
        DialogAnswerer answerer({{CancelCaption, PressEscape}});
        EXPECT_EQ(Notify(page, PSN_QUERYCANCEL), 1);
    }
    {
        DialogAnswerer answerer({{CancelCaption, IDOK}});  // Resume
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

// What the sheet sends a page, sent from another thread while the page's
// thread is inside a question; the message result, or "no answer" (-99) when
// the page did not answer in time (stuck in a second question, say).
LONG_PTR NotifyFromOutside(HWND page, UINT code) {
    NMHDR header = {GetParent(page), 0, code};
    DWORD_PTR handled = 0;
    if (!SendMessageTimeoutA(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header), SMTO_NORMAL,
                             3000, &handled))
        return -99;
    return GetWindowLongPtrA(page, DWLP_MSGRESULT);
}

TEST_F(WizardPages, NothingMovesWhileTheCancelQuestionIsOpen) {
    for (auto want : {std::make_pair(IDD_DESTINATION, DestinationPageProc),
                      std::make_pair(IDD_READY, ReadyPageProc)}) {
        ASSERT_NE(OpenPage(want.first, want.second), nullptr);
        LONG_PTR next = 0, back = 0, finish = 0, cancel = 0;
        bool browsed = false;
        DialogAnswerer answerer({{CancelCaption, IDC_EXIT_SETUP, [&](HWND) {
                                      next = NotifyFromOutside(page, PSN_WIZNEXT);
                                      back = NotifyFromOutside(page, PSN_WIZBACK);
                                      finish = NotifyFromOutside(page, PSN_WIZFINISH);
                                      cancel = NotifyFromOutside(page, PSN_QUERYCANCEL);
                                      // A click on Browse... that reaches the page anyway.
                                      DWORD_PTR ignored;
                                      browsed = !SendMessageTimeoutA(
                                          page, WM_COMMAND, MAKEWPARAM(IDC_DEST_BROWSE, BN_CLICKED),
                                          0, SMTO_NORMAL, 3000, &ignored);
                                  }}});
        EXPECT_EQ(Notify(page, PSN_QUERYCANCEL), 0) << want.first;  // Exit Setup
        auto answered = answerer.Finish();                          // no second question
        ASSERT_EQ(answered.size(), 1u);
        EXPECT_EQ(next, -1) << want.first;  // stay
        EXPECT_EQ(back, -1) << want.first;
        EXPECT_NE(finish, 0) << want.first;  // refused
        EXPECT_NE(finish, -99) << want.first;
        EXPECT_EQ(cancel, 1) << want.first;  // the sheet stays, no new question
        EXPECT_FALSE(browsed) << want.first;

        // The question gone, the page answers as before.
        INT_PTR handled = FALSE;
        if (want.first == IDD_READY) {
            Notify(page, PSN_WIZNEXT, &handled);
            EXPECT_TRUE(handled);
            EXPECT_EQ(GetWindowLongPtrA(page, DWLP_MSGRESULT), 0);
        }
        Notify(page, PSN_WIZBACK, &handled);
        EXPECT_FALSE(handled);
        DestroyWindow(page);
        page = nullptr;
    }
}

TEST_F(WizardPages, AFolderTooLongForItsPathsIsRefusedNotCut) {
    ASSERT_NE(OpenPage(IDD_DESTINATION, DestinationPageProc), nullptr);
    // 282 characters, more than destFolder holds.
    std::string typed = "C:\\Games\\" + std::string(120, 'a') + "\\" + std::string(152, 'b');
    ASSERT_EQ(typed.size(), 282u);
    SetDlgItemTextA(page, IDC_DEST_EDIT, typed.c_str());
    DialogAnswerer answerer({{TooLongTitle, IDOK}});
    EXPECT_EQ(Notify(page, PSN_WIZNEXT), 1);
    auto answered = answerer.Finish();  // no question about creating it
    ASSERT_EQ(answered.size(), 1u);
    EXPECT_EQ(answered[0].owner, parent);
    EXPECT_FALSE(answered[0].ownerEnabled);
    // The command: the quoted folder and game executable, a space, the switch.
    unsigned command = static_cast<unsigned>(typed.size() + 1 + 2 + strlen(GameExeName) + 1 +
                                             strlen(RemoveSwitch));
    EXPECT_EQ(answered[0].text,
              Formatted(CommandTooLongText, (typed + "\\").c_str(), command, 259u));
    EXPECT_EQ(ControlText(page, IDC_DEST_EDIT), typed);
    EXPECT_STREQ(setupState.destFolder, DefaultDestFolder);  // not a cut copy

    // Losing the focus keeps the old folder too, but shows the typed drive's space.
    setupState.freeSpace = 7;
    EditNotification(page, EN_KILLFOCUS);
    EXPECT_STREQ(setupState.destFolder, DefaultDestFolder);
    EXPECT_NE(setupState.freeSpace, 7u);
}

TEST_F(WizardPages, AFolderThatFitsTheBoxButNotTheInstallIsRefused) {
    // A file of the disc decides: the copy would write data/<40>.txt.
    std::string name = std::string(40, 'n') + ".txt";
    CreateDirectoryA((sourceFolder + "\\data").c_str(), nullptr);
    std::string file = sourceFolder + "\\data\\" + name;
    FILE* stream = fopen(file.c_str(), "wb");
    ASSERT_NE(stream, nullptr);
    fclose(stream);
    ASSERT_NE(OpenPage(IDD_DESTINATION, DestinationPageProc), nullptr);
    // "data/" + name is 49 characters: with the staging reserve the folder
    // (separator included) may have 259 - 8 - 49 = 202.
    std::string base = "Q:\\" + std::string(251 - 49 - 1 - 3, 'f');
    SetDlgItemTextA(page, IDC_DEST_EDIT, (base + "x").c_str());
    DialogAnswerer answerer({{TooLongTitle, IDOK}});
    EXPECT_EQ(Notify(page, PSN_WIZNEXT), 1);
    auto answered = answerer.Finish();
    ASSERT_EQ(answered.size(), 1u);
    EXPECT_NE(answered[0].text.find("the path of \"data/" + name +
                                    "\" in it would be 252 characters long, and at most 251"),
              std::string::npos)
        << answered[0].text;

    SetDlgItemTextA(page, IDC_DEST_EDIT, base.c_str());
    DialogAnswerer accepted({{MissingFolderTitle, IDNO}, {MissingFolderTitle, IDNO}});
    EXPECT_EQ(Notify(page, PSN_WIZNEXT), 1);
    EXPECT_EQ(accepted.Finish().size(), 2u);
    EXPECT_STREQ(setupState.destFolder, (base + "\\").c_str());
    DeleteFileA(file.c_str());
    RemoveDirectoryA((sourceFolder + "\\data").c_str());
}

TEST_F(WizardPages, ASemicolonInTheFolderIsRefused) {
    ASSERT_NE(OpenPage(IDD_DESTINATION, DestinationPageProc), nullptr);
    SetDlgItemTextA(page, IDC_DEST_EDIT, "C:\\Games;Vexlo");
    DialogAnswerer answerer({{SemicolonTitle, IDOK}});
    EXPECT_EQ(Notify(page, PSN_WIZNEXT), 1);
    auto answered = answerer.Finish();
    ASSERT_EQ(answered.size(), 1u);
    EXPECT_EQ(answered[0].text, Formatted(SemicolonText, "C:\\Games;Vexlo\\"));
    EXPECT_FALSE(FolderExists("C:\\Games;Vexlo\\"));
}

// Folders no installation may use, however much room they have: each is
// refused on Next with its reason, nothing is created, and the page stays.
TEST_F(WizardPages, ARootTheWindowsFoldersAndAFileAreRefusedWithTheirReason) {
    FakeDrive drive(8 * GiB);  // room enough: no space question
    ASSERT_TRUE(drive.patched);
    ASSERT_NE(OpenPage(IDD_DESTINATION, DestinationPageProc), nullptr);
    char windows[MAX_PATH];
    char system[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, sizeof windows), 0u);
    ASSERT_GT(GetSystemDirectoryA(system, sizeof system), 0u);
    std::string lowerWindows = windows;
    for (char& c : lowerWindows)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    std::string file = TempFolder() + "-file";
    ASSERT_TRUE(WriteFileBytes(file, "not a folder"));

    struct Case {
        std::string typed;
        const char* format;
        std::string shown;
    };
    const Case cases[] = {
        {"E:\\", DriveRootText, "E:\\"},
        {"C:", DriveRootText, "C:\\"},
        {"C:/", DriveRootText, "C:/"},
        {"C:\\Games\\..\\", DriveRootText, "C:\\Games\\..\\"},
        {"\\\\server\\share", DriveRootText, "\\\\server\\share\\"},
        {windows, SystemFolderText, std::string(windows) + "\\"},
        {lowerWindows + "\\Vexlo Demo", SystemFolderText, lowerWindows + "\\Vexlo Demo\\"},
        {std::string(system) + "\\Vexlo", SystemFolderText, std::string(system) + "\\Vexlo\\"},
        {file, FileInTheWayText, file},
        {file + "\\Vexlo Demo", FileInTheWayText, file},
    };
    for (const Case& c : cases) {
        SetDlgItemTextA(page, IDC_DEST_EDIT, c.typed.c_str());
        DialogAnswerer answerer({{FolderRefusedTitle, IDOK}});
        EXPECT_EQ(Notify(page, PSN_WIZNEXT), 1) << c.typed;
        auto answered = answerer.Finish();  // no question about creating it
        ASSERT_EQ(answered.size(), 1u) << c.typed;
        EXPECT_EQ(answered[0].text, Formatted(c.format, c.shown.c_str()));
        EXPECT_EQ(answered[0].owner, parent);
        EXPECT_FALSE(answered[0].ownerEnabled);
    }
    EXPECT_FALSE(FolderExists((lowerWindows + "\\Vexlo Demo\\").c_str()));
    EXPECT_FALSE(FolderExists((std::string(system) + "\\Vexlo\\").c_str()));
    EXPECT_STREQ(setupState.destFolder, DefaultDestFolder);  // none of them taken

    // Beside the Windows folder, not in it: an ordinary folder, offered to be made.
    std::string beside = std::string(windows) + "Games";
    SetDlgItemTextA(page, IDC_DEST_EDIT, beside.c_str());
    DialogAnswerer answerer({{MissingFolderTitle, IDNO}});
    EXPECT_EQ(Notify(page, PSN_WIZNEXT), 1);
    auto answered = answerer.Finish();
    ASSERT_EQ(answered.size(), 1u);
    EXPECT_EQ(answered[0].text,
              Formatted("The folder \"%s\" does not exist. Would you like to create it?",
                        (beside + "\\").c_str()));
    DeleteFileA(file.c_str());
}

TEST_F(WizardPages, AGroupTooLongForItsShortcutsIsRefusedUnlessNone) {
    ASSERT_NE(OpenPage(IDD_DESTINATION, DestinationPageProc), nullptr);
    std::string group = "C:\\" + std::string(240, 'g') + GroupFolderName;
    strcpy(setupState.groupFolder, group.c_str());
    std::string folder = TempFolder() + "-dest";
    CreateDirectoryA(folder.c_str(), nullptr);
    SetDlgItemTextA(page, IDC_DEST_EDIT, folder.c_str());
    {
        DialogAnswerer answerer({{TooLongTitle, IDOK}});
        EXPECT_EQ(Notify(page, PSN_WIZNEXT), 1);
        auto answered = answerer.Finish();
        ASSERT_EQ(answered.size(), 1u);
        EXPECT_EQ(answered[0].text.find("The Start Menu folder \"" + group + "\""), 0u)
            << answered[0].text;
        std::string shortcut = std::string("\\") + RemoveShortcutTitle + ".lnk";
        std::string length = std::to_string(group.size() + shortcut.size());
        EXPECT_NE(answered[0].text.find("\"" + shortcut + "\" in it would be " + length),
                  std::string::npos)
            << answered[0].text;
    }
    CheckDlgButton(page, IDC_GROUP_START_MENU, BST_UNCHECKED);
    CheckDlgButton(page, IDC_GROUP_NONE, BST_CHECKED);
    FakeDrive drive(GiB);
    DialogAnswerer none({});
    EXPECT_EQ(Notify(page, PSN_WIZNEXT), 0);
    RemoveDirectoryA(folder.c_str());
}

bool IsTabStop(HWND page, int id) {
    return (GetWindowLongPtrA(GetDlgItem(page, id), GWL_STYLE) & WS_TABSTOP) != 0;
}

TEST_F(WizardPages, TheGroupButtonsAreOneTabStopTheCheckedOne) {
    ASSERT_NE(OpenPage(IDD_DESTINATION, DestinationPageProc), nullptr);
    EXPECT_TRUE(IsTabStop(page, IDC_GROUP_START_MENU));
    EXPECT_FALSE(IsTabStop(page, IDC_GROUP_NONE));
    SendDlgItemMessageA(page, IDC_GROUP_NONE, BM_CLICK, 0, 0);
    EXPECT_TRUE(IsTabStop(page, IDC_GROUP_NONE));
    EXPECT_FALSE(IsTabStop(page, IDC_GROUP_START_MENU));
    SendDlgItemMessageA(page, IDC_GROUP_START_MENU, BM_CLICK, 0, 0);
    EXPECT_TRUE(IsTabStop(page, IDC_GROUP_START_MENU));
    EXPECT_FALSE(IsTabStop(page, IDC_GROUP_NONE));
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
    snprintf(setupState.groupFolder, StatePathSize, "%s\\Programs%s", upper.c_str(),
             GroupFolderName);
    MakeGroupLabel();
    EXPECT_EQ(setupState.groupLabel, DefaultGroupLabel());

    strcpy(setupState.groupFolder, "D:\\Games\\Elsewhere");
    MakeGroupLabel();
    EXPECT_STREQ(setupState.groupLabel, "Start MenuD:\\Games\\Elsewhere");
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
