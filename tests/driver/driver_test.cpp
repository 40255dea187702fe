// The driver against a sample dialog program of its own: each test starts the
// sample, drives one kind of control across the process boundary and checks
// what the sample saw.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sample_ids.h"
#include "ui_driver.h"

namespace {

constexpr unsigned WaitMs = 10000;
const char SampleTitle[] = "Driver Sample";

std::string ProgramFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

class SampleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = ProgramFolder();
        const char* environment[] = {"SAMPLE_GREETING=hello from the driver", nullptr};
        std::string program = folder + "driver-sample.exe";
        ASSERT_TRUE(StartProgram(program.c_str(), nullptr, "C:\\", environment, &sample));
        window = WaitTopWindow(SampleTitle, sample.processId, WaitMs);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        if (!WaitProcessEnd(sample.process, 0, nullptr)) KillProcess(sample.process);
        CloseStartedProcess(&sample);
    }
    // The sample's log: its latest events, one a line.
    std::vector<std::string> LogEvents() {
        char text[4096] = "";
        ReadControlText(window, IDC_SAMPLE_LOG, text, sizeof text);
        std::vector<std::string> events;
        for (const char* line = text; *line;) {
            const char* end = strchr(line, '\n');
            events.emplace_back(line, end ? size_t(end - line) : strlen(line));
            line = end ? end + 1 : line + strlen(line);
        }
        return events;
    }
    int LogCount(const std::string& expected) {
        int count = 0;
        for (const std::string& event : LogEvents())
            count += event == expected;
        return count;
    }
    // Waits until the log holds `expected` more than `already` times.
    bool WaitLog(const char* expected, int already = 0) {
        uint32_t start = GetTickCount();
        while (LogCount(expected) <= already) {
            if (GetTickCount() - start >= WaitMs) return false;
            Sleep(30);
        }
        return true;
    }
    DWORD EndCode() {
        DWORD code = 0;
        EXPECT_TRUE(WaitProcessEnd(sample.process, WaitMs, &code));
        return code;
    }

    std::string folder;
    StartedProcess sample;
    HWND window = nullptr;
};

TEST_F(SampleTest, StartsInFolderWithExtraEnvironment) {
    char text[256];
    ASSERT_TRUE(ReadControlText(window, IDC_SAMPLE_GREETING, text, sizeof text));
    EXPECT_STREQ(text, "hello from the driver");
    ASSERT_TRUE(ReadControlText(window, IDC_SAMPLE_FOLDER, text, sizeof text));
    EXPECT_STREQ(text, "C:\\");
    EXPECT_EQ(WindowProcessId(window), sample.processId);
    // Another process's id finds nothing; a prefix pattern finds the window.
    EXPECT_EQ(FindTopWindow(SampleTitle, GetCurrentProcessId()), nullptr);
    EXPECT_EQ(FindTopWindow("Driver S*", sample.processId), window);
    EXPECT_EQ(FindTopWindow("Driver", sample.processId), nullptr);
}

TEST_F(SampleTest, EditNotificationsAndFocus) {
    ASSERT_TRUE(TypeEditText(window, IDC_SAMPLE_EDIT, "ab"));
    EXPECT_TRUE(WaitLog("change 2 ab"));
    ASSERT_TRUE(SetEditText(window, IDC_SAMPLE_EDIT, "C:\\Games"));
    EXPECT_TRUE(WaitLog("change 3 C:\\Games"));
    char text[64];
    ASSERT_TRUE(ReadControlText(window, IDC_SAMPLE_EDIT, text, sizeof text));
    EXPECT_STREQ(text, "C:\\Games");
    // Typing replaces the whole content; the focus goes where it is sent,
    // and leaving the edit reports its text.
    ASSERT_TRUE(FocusControl(window, IDC_SAMPLE_EDIT));
    EXPECT_TRUE(WaitFocus(window, IDC_SAMPLE_EDIT, WaitMs));
    ASSERT_TRUE(TypeEditText(window, IDC_SAMPLE_EDIT, "x"));
    EXPECT_TRUE(WaitLog("change 4 x"));
    ASSERT_TRUE(FocusControl(window, IDC_SAMPLE_ASK));
    EXPECT_TRUE(WaitFocus(window, IDC_SAMPLE_ASK, WaitMs));
    EXPECT_TRUE(WaitLog("killfocus x")) << testing::PrintToString(LogEvents());
}

