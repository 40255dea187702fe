#include "artgen_test_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "picture_check.h"

ScratchFolder::ScratchFolder() {
    std::string pattern = testing::TempDir() + "vexlo-artgen-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) ADD_FAILURE() << "cannot make a folder like " << pattern;
    folder = name.data();
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ReadWholeFile(path, &bytes)) << path;
    return bytes;
}

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t{bytes[at + 3]} << 24;
}

void PutLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

int RunTool(const std::string& arguments, std::string* errors) {
    ScratchFolder scratch;
    std::string errorFile = scratch.Path("stderr.txt");
    std::string command =
        std::string(VEXLO_ARTGEN) + " " + arguments + " >/dev/null 2>" + errorFile;
    int status = std::system(command.c_str());
    if (errors) {
        std::vector<uint8_t> text;
        ReadWholeFile(errorFile, &text);
        errors->assign(text.begin(), text.end());
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ImageMagick() {
    return VEXLO_IMAGEMAGICK;
}

int RunImageMagick(const std::string& arguments) {
    std::string command = ImageMagick() + " " + arguments;
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<uint8_t> DecodeWithImageMagick(const std::string& path) {
    std::string raw = path + ".rgb";
    EXPECT_EQ(RunImageMagick(path + " -depth 8 rgb:" + raw), 0);
    return ReadBytes(raw);
}

uint8_t CraftedIndex(int x, int y, int entries) {
    return static_cast<uint8_t>((x * 7 + y * 3) % entries);
}

uint8_t CraftedRed(int entry) {
    return static_cast<uint8_t>(entry * 5 + 1);
}

std::vector<uint8_t> CraftBitmap(int width, int height, int entries, bool topDown) {
    uint32_t stride = (width + 3) / 4 * 4;
    uint32_t offset = 14 + 40 + 4 * entries;
    std::vector<uint8_t> file(offset + stride * height);
    file[0] = 'B';
    file[1] = 'M';
    PutLe32(file, 2, static_cast<uint32_t>(file.size()));
    PutLe32(file, 10, offset);
    PutLe32(file, 14, 40);
    PutLe32(file, 18, width);
    PutLe32(file, 22, topDown ? -height : height);
    file[26] = 1;  // planes
    file[28] = 8;  // bits per pixel
    PutLe32(file, 46, entries == 256 ? 0 : entries);
    for (int i = 0; i < entries; ++i) {
        file[54 + 4 * i] = static_cast<uint8_t>(i);  // blue
        file[54 + 4 * i + 2] = CraftedRed(i);
    }
    for (int y = 0; y < height; ++y) {
        int stored = topDown ? y : height - 1 - y;
        for (int x = 0; x < width; ++x)
            file[offset + stride * stored + x] = CraftedIndex(x, y, entries);
    }
    return file;
}
