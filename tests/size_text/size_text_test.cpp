#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

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

TEST(FormatSize, FromFourGibibytesOnTheTrueFigureInMegabytes) {
    const struct {
        uint64_t bytes;
        const char* text;
    } cases[] = {
        {4294967296ull, "4096 MB"},  // the first count a 32-bit value cannot hold
        {4294967296ull + 1048575, "4096 MB"},
        {4294967296ull + 1048576, "4097 MB"},
        {500000000000ull, "476837 MB"},    // a "500 GB" drive
        {1099511627776ull, "1048576 MB"},  // 1 TiB
        {0xFFFFFFFFFFFFFFFFull, "17592186044415 MB"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(FormatSize(c.bytes), c.text) << c.bytes;
}

// The texts of 32-bit counts, printed the way the program printed them when
// it carried sizes in 32 bits: every one must stay as it was.
std::string ThirtyTwoBitText(uint32_t n) {
    char text[32];
    if (n < 1024)
        snprintf(text, sizeof text, "%d bytes", static_cast<int>(n));
    else if (n < 101376)
        snprintf(text, sizeof text, "%.1f KB", n / 1024.0);
    else if (n < 1048576)
        snprintf(text, sizeof text, "%d KB", static_cast<int>(n / 1024));
    else if (n < 103809024)
        snprintf(text, sizeof text, "%.1f MB", n / 1048576.0);
    else
        snprintf(text, sizeof text, "%d MB", static_cast<int>(n / 1048576));
    return text;
}

TEST(FormatSize, EveryThirtyTwoBitCountKeepsItsText) {
    std::mt19937 random(20261207);
    for (int i = 0; i < 200000; ++i) {
        // Spread over all magnitudes, not only the large ones.
        uint32_t n = random() >> (random() % 32);
        ASSERT_EQ(FormatSize(n), ThirtyTwoBitText(n)) << n;
    }
    for (uint32_t bound : {1024u, 101376u, 1048576u, 103809024u, 0xFFFFFFFFu})
        for (uint32_t n = bound - 3; n != bound + 3 && n != 2; ++n)
            ASSERT_EQ(FormatSize(n), ThirtyTwoBitText(n)) << n;
}

TEST(FormatSize, SharesOneBuffer) {
    const char* first = FormatSize(1536);
    const char* second = FormatSize(0);
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "0 bytes");
}
