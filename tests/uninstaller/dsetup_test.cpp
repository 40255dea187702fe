// The stand-in DirectX setup library: found by name as the setup program
// finds it, and returning the result the environment chooses.
#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace {

using DirectXSetupFunction = int(WINAPI*)(HWND, LPSTR, DWORD);
constexpr DWORD SetupFlags = 0x10018;

class DSetupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        library = LoadLibraryA(ProgramPath("DSetup.dll").c_str());
        ASSERT_TRUE(library);
        setup = reinterpret_cast<DirectXSetupFunction>(
            reinterpret_cast<void*>(GetProcAddress(library, "DirectXSetupA")));
        ASSERT_TRUE(setup);
    }
    void TearDown() override {
        SetEnvironmentVariableA("VEXLO_DSETUP_RESULT", nullptr);
        SetEnvironmentVariableA("VEXLO_DSETUP_LOG", nullptr);
        if (library) FreeLibrary(library);
    }
    int Call(const char* chosen) {
        SetEnvironmentVariableA("VEXLO_DSETUP_RESULT", chosen);
        char source[] = "D:\\DXSetup\\DirectX";
        return setup(nullptr, source, SetupFlags);
    }

    HMODULE library = nullptr;
    DirectXSetupFunction setup = nullptr;
};

TEST_F(DSetupTest, ReturnsTheChosenResult) {
    EXPECT_EQ(Call(nullptr), 0);
    EXPECT_EQ(Call("1"), 1);
    EXPECT_EQ(Call("-9"), -9);
    EXPECT_EQ(Call("  -2147483648"), int(0x80000000u));
    EXPECT_EQ(Call("restart"), 0);
}

TEST_F(DSetupTest, LogsEachCallWhenAsked) {
    ScratchFolder scratch("dsetup");
    std::string log = scratch.Path() + "\\dsetup.log";
    SetEnvironmentVariableA("VEXLO_DSETUP_LOG", log.c_str());
    Call("1");
    Call("-5");
    std::string lines;
    ASSERT_TRUE(ReadFileBytes(log, &lines));
    EXPECT_EQ(lines,
              "DirectXSetupA owner=0 source=D:\\DXSetup\\DirectX flags=0x00010018 result=1\r\n"
              "DirectXSetupA owner=0 source=D:\\DXSetup\\DirectX flags=0x00010018 result=-5\r\n");
}

}  // namespace
