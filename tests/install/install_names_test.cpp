// Which files the install treats apart, decided once for the copy, the
// weights and the shortcuts.
#include <gtest/gtest.h>

#include "setup/install/copy_phase.h"
#include "setup/install/install_paths.h"
#include "product_names.h"
#include "setup/install/shortcuts.h"

#include <strings.h>

#include <cctype>
#include <cstring>

#include <string>
#include <vector>

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

// The titles a listing's files get, in order; "-" for a file without one.
std::vector<std::string> Titles(const std::vector<std::string>& names) {
    ShortcutNamer namer(static_cast<uint32_t>(names.size()));
    std::vector<std::string> titles;
    for (const std::string& name : names) {
        char title[260];
        titles.push_back(namer.Next(name.c_str(), title, sizeof title) ? title : "-");
    }
    return titles;
}

TEST(ShortcutTitles, OnlyTheGameExecutableCarriesTheProductsTitle) {
    std::string stem(GameExeName, strrchr(GameExeName, '.') - GameExeName);
    // A settings file of the game's stem once took the game's title, and its
    // shortcut replaced the game's.
    EXPECT_EQ(Titles({stem + ".ini", GameExeName}),
              (std::vector<std::string>{stem, GameShortcutTitle}));
    EXPECT_EQ(Titles({GameExeName, stem + ".txt"}),
              (std::vector<std::string>{GameShortcutTitle, stem}));
    std::string upper = GameExeName;
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(Titles({upper}), (std::vector<std::string>{GameShortcutTitle}));
}

TEST(ShortcutTitles, ATakenTitleIsToldApartByTheWholeName) {
    // The game's and the removal's titles are theirs, wherever the game sorts.
    std::string game = GameShortcutTitle;
    std::string removal = RemoveShortcutTitle;
    EXPECT_EQ(Titles({game + ".txt", removal + ".html", GameExeName}),
              (std::vector<std::string>{game + ".txt", removal + ".html", game}));
    EXPECT_EQ(Titles({"ReadMe.txt", "README.html", "readme.rtf"}),
              (std::vector<std::string>{"ReadMe", "README.html", "readme.rtf"}));
    // Whole name taken too: no shortcut rather than a second one of the name.
    EXPECT_EQ(Titles({"LICENSE.txt", "license"}), (std::vector<std::string>{"LICENSE", "-"}));
}

TEST(ShortcutTitles, AudioSettingsAndSetupFilesGetNone) {
    EXPECT_EQ(Titles({"data/Theme.MP3", "Vexlo.CFG", "Setup.txt", "SETUP/x.dll", "docs/a.txt"}),
              (std::vector<std::string>{"-", "-", "-", "-", "docs/a"}));
}

TEST(ShortcutTitles, NoTwoShortcutsOfOneName) {
    // Names made to collide every way: no title is ever given twice, in any
    // case, and the game's shortcut is the game's.
    std::string game = GameShortcutTitle;
    std::vector<std::string> names = {"a",     "a.txt",     "A.TXT.bak", "a.txt.bak",
                                      game,    game + ".x", GameExeName, "A",
                                      "a.b.c", "a.b",       "A.B.C.d",   "a.b.c.d"};
    std::vector<std::string> titles = Titles(names);
    for (size_t i = 0; i < titles.size(); ++i) {
        if (titles[i] == "-") continue;
        EXPECT_NE(strcasecmp(titles[i].c_str(), RemoveShortcutTitle), 0) << names[i];
        if (names[i] == GameExeName)
            EXPECT_EQ(titles[i], game);
        else
            EXPECT_NE(strcasecmp(titles[i].c_str(), GameShortcutTitle), 0) << names[i];
        for (size_t j = 0; j < i; ++j)
            EXPECT_NE(strcasecmp(titles[i].c_str(), titles[j].c_str()), 0)
                << names[j] << " and " << names[i];
    }
}

TEST(ShortcutTitles, ATitleThatDoesNotFitIsSaid) {
    ShortcutNamer namer(1);
    char title[8];
    bool tooLong = false;
    EXPECT_FALSE(namer.Next("ReadMeFirst.txt", title, sizeof title, &tooLong));
    EXPECT_TRUE(tooLong);
}

}  // namespace
