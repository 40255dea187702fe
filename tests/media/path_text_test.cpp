#include "setup/media/path_text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(PathText, ReplaceExtensionUsesTheLastDotAnywhere) {
    char path[64] = "./data/a.mp3";
    ASSERT_TRUE(ReplaceExtension(path, sizeof path, ".wav"));
    EXPECT_STREQ(path, "./data/a.wav");

    char plain[64] = "README";
    ASSERT_TRUE(ReplaceExtension(plain, sizeof plain, ".txt"));
    EXPECT_STREQ(plain, "README.txt");

    // A dot in a folder name counts when the file has none.
    char folderDot[64] = "music.v2/theme";
    ASSERT_TRUE(ReplaceExtension(folderDot, sizeof folderDot, ".wav"));
    EXPECT_STREQ(folderDot, "music.wav");
}

TEST(PathText, ReplaceExtensionRefusesWhatDoesNotFit) {
    char path[8] = "ab.mp3";  // "ab.wave" plus terminator is 8: fits
    ASSERT_TRUE(ReplaceExtension(path, sizeof path, ".wave"));
    EXPECT_STREQ(path, "ab.wave");
    ASSERT_FALSE(ReplaceExtension(path, sizeof path, ".waves"));
    EXPECT_STREQ(path, "ab.wave");
}

TEST(PathText, AppendPathPartInsertsOneBackslash) {
    char path[64] = "C:\\Games\\Vexlo Demo\\";
    ASSERT_TRUE(AppendPathPart(path, sizeof path, "Remove.txt"));
    EXPECT_STREQ(path, "C:\\Games\\Vexlo Demo\\Remove.txt");

    char bare[64] = "C:\\Games";
    ASSERT_TRUE(AppendPathPart(bare, sizeof bare, "Remove.txt"));
    EXPECT_STREQ(bare, "C:\\Games\\Remove.txt");

    char slash[64] = "data/";
    ASSERT_TRUE(AppendPathPart(slash, sizeof slash, "a.wav"));
    EXPECT_STREQ(slash, "data/a.wav");

    char empty[64] = "";
    ASSERT_TRUE(AppendPathPart(empty, sizeof empty, "Remove.txt"));
    EXPECT_STREQ(empty, "Remove.txt");
}

TEST(PathText, AppendPathPartRefusesWhatDoesNotFitAndLeavesTheBuffer) {
    char path[10] = "C:\\Games";                           // 8 characters
    EXPECT_FALSE(AppendPathPart(path, sizeof path, "x"));  // needs 10 + terminator
    EXPECT_STREQ(path, "C:\\Games");
    char exact[11] = "C:\\Games";
    EXPECT_TRUE(AppendPathPart(exact, sizeof exact, "x"));
    EXPECT_STREQ(exact, "C:\\Games\\x");
}

TEST(PathText, AddTrailingSeparator) {
    char empty[8] = "";
    ASSERT_TRUE(AddTrailingSeparator(empty, sizeof empty));
    EXPECT_STREQ(empty, "");
    char slash[8] = "C:/a/";
    ASSERT_TRUE(AddTrailingSeparator(slash, sizeof slash));
    EXPECT_STREQ(slash, "C:/a/");
    char plain[8] = "C:\\a";
    ASSERT_TRUE(AddTrailingSeparator(plain, sizeof plain));
    EXPECT_STREQ(plain, "C:\\a\\");
    // Once already there, a full buffer is fine; a missing one must fit.
    ASSERT_TRUE(AddTrailingSeparator(plain, 6));
    char full[6] = "C:\\ab";
    EXPECT_FALSE(AddTrailingSeparator(full, sizeof full));
    EXPECT_STREQ(full, "C:\\ab");
}

TEST(PathText, FileNamePart) {
    EXPECT_STREQ(FileNamePart("data/sub/b.txt"), "b.txt");
    EXPECT_STREQ(FileNamePart("data/"), "data/");
    EXPECT_STREQ(FileNamePart("b.txt"), "b.txt");
    EXPECT_STREQ(FileNamePart("C:\\x/y\\z.wav"), "z.wav");
    EXPECT_STREQ(FileNamePart("a\\b/c"), "c");
    char mutableName[] = "data\\a.mp3";
    char* part = FileNamePart(mutableName);
    EXPECT_EQ(part, mutableName + 5);
}

}  // namespace
