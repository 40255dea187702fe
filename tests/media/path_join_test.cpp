// The bounded copy and join helpers: exact fits, refusals, and the first part
// being the destination itself.
#include <gtest/gtest.h>

#include <cstring>

#include "setup/media/path_text.h"

namespace {

TEST(PathJoin, ConcatPathFillsTheBufferExactlyAndRefusesOneMore) {
    char path[8];
    ASSERT_TRUE(ConcatPath(path, sizeof path, "C:\\", "Ga", "me"));  // 7 + terminator
    EXPECT_STREQ(path, "C:\\Game");
    // A refusal leaves nothing half-joined behind.
    EXPECT_FALSE(ConcatPath(path, sizeof path, "C:\\", "Gam", "es"));
    EXPECT_STREQ(path, "");
    EXPECT_FALSE(ConcatPath(path, 0, "a"));
}

TEST(PathJoin, ConcatPathAppendsToItselfAndSkipsNullParts) {
    char path[40] = "C:\\Games\\";
    ASSERT_TRUE(ConcatPath(path, sizeof path, path, nullptr, "VexloDmo.exe"));
    EXPECT_STREQ(path, "C:\\Games\\VexloDmo.exe");
    ASSERT_TRUE(ConcatPath(path, sizeof path, path, ";", "Remove.txt"));
    EXPECT_STREQ(path, "C:\\Games\\VexloDmo.exe;Remove.txt");
}

TEST(PathJoin, JoinPathPutsOneBackslashBetween) {
    char path[32];
    ASSERT_TRUE(JoinPath(path, sizeof path, "C:\\Games", "a.txt"));
    EXPECT_STREQ(path, "C:\\Games\\a.txt");
    ASSERT_TRUE(JoinPath(path, sizeof path, "C:\\Games\\", "a.txt"));
    EXPECT_STREQ(path, "C:\\Games\\a.txt");
    ASSERT_TRUE(JoinPath(path, sizeof path, "data/", "a.txt"));
    EXPECT_STREQ(path, "data/a.txt");
    ASSERT_TRUE(JoinPath(path, sizeof path, "", "a.txt"));
    EXPECT_STREQ(path, "a.txt");

    char small[8];
    ASSERT_TRUE(JoinPath(small, sizeof small, "ab", "cdef"));  // "ab\cdef" is 7
    EXPECT_FALSE(JoinPath(small, sizeof small, "ab", "cdefg"));
    EXPECT_STREQ(small, "");
}

TEST(PathJoin, CopyTextLeavesTheBufferAsItWasWhenRefusing) {
    char field[6] = "old";
    ASSERT_TRUE(CopyText(field, sizeof field, "fiver"));
    EXPECT_STREQ(field, "fiver");
    EXPECT_FALSE(CopyText(field, sizeof field, "sixsix"));
    EXPECT_STREQ(field, "fiver");
}

}  // namespace
