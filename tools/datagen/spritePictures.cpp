// spritePictures.cpp
// Small billboard pictures: the three bead sprites the knots and the acid cloud are strung from,
// the "e" sprite of the star dome, the pink dot, and the masks that cut a dark seat for a sprite
// before it is added. Billboards put a picture's top row at the bottom of the square, so the
// one sprite with an up and down (the "e") is stored upside down to be seen upright.
#include <algorithm>
#include <cmath>

#include "tools/datagen/pictures.h"
#include "tools/datagen/typeset.h"

namespace {

// Offset from the centre in units of half the picture (1 at the edge midpoints).
void offsetAt(int x, int y, int size, float& dx, float& dy) {
    const float half = static_cast<float>(size) * 0.5f;
    dx = (static_cast<float>(x) + 0.5f - half) / half;
    dy = (static_cast<float>(y) + 0.5f - half) / half;
}

// Builds a sprite from a light function: light(dx, dy) gives the added colour (premultiplied);
// alpha becomes its brightest channel and the colour is divided back out.
template <typename Light>
Image makeSprite(int size, Light light) {
    Image image = makeImage(size, size, true, {0, 0, 0}, 0.0f);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            float dx, dy;
            offsetAt(x, y, size, dx, dy);
            const float r = std::sqrt(dx * dx + dy * dy);
            const Rgb added = light(dx, dy, r) * smoothStep(1.0f, 0.85f, r);
            const float alpha = std::min(1.0f, std::max({added.r, added.g, added.b}));
            if (alpha <= 0.0f) continue;
            const Rgb colour = added * (1.0f / alpha);
            setPixel(image, x, y,
                     {std::min(1.0f, colour.r), std::min(1.0f, colour.g), std::min(1.0f, colour.b)}, alpha);
        }
    }
    return image;
}

float gauss(float v, float width) { return std::exp(-(v / width) * (v / width)); }

// A glossy bead: cream core with a highlight, a teal rim and a soft teal halo.
Image makeBead() {
    return makeSprite(128, [](float dx, float dy, float r) {
        const float body = smoothStep(0.47f, 0.43f, r);
        const float highlight =
            gauss(std::sqrt((dx + 0.14f) * (dx + 0.14f) + (dy + 0.16f) * (dy + 0.16f)), 0.12f);
        const Rgb inside = mixRgb(palette::cream, palette::teal, smoothStep(0.05f, 0.45f, r)) * 0.95f;
        return inside * body + palette::cream * (0.6f * highlight * body) +
               palette::teal * (0.9f * std::exp(-(r - 0.45f) * 7.0f) * (1.0f - body));
    });
}

// A ring of light with a faint centre.
Image makeRing() {
    return makeSprite(128, [](float, float, float r) {
        return mixRgb(palette::amber, palette::cream, gauss(r - 0.5f, 0.05f)) * gauss(r - 0.5f, 0.1f) +
               palette::amber * (0.25f * gauss(r, 0.18f)) + palette::coral * (0.2f * gauss(r - 0.5f, 0.3f));
    });
}

// A four-pointed sparkle with shorter diagonal rays.
Image makeSparkle() {
    return makeSprite(128, [](float dx, float dy, float r) {
        const float ax = std::fabs(dx), ay = std::fabs(dy);
        const float straight = gauss(ay, 0.035f) * std::pow(std::max(0.0f, 1.0f - ax), 2.0f) +
                               gauss(ax, 0.035f) * std::pow(std::max(0.0f, 1.0f - ay), 2.0f);
        const float u = (dx + dy) * 0.7071f, v = (dx - dy) * 0.7071f;
        const float diagonal =
            gauss(std::fabs(v), 0.03f) * std::pow(std::max(0.0f, 1.0f - 1.8f * std::fabs(u)), 2.0f) +
            gauss(std::fabs(u), 0.03f) * std::pow(std::max(0.0f, 1.0f - 1.8f * std::fabs(v)), 2.0f);
        return palette::cream * (gauss(r, 0.12f) + 0.8f * straight + 0.45f * diagonal) +
               palette::coral * (0.3f * gauss(r, 0.35f));
    });
}

// A mask that darkens a disc of the given radius (soft-edged), white elsewhere.
Image makeDiscMask(int size, float radius, float edge) {
    Image image = makeImage(size, size, false, {1, 1, 1}, 1.0f);
    const Rgb dark{0.06f, 0.05f, 0.12f};
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            float dx, dy;
            offsetAt(x, y, size, dx, dy);
            const float k = smoothStep(radius + edge, radius - edge, std::sqrt(dx * dx + dy * dy));
            setPixel(image, x, y, mixRgb({1, 1, 1}, dark, k), 1.0f);
        }
    }
    return image;
}

Image makePinkDot() {
    const Rgb pink = mixRgb(palette::coral, palette::cream, 0.3f);
    return makeSprite(64, [&](float, float, float r) {
        return pink * (0.9f * smoothStep(0.55f, 0.45f, r)) + palette::cream * (0.5f * gauss(r, 0.2f)) +
               palette::coral * (0.45f * std::exp(-r * 4.0f));
    });
}

// The letter e glowing amber, and its mask: a dark seat the shape of the letter, spread out.
// Both are flipped top to bottom (see the banner).
void makeLetterE(Image& sprite, Image& mask) {
    const int size = 64;
    Coverage letter = makeCoverage(size, size);
    const TextStyle face{"DejaVu Sans", true, 44.0f, 0.0f};
    const TextMetrics metrics = measureText(face, "e");
    drawText(letter, face, "e", size * 0.5f, size * 0.5f + (metrics.top - metrics.bottom) * 0.5f,
             Align::centre);
    Coverage glow = letter;
    blurCoverage(glow, 3.0f, false);
    Coverage seat = letter;
    blurCoverage(seat, 1.5f, false);
    amplifyCoverage(seat, 4.0f);
    sprite = makeImage(size, size, true, {0, 0, 0}, 0.0f);
    mask = makeImage(size, size, false, {1, 1, 1}, 1.0f);
    for (int y = 0; y < size; ++y) {
        const int row = size - 1 - y;  // stored upside down
        for (int x = 0; x < size; ++x) {
            const Rgb added = mixRgb(palette::amber, palette::cream, 0.5f) * letter.at(x, y) +
                              palette::amber * (0.7f * glow.at(x, y));
            const float alpha = std::min(1.0f, std::max({added.r, added.g, added.b}));
            if (alpha > 0.0f) {
                const Rgb colour = added * (1.0f / alpha);
                setPixel(sprite, x, row,
                         {std::min(1.0f, colour.r), std::min(1.0f, colour.g), std::min(1.0f, colour.b)},
                         alpha);
            }
            setPixel(mask, x, row, mixRgb({1, 1, 1}, {0.06f, 0.05f, 0.12f}, seat.at(x, y)), 1.0f);
        }
    }
}

}  // namespace

bool makeSpritePictures(const PictureSink& sink) {
    Image eSprite, eMask;
    makeLetterE(eSprite, eMask);
    return sink("dot_sprite.png", makeBead()) && sink("dot_mask.png", makeDiscMask(128, 0.62f, 0.05f)) &&
           sink("dot_sprite2.png", makeRing()) && sink("dot_sprite3.png", makeSparkle()) &&
           sink("e_sprite.png", eSprite) && sink("e_mask.png", eMask) && sink("pinkdot.png", makePinkDot());
}
