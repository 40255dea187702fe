// A floating-point RGB canvas and the few drawing operations the disc art uses.
#pragma once

#include <cstdint>
#include <vector>

struct Colour {
    float r = 0, g = 0, b = 0;
};

Colour Mix(Colour a, Colour b, float t);
Colour Scale(Colour c, float s);
Colour Add(Colour a, Colour b);
// Colour from 0xRRGGBB.
Colour Hex(uint32_t rgb);

class Canvas {
  public:
    Canvas(int width, int height);
    int Width() const { return width; }
    int Height() const { return height; }
    Colour& At(int x, int y) { return pixels[y * width + x]; }
    const Colour& At(int x, int y) const { return pixels[y * width + x]; }
    // Blends colour over pixel (x, y) with opacity alpha; outside is ignored.
    void Blend(int x, int y, Colour colour, float alpha);
    // Adds light to pixel (x, y); outside is ignored.
    void Glow(int x, int y, Colour colour, float amount);

  private:
    int width;
    int height;
    std::vector<Colour> pixels;
};

// A grey mask (0..1) of the same size as a canvas: coverage of shapes.
class Mask {
  public:
    Mask(int width, int height);
    int Width() const { return width; }
    int Height() const { return height; }
    float& At(int x, int y) { return values[y * width + x]; }
    float Get(int x, int y) const;  // 0 outside
    // Three box blurs of the given radius: close to a Gaussian.
    Mask Blurred(int radius) const;

  private:
    int width;
    int height;
    std::vector<float> values;
};

// Deterministic pseudo-random numbers: the art must come out the same each build.
class Random {
  public:
    explicit Random(uint32_t seed) : state(seed) {}
    uint32_t Next();
    float Unit();  // 0 <= value < 1

  private:
    uint32_t state;
};

// Smooth value noise and its fractal sum, in 0..1.
float ValueNoise(float x, float y, uint32_t seed);
float FractalNoise(float x, float y, int octaves, uint32_t seed);

float Clamp01(float v);
float SmoothStep(float edge0, float edge1, float x);
