// The two fonts of the disc art: a slanted vector face for the title and a
// 5 by 7 pixel face for small print.
#pragma once

#include "art_image.h"

// Renders text of the title face (A-Z, 0-9, space and - . , ! ? : ' /; lower
// case as upper case) into a mask: the cap height is `height` pixels, the
// top-left corner at (left, top). Returns the rendered width.
float DrawTitleText(Mask& mask, const char* text, float left, float top, float height);
float TitleTextWidth(const char* text, float height);
bool HasTitleGlyph(char c);

// Renders text of the pixel face (A-Z, 0-9, space and - . / : ') into a mask,
// each font pixel `scale` by `scale` canvas pixels. Returns the width in pixels.
int DrawPixelText(Mask& mask, const char* text, int left, int top, int scale);
int PixelTextWidth(const char* text, int scale);
bool HasPixelGlyph(char c);
