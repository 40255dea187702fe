// What the art generator's tests share: scratch folders, the generator as a
// program, ImageMagick as an independent writer and reader of BMP files, and
// small bitmaps made byte by byte.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// A fresh folder under the test's temporary folder, removed afterwards.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string Path(const std::string& name) const { return folder + "/" + name; }

  private:
    std::string folder;
};

class ScratchTest : public testing::Test {
  protected:
    std::string Path(const std::string& name) const { return scratch.Path(name); }
    ScratchFolder scratch;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at);
void PutLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value);

// vexlo-artgen with the given arguments (shell words); its exit code. Its
// error output goes to *errors when given.
int RunTool(const std::string& arguments, std::string* errors = nullptr);

// ImageMagick's convert; "" when it is not installed.
std::string ImageMagick();
int RunImageMagick(const std::string& arguments);
// The picture as ImageMagick decodes it: 8-bit red, green, blue, top row first.
std::vector<uint8_t> DecodeWithImageMagick(const std::string& path);

// An 8-bit BMP file with a colour table of `entries` (biClrUsed 0 for 256),
// pixel (x, y) holding CraftedIndex and entry i the red CraftedRed(i).
std::vector<uint8_t> CraftBitmap(int width, int height, int entries, bool topDown);
uint8_t CraftedIndex(int x, int y, int entries);
uint8_t CraftedRed(int entry);
