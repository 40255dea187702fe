#include <gtest/gtest.h>

#include "setup/install/size_text.h"

TEST(FormatSize, TextsAtAndAroundEachBound) {
    const struct {
        uint32_t bytes;
        const char* text;
    } cases[] = {
        {0, "0 bytes"},         {1023, "1023 bytes"}, {1024, "1.0 KB"},
        {1536, "1.5 KB"},       {101375, "99.0 KB"},  {101376, "99 KB"},
        {1048575, "1023 KB"},   {1048576, "1.0 MB"},  {40547364, "38.7 MB"},
        {103809023, "99.0 MB"}, {103809024, "99 MB"}, {4294967295u, "4095 MB"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(FormatSize(c.bytes), c.text) << c.bytes;
}

TEST(FormatSize, SharesOneBuffer) {
    const char* first = FormatSize(1536);
    const char* second = FormatSize(0);
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "0 bytes");
}
