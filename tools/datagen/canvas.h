// canvas.h
// Pixel buffers of the picture generator: float colour images and single-channel coverage maps,
// with the few operations every picture needs (blur, compositing, PNG output) and the palette
// that keeps all pictures one family. Colours are plain sRGB values in 0..1, never premultiplied.
#pragma once

#include <string>
#include <vector>

struct Rgb {
    float r, g, b;
};

inline Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Rgb operator*(Rgb a, float k) { return {a.r * k, a.g * k, a.b * k}; }
inline Rgb operator*(Rgb a, Rgb b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
Rgb mixRgb(Rgb a, Rgb b, float t);

// The palette: a night sky, sea blues, teal light, warm amber and coral, and a cream for type.
namespace palette {
const Rgb night{0.035f, 0.043f, 0.098f};
const Rgb indigo{0.16f, 0.11f, 0.34f};
const Rgb violet{0.45f, 0.26f, 0.74f};
const Rgb deepSea{0.02f, 0.09f, 0.20f};
const Rgb sea{0.05f, 0.30f, 0.52f};
const Rgb teal{0.24f, 0.86f, 0.80f};
const Rgb amber{1.00f, 0.71f, 0.30f};
const Rgb coral{1.00f, 0.37f, 0.45f};
const Rgb cream{0.97f, 0.94f, 0.87f};
}  // namespace palette

// One colour stop of a gradient; stops are listed in ascending position.
struct ColourStop {
    float at;
    Rgb colour;
};
Rgb sampleGradient(const ColourStop* stops, int count, float at);

float clamp01(float v);
float smoothStep(float edge0, float edge1, float v);
float mixFloat(float a, float b, float t);

// A colour picture: width * height pixels of r, g, b, a (straight alpha), top row first.
struct Image {
    int width = 0;
    int height = 0;
    bool hasAlpha = false;  // written as RGBA when set, else RGB
    std::vector<float> pixels;

    float* at(int x, int y) { return &pixels[(static_cast<size_t>(y) * width + x) * 4]; }
    const float* at(int x, int y) const { return &pixels[(static_cast<size_t>(y) * width + x) * 4]; }
};

// A single-channel map (text coverage, glows, masks), top row first.
struct Coverage {
    int width = 0;
    int height = 0;
    std::vector<float> values;

    float& at(int x, int y) { return values[static_cast<size_t>(y) * width + x]; }
    float at(int x, int y) const { return values[static_cast<size_t>(y) * width + x]; }
};

Image makeImage(int width, int height, bool hasAlpha, Rgb fill, float alpha);
Coverage makeCoverage(int width, int height);
void setPixel(Image& image, int x, int y, Rgb colour, float alpha);

// Gaussian-like blur (three box passes) of about the given sigma in pixels; wrap treats the map
// as a tile, otherwise everything outside it counts as zero.
void blurCoverage(Coverage& map, float sigma, bool wrap);
// Every value multiplied by gain and clamped to 0..1.
void amplifyCoverage(Coverage& map, float gain);
// Adds colour * weight to the image's colour where the map is non-zero (alpha untouched).
void addGlow(Image& image, const Coverage& map, Rgb colour, float weight);

// Writes the image as an 8-bit PNG (RGB or RGBA by hasAlpha), ordered-dithered so that soft
// gradients do not band. Writes a temporary file and renames it, so a failure leaves no partial
// file behind. On failure returns false and says why in error.
bool writePng(const Image& image, const std::string& path, std::string& error);
