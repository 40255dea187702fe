// Which files the install treats apart, decided once for the copy, the
// weights and the shortcuts.
#include <gtest/gtest.h>

#include "setup/install/copy_phase.h"
#include "setup/install/install_paths.h"

namespace {

TEST(InstallNames, SetupAudioAndConfigurationFilesByName) {
    EXPECT_TRUE(IsSetupFile("Setup.exe"));
    EXPECT_TRUE(IsSetupFile("SETUP/x.dll"));
    EXPECT_FALSE(IsSetupFile("data/Setup.dat"));
    EXPECT_FALSE(IsSetupFile("MySetup.exe"));

    EXPECT_TRUE(IsAudioFile("data/Theme.MP3"));
    EXPECT_FALSE(IsAudioFile("mp3.txt"));
    EXPECT_FALSE(IsAudioFile("a.mp3.bak"));

    EXPECT_TRUE(IsConfigFile("Vexlo.CFG"));
    EXPECT_FALSE(IsConfigFile("cfg.txt"));
}

TEST(InstallNames, WeightsFollowTheSameRules) {
    // A setup file that is not installed weighs nothing; one inside data/ is
    // installed and weighs as any other file.
    EXPECT_EQ(SourceFileWeight("./Setup.exe", 5000), 0u);
    EXPECT_EQ(SourceFileWeight("./data/Setup.dat", 5000), 107400u);
    EXPECT_EQ(SourceFileWeight("./data/a.mp3", 10), 102700u);
    EXPECT_EQ(SourceFileWeight("./Vexlo.cfg", 10), 102410u);
}

}  // namespace
