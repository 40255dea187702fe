// The DirectX paths of the Install button. Wine reports Windows NT 3.51 to
// Setup.exe (a per-program version setting), which the detection takes for
// "no usable DirectX"; the disc's stand-in DSetup.dll returns the result that
// VEXLO_DSETUP_RESULT names and logs its call.
#include <gtest/gtest.h>

#include "e2e_support.h"

namespace {

constexpr int OfferInstallButton = IDOK;
constexpr int DownloadButton = IDOK;
constexpr char InstalledText[] = "Microsoft Direct X 5.0 successfully installed.";
constexpr char FailedText[] = "There was a problem installing Microsoft Direct X 5.0.";

class DirectXTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetSetupWindowsVersion("nt351");
        logPath = ScratchFolder() + "dsetup.log";
        DeleteFileA(logPath.c_str());
    }
    void TearDown() override {
        SetSetupWindowsVersion(nullptr);
        DeleteFileA(logPath.c_str());
        RemoveTree(ScratchFolder() + "nodx");
    }

    bool Start(SetupRun& run, const char* result, const char* setupPath = nullptr) {
        return run.Start(setupPath, {std::string("VEXLO_DSETUP_RESULT=") + result,
                                     "VEXLO_DSETUP_LOG=" + logPath});
    }
    // Cancels the wizard on its welcome page, where no question is asked.
    void CancelWizard(SetupRun& run) {
        HWND sheet = run.Wait(WelcomeTitle);
        ASSERT_NE(sheet, nullptr);
        ASSERT_TRUE(WaitControl(sheet, SheetCancelButton, WindowWaitMs));
        ASSERT_TRUE(ClickButton(sheet, SheetCancelButton));
        ASSERT_TRUE(WaitWindowGone(sheet, WindowWaitMs));
    }
    void ExpectEndWithoutRestartPrompt(SetupRun& run) {
        DWORD code = 1;
        ASSERT_TRUE(run.WaitEnd(&code));
        EXPECT_EQ(code, 0u);
    }
    std::string Log() {
        std::string text;
        ReadFileBytes(logPath, &text);
        return text;
    }

    std::string logPath;
};

TEST_F(DirectXTest, CancelledOfferGoesOnToTheWizard) {
    SetupRun run;
    ASSERT_TRUE(Start(run, "0"));
    HWND offer = OpenDirectXOffer(run);
    ASSERT_NE(offer, nullptr);
    EXPECT_NE(ControlText(offer, OfferInstallButton).find("Install Microsoft Direct X 5"),
              std::string::npos);
    ASSERT_TRUE(ClickButton(offer, IDCANCEL));
    CancelWizard(run);
    ExpectEndWithoutRestartPrompt(run);
    EXPECT_EQ(Log(), "");
}

TEST_F(DirectXTest, SuccessfulSetupAsksNoRestart) {
    SetupRun run;
    ASSERT_TRUE(Start(run, "0"));
    ASSERT_EQ(AcceptDirectXOffer(run), InstalledText);
    CancelWizard(run);
    EXPECT_TRUE(StaysAway(run, RestartTitle));
    ExpectEndWithoutRestartPrompt(run);
    // The setup installs from the disc's DirectX folder: core, DirectDraw and
    // DirectSound drivers, without an owner window.
    std::string expected = "source=" + DiscFolder() + "DXSetup\\DirectX flags=0x00010018";
    EXPECT_NE(Log().find(expected), std::string::npos) << Log();
    EXPECT_NE(Log().find("owner=0"), std::string::npos) << Log();
}

TEST_F(DirectXTest, RestartRequestLeadsToThePromptAfterACancelledWizard) {
    SetupRun run;
    ASSERT_TRUE(Start(run, "1"));
    ASSERT_EQ(AcceptDirectXOffer(run), InstalledText);
    CancelWizard(run);
    HWND prompt = run.Wait(RestartTitle);
    ASSERT_NE(prompt, nullptr);
    EXPECT_EQ(ControlText(prompt, IDOK), "Restart now");
    EXPECT_EQ(ControlText(prompt, IDCANCEL), "I will restart later");
    ASSERT_TRUE(ClickButton(prompt, IDCANCEL));
    ExpectEndWithoutRestartPrompt(run);
}

TEST_F(DirectXTest, FailedSetupShowsTheErrorDialogWhoseButtonsEndOrGoOn) {
    for (int goOn = 0; goOn < 2; ++goOn) {
        SetupRun run;
        ASSERT_TRUE(Start(run, "-9"));
        ASSERT_EQ(AcceptDirectXOffer(run), FailedText);
        HWND error = run.Wait(DirectXErrorTitle);
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(ControlText(error, DownloadButton), "Download Direct X now");
        EXPECT_EQ(ControlText(error, WithoutDirectXButton), InstallWithoutDirectXButton);
        if (goOn) {
            ASSERT_TRUE(ClickButton(error, WithoutDirectXButton));
            CancelWizard(run);
        } else {
            ASSERT_TRUE(ClickButton(error, IDCANCEL));
            EXPECT_TRUE(StaysAway(run, WelcomeTitle));
        }
        ExpectEndWithoutRestartPrompt(run);
    }
}

TEST_F(DirectXTest, MissingSetupLibraryShowsTheErrorDialogWithoutOffer) {
    // A disc without the DXSetup folder.
    std::string folder = ScratchFolder() + "nodx\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string setup = folder + "Setup.exe";
    ASSERT_TRUE(CopyFileA((DiscFolder() + "Setup.exe").c_str(), setup.c_str(), FALSE));
    SetupRun run;
    ASSERT_TRUE(Start(run, "0", setup.c_str()));
    HWND launcher = run.Wait(LauncherTitle);
    ASSERT_NE(launcher, nullptr);
    ASSERT_TRUE(ClickButton(launcher, InstallButton));
    HWND error = run.Wait(DirectXErrorTitle);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(FindTopWindow(DirectXOfferTitle, run.Id()), nullptr);
    // Esc gives up, like Cancel.
    ASSERT_TRUE(PressKey(error, VK_ESCAPE));
    EXPECT_TRUE(StaysAway(run, WelcomeTitle));
    ExpectEndWithoutRestartPrompt(run);
}

}  // namespace
