// A product's own pictures and icon, checked before they go into the setup
// program's resources. The dialogs read a bitmap resource as a 40-byte info
// header, a colour table of 1 << bit count entries and the pixel rows right
// after it, and make a 256-colour palette of it; an icon must be one that
// Windows 95 and NT 4 can show.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "indexed_image.h"

// Reads a BMP file's bytes as an 8-bit, uncompressed palette picture of
// exactly width by height pixels. Accepted beside the plain layout: the
// larger Windows info headers (108 and 124 bytes), top-down rows and a
// shorter colour table (padded with black). On success `image` holds the
// picture (top row first, 256 palette entries); otherwise `problem` says what
// is wrong in one sentence.
bool ReadPaletteBitmap(const std::vector<uint8_t>& bytes, int width, int height,
                       IndexedImage* image, std::string* problem);

// Checks an icon file: its directory, and each image a bitmap (not PNG) that
// lies inside the file, with at least one 32 by 32 image of 256 colours or
// fewer, which is what Windows 95 and NT 4 show.
bool CheckIconFile(const std::vector<uint8_t>& bytes, std::string* problem);

// The whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes);