TEST_F(SampleTest, ButtonsRadiosAndProgress) {
    EXPECT_EQ(ReadProgressPosition(window, IDC_SAMPLE_BAR), 42);
    EXPECT_EQ(ReadButtonCheck(window, IDC_SAMPLE_RADIO_A), BST_CHECKED);
    ASSERT_TRUE(CheckButton(window, IDC_SAMPLE_RADIO_B));
    EXPECT_TRUE(WaitLog("radio b"));
    EXPECT_EQ(ReadButtonCheck(window, IDC_SAMPLE_RADIO_A), BST_UNCHECKED);
    EXPECT_TRUE(WaitButtonCheck(window, IDC_SAMPLE_RADIO_B, BST_CHECKED, WaitMs));
    // A disabled button cannot be clicked, as with the mouse; a missing one neither.
    EXPECT_FALSE(IsControlEnabled(window, IDC_SAMPLE_DISABLED));
    EXPECT_FALSE(ClickButton(window, IDC_SAMPLE_DISABLED));
    EXPECT_FALSE(ClickButton(window, 4242));
    EXPECT_EQ(ReadProgressPosition(window, 4242), -1);
    ASSERT_TRUE(ClickButton(window, IDOK));
    EXPECT_EQ(EndCode(), 100u + IDOK);
}

TEST_F(SampleTest, MessageBoxAnswered) {
    ASSERT_TRUE(ClickButton(window, IDC_SAMPLE_ASK));
    HWND box = WaitMessageBox("Sample Question", sample.processId, WaitMs);
    ASSERT_NE(box, nullptr);
    char text[128];
    ASSERT_TRUE(ReadMessageBoxText(box, text, sizeof text));
    EXPECT_STREQ(text, "Shall we go on?");
    ASSERT_TRUE(AnswerMessageBox(box, IDNO));
    EXPECT_TRUE(WaitLog("answer no"));
    EXPECT_TRUE(WaitWindowGone(box, WaitMs));
}

TEST_F(SampleTest, WizardSheetButtons) {
    ASSERT_TRUE(ClickButton(window, IDC_SAMPLE_WIZARD));
    HWND sheet = WaitTopWindow("Sample Wizard*", sample.processId, WaitMs);
    ASSERT_NE(sheet, nullptr);
    // The current page's controls are found through the sheet.
    ASSERT_NE(WaitControl(sheet, IDC_PAGE1_TEXT, WaitMs), nullptr);
    ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
    ASSERT_NE(WaitControl(sheet, IDC_PAGE2_EDIT, WaitMs), nullptr);
    EXPECT_FALSE(IsControlVisible(sheet, IDC_PAGE1_TEXT));
    ASSERT_TRUE(ClickButton(sheet, SheetBackButton));
    ASSERT_NE(WaitControl(sheet, IDC_PAGE1_TEXT, WaitMs), nullptr);
    ASSERT_TRUE(ClickButton(sheet, SheetNextButton));
    ASSERT_NE(WaitControl(sheet, IDC_PAGE2_EDIT, WaitMs), nullptr);
    ASSERT_TRUE(SetEditText(sheet, IDC_PAGE2_EDIT, "done"));
    ASSERT_NE(WaitControl(sheet, SheetFinishButton, WaitMs), nullptr);
    ASSERT_TRUE(ClickButton(sheet, SheetFinishButton));
    EXPECT_TRUE(WaitLog("wizard 1 done"));
}

TEST_F(SampleTest, EscapeEndsTheDialog) {
    ASSERT_TRUE(PressKey(window, VK_ESCAPE));
    EXPECT_EQ(EndCode(), 100u + IDCANCEL);
}

TEST_F(SampleTest, CloseBoxEndsTheDialog) {
    ASSERT_TRUE(CloseTopWindow(window));
    EXPECT_EQ(EndCode(), 100u + IDCANCEL);
}

TEST_F(SampleTest, ScreenshotIsAWellFormedPicture) {
    std::string path = folder + "driver-shot.bmp";
    Sleep(300);
    ASSERT_TRUE(SaveWindowShot(window, path.c_str()));
    FILE* file = fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::vector<unsigned char> bytes(4 << 20);
    size_t size = fread(bytes.data(), 1, bytes.size(), file);
    fclose(file);
    remove(path.c_str());
    ASSERT_GT(size, 54u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    uint32_t fileSize, offset;
    int32_t width, height;
    uint16_t bits;
    memcpy(&fileSize, &bytes[2], 4);
    memcpy(&offset, &bytes[10], 4);
    memcpy(&width, &bytes[18], 4);
    memcpy(&height, &bytes[22], 4);
    memcpy(&bits, &bytes[28], 2);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(fileSize, size);
    EXPECT_EQ(offset, 54u);
    EXPECT_EQ(width, rect.right - rect.left);
    EXPECT_EQ(height, rect.bottom - rect.top);
    EXPECT_EQ(bits, 24);
    EXPECT_EQ(size, 54u + uint32_t((width * 3 + 3) & ~3) * uint32_t(height));
    // A painted dialog has more than one colour (text on a face colour).
    std::vector<int> seen;
    for (size_t i = offset; i + 2 < size && seen.size() < 3; i += 3) {
        int colour = bytes[i] | bytes[i + 1] << 8 | bytes[i + 2] << 16;
        bool known = false;
        for (int c : seen)
            known = known || c == colour;
        if (!known) seen.push_back(colour);
    }
    EXPECT_GE(seen.size(), 2u);
}

}  // namespace
