#include "setup/media/path_fs.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// A fresh folder in the prefix's temporary folder; the current folder while
// the test runs.
class PathFsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_NE(GetTempPathA(sizeof temp, temp), 0u);
        base = std::string(temp) + "vexlo-pathfs-" + std::to_string(GetTickCount()) + "-" +
               std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryA(base.c_str(), nullptr));
        GetCurrentDirectoryA(sizeof previous, previous);
        SetCurrentDirectoryA(base.c_str());
    }
    void TearDown() override {
        SetCurrentDirectoryA(previous);
        RemoveTree(base);
    }
    static void RemoveTree(const std::string& folder) {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::string name = found.cFileName;
                if (name == "." || name == "..") continue;
                std::string path = folder + "\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(path);
                } else {
                    DeleteFileA(path.c_str());
                }
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(folder.c_str());
    }
    static void Touch(const std::string& path) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
    }
    static bool IsFolder(const std::string& path) {
        DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    std::string base;
    char previous[MAX_PATH] = {};
};

TEST_F(PathFsTest, CreateFolderPathCreatesMissingParents) {
    ASSERT_TRUE(CreateDirectoryA((base + "\\A").c_str(), nullptr));
    std::string path = base + "\\A\\B\\C";
    EXPECT_TRUE(CreateFolderPath(path.c_str()));
    EXPECT_TRUE(IsFolder(base + "\\A\\B"));
    EXPECT_TRUE(IsFolder(path));
    // It exists now: nothing is created, so false.
    EXPECT_FALSE(CreateFolderPath(path.c_str()));
}

TEST_F(PathFsTest, CreateFolderPathTrailingSeparatorAndSlashes) {
    EXPECT_TRUE(CreateFolderPath((base + "\\X\\Y\\").c_str()));
    EXPECT_TRUE(IsFolder(base + "\\X\\Y"));
    // Relative, '/' only: cut at the last '/'.
    EXPECT_TRUE(CreateFolderPath("p/q/r"));
    EXPECT_TRUE(IsFolder(base + "\\p\\q\\r"));
}

TEST_F(PathFsTest, CreateFolderPathRefusesWhatCannotBeCreated) {
    Touch(base + "\\file");
    EXPECT_FALSE(CreateFolderPath((base + "\\file\\sub").c_str()));
    EXPECT_FALSE(CreateFolderPath(("Q\\" + std::string(300, 'n')).c_str()));
    EXPECT_FALSE(IsFolder(base + "\\Q"));
    EXPECT_FALSE(CreateFolderPath(""));
}

TEST_F(PathFsTest, FileExistsFindsFilesFoldersAndPatterns) {
    Touch(base + "\\VexloDmo.exe");
    EXPECT_TRUE(FileExists((base + "\\VexloDmo.exe").c_str()));
    EXPECT_TRUE(FileExists((base + "\\vexlodmo.EXE").c_str()));
    EXPECT_TRUE(FileExists((base + "\\*.exe").c_str()));
    EXPECT_TRUE(FileExists(base.c_str()));  // a folder counts too
    EXPECT_FALSE(FileExists((base + "\\Missing.exe").c_str()));
    EXPECT_FALSE(FileExists((base + "\\nowhere\\VexloDmo.exe").c_str()));
}

TEST_F(PathFsTest, FolderExistsSearchesInsideTheFolder) {
    ASSERT_TRUE(CreateDirectoryA((base + "\\Games").c_str(), nullptr));
    Touch(base + "\\plain.txt");
    EXPECT_TRUE(FolderExists((base + "\\Games").c_str()));
    EXPECT_TRUE(FolderExists((base + "\\Games\\").c_str()));
    EXPECT_TRUE(FolderExists((base + "/Games/").c_str()));
    EXPECT_TRUE(FolderExists("Games"));
    EXPECT_FALSE(FolderExists((base + "\\Missing").c_str()));
    EXPECT_FALSE(FolderExists((base + "\\plain.txt").c_str()));
    EXPECT_FALSE(FolderExists(std::string(300, 'g').c_str()));
}

}  // namespace
