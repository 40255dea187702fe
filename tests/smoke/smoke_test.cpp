#include <gtest/gtest.h>
#include <mutex>
#ifdef _WIN32
#include <windows.h>
#endif
TEST(Smoke, Runs) {
    std::mutex m;
    std::lock_guard<std::mutex> lock(m);
#ifdef _WIN32
    char buf[260];
    EXPECT_GT(GetModuleFileNameA(nullptr, buf, sizeof buf), 0u);
#endif
    SUCCEED();
}
