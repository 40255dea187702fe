// The sample product (disc/product) is the Vexlo demo: its generated names
// and texts must read exactly as the demo's, odd spelling and double spaces
// included. A slip in product.ini shows here, not on a customer's screen.
#include <gtest/gtest.h>

#include <string>

#include "product_names.h"

namespace {

TEST(SampleProductTexts, NamesTheGameAndItsRegistryEntries) {
    EXPECT_STREQ(GameExeName, "VexloDmo.exe");
    EXPECT_STREQ(ProductDisplayName, "Vexlo Demo");
    EXPECT_STREQ(ProductKeyName, "VexloDemo");
    EXPECT_STREQ(FullProductKeyName, "Vexlo");
    EXPECT_STREQ(UninstallKeyPath,
                 "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VexloDemo");
    EXPECT_STREQ(DefaultDestFolder, "C:\\Games\\Vexlo Demo\\");
    EXPECT_STREQ(GroupFolderName, "\\Vexlo Demo");
    EXPECT_STREQ(GameShortcutTitle, "Vexlo Demo");
    EXPECT_STREQ(RemoveShortcutTitle, "Remove Vexlo Demo");
    EXPECT_STREQ(DecompressWindowTitle, "Vexlo Setup Decompressing...");
}

TEST(SampleProductTexts, LauncherRestartAndCancelDialogs) {
    EXPECT_STREQ(LauncherCaption, "Vexlo");
    EXPECT_STREQ(PlayButtonText, "Play Vexlo Demo From CD-ROM");
    EXPECT_STREQ(InstallButtonText, "Install Vexlo Demo to Hard Drive");
    EXPECT_STREQ(RestartCaption, "Must Rest Before Playing Vexlo");
    EXPECT_STREQ(RestartText,
                 "In order to complete the installation of Vexlo, it will be necessary to restart "
                 "your system. Press the Restart button to restart Windows now.");
    EXPECT_STREQ(CancelCaption, "Cancel Vexlo Setup?");
    EXPECT_STREQ(CancelText,
                 "Vexlo has not been installed.  Are you sure you want to exit Setup without "
                 "installing Vexlo?");
}

TEST(SampleProductTexts, DirectXDialogs) {
    EXPECT_STREQ(DirectXOfferText,
                 "You must install Microsoft Direct X on your system before you can play Vexlo.  "
                 "Would you like to install Microsoft Direct X 5 now?");
    EXPECT_STREQ(DirectXErrorCaption, "Vexlo Setup Error");
    EXPECT_STREQ(InstallWithoutDirectXButton, "Install Vexlo without Direct X");
    EXPECT_STREQ(DirectXErrorText,
                 "Vexlo requires Microsoft Direct X version 2.0 or greater to be installed on you "
                 "system before you can play Vexlo.  Please install Direct X and then run Vexlo "
                 "Setup again.");
    // A page named DirectX.htm on the publisher's site.
    std::string page = DirectXHelpPage;
    ASSERT_GT(page.size(), 12u);
    EXPECT_EQ(page.substr(page.size() - 12), "/DirectX.htm");
}

TEST(SampleProductTexts, WizardPagesAndQuestions) {
    EXPECT_STREQ(WizardCaption, "Vexlo Setup");
    EXPECT_STREQ(WelcomeText,
                 "This program is going to install the Vexlo Demo.   Press the next button to "
                 "begin, or the cancel button if you do not want to install the Vexlo Demo.");
    EXPECT_STREQ(DestinationCaption, "Vexlo Setup - Select Destination");
    EXPECT_STREQ(DestinationQuestion, "Where would you like to install Vexlo?");
    EXPECT_STREQ(GroupLabelText, "Start\\Programs\\Vexlo");
    EXPECT_STREQ(ReadyCaption, "Vexlo Setup - Ready To Install");
    EXPECT_STREQ(ReadyText, "You are now ready to install Vexlo.  Press the Next button to begin");
    EXPECT_STREQ(ProgressCaption, "Vexlo Setup - Progress");
    EXPECT_STREQ(BrowseDestTitle, "Select Folder To Install Vexlo In");
    EXPECT_STREQ(BrowseGroupTitle, "Select Location for Vexlo Folder");
    EXPECT_STREQ(MissingFolderTitle, "Vexlo Setup: Folder Does Not Exist");
    EXPECT_STREQ(CreateFailedTitle, "Vexlo Setup: Error creating folder");
    EXPECT_STREQ(LowSpaceText,
                 "The folder \"%s\" does not appear to have enough space available to install "
                 "Vexlo.  An addition %s of free space is required.  Would you like to attempt to "
                 "install Vexlo anyway? \r\n\r\nPress Yes to try to install Vexlo.\r\nPress No to "
                 "select a different location.");
    // The question when a read of the disc fails during the copy.
    EXPECT_STREQ(DiscGoneTitle, "Vexlo Setup");
    EXPECT_STREQ(DiscGoneText, "Put the CD back in the drive");
}

TEST(SampleProductTexts, BothUninstallers) {
    EXPECT_STREQ(NotInstalledText, "The Vexlo Demo is not installed on your system.");
    EXPECT_STREQ(ConfirmText,
                 "Are you sure you want to completely remove The Vexlo Demo from your system?");
    EXPECT_STREQ(RemovedText, "The Vexlo Demo has been removed from your system.");
    EXPECT_STREQ(FullNotInstalledText, "Vexlo is not installed on your system.");
    EXPECT_STREQ(FullConfirmText,
                 "Are you sure you want to completely remove Vexlo from your system?");
    EXPECT_STREQ(FullRemovedText, "Vexlo has been removed from your system.");
    EXPECT_STREQ(UninstallConfirmTitle, "Remove Vexlo");
    EXPECT_STREQ(ListMissingText,
                 "Couldn't find the Uninstall List (\"Remove.txt\").  Could not remove Vexlo from "
                 "your system.");
}

}  // namespace
