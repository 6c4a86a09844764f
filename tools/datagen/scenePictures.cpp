// scenePictures.cpp
// The textures the 3D scenes are built from: the particle glow (also sphere-mapped onto the
// model), the water, ink and acid surfaces, the checkerboard, the star dome and the twirl disc.
// Sphere textures are 1024x512 so that features keep their shape at the equator, and all wrap
// horizontally (and vertically, where they repeat on floors and tubes).
#include <cmath>

#include "tools/datagen/noise.h"
#include "tools/datagen/pictures.h"

namespace {

const float twoPi = 6.2831853f;

// Distance from the picture centre in units of half the picture width (1 at the edge midpoints).
float radiusAt(int x, int y, int size) {
    const float half = static_cast<float>(size) * 0.5f;
    const float dx = (static_cast<float>(x) + 0.5f - half) / half;
    const float dy = (static_cast<float>(y) + 0.5f - half) / half;
    return std::sqrt(dx * dx + dy * dy);
}

// A soft warm glow, cream in the middle through amber and coral to violet at its rim and black
// beyond. Sphere-mapped, the whole disc lands on the model: the middle where it faces the
// viewer, the rim at its silhouette, so the body of the glow reaches well out.
Image makeParticle() {
    const int size = 128;
    static const ColourStop stops[] = {{0.0f, palette::cream},
                                       {0.25f, palette::amber},
                                       {0.55f, palette::coral},
                                       {0.82f, palette::violet},
                                       {1.0f, palette::indigo}};
    Image image = makeImage(size, size, false, {0, 0, 0}, 1.0f);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float r = radiusAt(x, y, size);
            if (r >= 1.0f) continue;
            const float body = std::pow(1.0f - r * r, 1.4f) * smoothStep(1.0f, 0.9f, r);
            const float core = std::exp(-(r / 0.16f) * (r / 0.16f));
            const Rgb colour = sampleGradient(stops, 5, r) * (0.9f * body) + palette::cream * (0.5f * core);
            setPixel(image, x, y, colour, 1.0f);
        }
    }
    return image;
}

// Caustics: two layers of a warped cellular network; their cell borders are the bright lines of
// light focused by waves, over deep blue that drifts between sea tones.
Image makeWater() {
    const int width = 1024, height = 512;
    Image image = makeImage(width, height, false, {0, 0, 0}, 1.0f);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float u = static_cast<float>(x) / width, v = static_cast<float>(y) / height;
            const float wx = tileFractal(u * 4.0f, v * 2.0f, 4, 2, 3, 11);
            const float wy = tileFractal(u * 4.0f, v * 2.0f, 4, 2, 3, 12);
            const CellDistances a = tileCells(u * 14.0f + 0.7f * wx, v * 7.0f + 0.7f * wy, 14, 7, 13);
            const CellDistances b = tileCells(u * 24.0f - 0.9f * wy, v * 12.0f + 0.9f * wx, 24, 12, 14);
            const float lineA = std::exp(-(a.second - a.nearest) * 9.0f);
            const float lineB = std::exp(-(b.second - b.nearest) * 11.0f);
            const float depth = 0.5f + 0.5f * tileFractal(u * 2.0f, v * 1.0f, 2, 1, 4, 15);
            // Sunlight comes and goes in broad patches, so the network is not evenly lit.
            const float sun = clamp01(0.65f + 0.8f * tileFractal(u * 4.0f, v * 2.0f, 4, 2, 2, 16));
            Rgb colour = mixRgb(palette::deepSea, palette::sea, clamp01(depth * 1.2f - 0.1f));
            colour = colour + palette::teal * ((0.2f + 0.3f * sun) * lineA + 0.2f * lineB) +
                     palette::cream * (0.75f * sun * std::pow(lineA * lineB, 0.6f));
            setPixel(image, x, y, colour, 1.0f);
        }
    }
    return image;
}

// A splash of ink: a wavy body thrown out into tapering rays, drops flung beyond them, darker
// where it dried at its edge, on white (the scenes multiply it into the frame, so white leaves
// the frame alone and the picture's border must stay white).
Image makeInk() {
    const int size = 256;
    Random random{0x1c0ffee5ull};
    float amplitude[6], phase[6];
    for (int k = 2; k < 6; ++k) {
        amplitude[k] = randomRange(random, 0.02f, 0.07f);
        phase[k] = randomRange(random, 0.0f, twoPi);
    }
    struct Ray {
        float angle, length, width;
    };
    Ray rays[11];
    for (int j = 0; j < 11; ++j)
        rays[j] = {twoPi * (j + randomRange(random, 0.0f, 0.7f)) / 11.0f, randomRange(random, 0.06f, 0.30f),
                   randomRange(random, 0.10f, 0.22f)};
    auto outline = [&](float angle) {
        float r = 0.42f;
        for (int k = 2; k < 6; ++k) r += amplitude[k] * std::cos(k * angle + phase[k]);
        for (const Ray& ray : rays) {
            float gap = std::fabs(std::remainder(angle - ray.angle, twoPi)) / ray.width;
            if (gap < 1.0f) r += ray.length * (1.0f - gap) * (1.0f - gap);
        }
        return r;
    };
    struct Drop {
        float x, y, radius;
    };
    Drop drops[14];
    for (int i = 0; i < 14; ++i) {
        const Ray& ray = rays[i % 11];
        const float angle = ray.angle + randomRange(random, -0.12f, 0.12f);
        const float radius = randomRange(random, 0.018f, 0.06f);
        const float distance = std::fmin(outline(angle) + randomRange(random, 0.05f, 0.22f), 0.93f - radius);
        drops[i] = {distance * std::cos(angle), distance * std::sin(angle), radius};
    }
    const Rgb inkColour{0.045f, 0.025f, 0.10f};
    Image image = makeImage(size, size, false, {1, 1, 1}, 1.0f);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float px = (x + 0.5f) / (size * 0.5f) - 1.0f, py = (y + 0.5f) / (size * 0.5f) - 1.0f;
            const float r = std::sqrt(px * px + py * py);
            // Distance to the body, scaled down where the outline is steep so the edge stays sharp.
            float d = (r - std::fmin(outline(std::atan2(py, px)), 0.95f)) * 0.8f;
            for (const Drop& drop : drops) {
                const float dd =
                    std::sqrt((px - drop.x) * (px - drop.x) + (py - drop.y) * (py - drop.y)) - drop.radius;
                const float h = clamp01(0.5f + 0.5f * (dd - d) / 0.05f);  // smooth union
                d = mixFloat(dd, d, h) - 0.05f * h * (1.0f - h);
            }
            const float cover = clamp01(0.5f - d * size * 0.5f);
            if (cover <= 0.0f) continue;
            const float rim = std::exp(d / 0.035f);  // 1 at the edge, fading inwards
            const float grain = 0.06f * tileFractal(px * 5.0f, py * 5.0f, 64, 64, 3, 21);
            const float density = clamp01(0.9f + 0.12f * rim + grain) * cover;
            setPixel(image, x, y, mixRgb({1, 1, 1}, inkColour, density), 1.0f);
        }
    }
    return image;
}

// Eight by eight crisp squares: teal light squares with a faint bevel, night-blue dark ones.
Image makeChecker() {
    const int size = 512, cell = 64;
    Image image = makeImage(size, size, false, {0, 0, 0}, 1.0f);
    const Rgb light = mixRgb(palette::teal, palette::cream, 0.12f) * 0.74f;
    const Rgb dark{0.05f, 0.055f, 0.14f};
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int cx = x / cell, cy = y / cell, ix = x % cell, iy = y % cell;
            const bool isLight = ((cx + cy) & 1) == 0;
            const int edge = std::min(std::min(ix, iy), std::min(cell - 1 - ix, cell - 1 - iy));
            Rgb colour = isLight ? light : dark;
            if (isLight && edge < 3) colour = mixRgb(colour, palette::cream, 0.35f);
            if (!isLight && edge < 2) colour = mixRgb(colour, palette::indigo, 0.6f);
            setPixel(image, x, y, colour, 1.0f);
        }
    }
    return image;
}

// A tube wall (loaded but not drawn by the demo): dark panels between teal seams, an amber ring
// of light every fourth panel row, all tiling in both directions.
Image makeTunnel() {
    const int size = 512;
    Image image = makeImage(size, size, false, {0, 0, 0}, 1.0f);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float u = static_cast<float>(x) / size, v = static_cast<float>(y) / size;
            const float seamU = std::fabs(std::fmod(u * 8.0f, 1.0f) - 0.5f) * 2.0f;  // 1 at seams
            const float seamV = std::fabs(std::fmod(v * 16.0f, 1.0f) - 0.5f) * 2.0f;
            const float ring = std::fabs(std::fmod(v * 4.0f, 1.0f) - 0.5f) * 2.0f;
            const float grain = 0.5f + 0.5f * tileFractal(u * 16.0f, v * 16.0f, 16, 16, 3, 31);
            Rgb colour = mixRgb(palette::night, palette::indigo, 0.35f + 0.3f * grain) * 0.8f;
            colour = colour + palette::teal * (0.55f * std::pow(std::max(seamU, seamV), 24.0f));
            colour = colour + palette::amber * (0.9f * std::pow(ring, 60.0f)) +
                     palette::coral * (0.25f * std::pow(ring, 8.0f));
            setPixel(image, x, y, colour, 1.0f);
        }
    }
    return image;
}

// Psychedelic bands: a doubly warped fractal field cut into repeating colour bands that cycle
// through the whole palette, with thin dark contours where one cycle ends and the next begins.
Image makeAcid() {
    const int width = 1024, height = 512;
    static const ColourStop cycle[] = {{0.0f, palette::coral},       {0.2f, palette::amber},
                                       {0.4f, {1.0f, 0.93f, 0.45f}}, {0.6f, palette::teal},
                                       {0.8f, palette::violet},      {1.0f, palette::coral}};
    Image image = makeImage(width, height, false, {0, 0, 0}, 1.0f);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float u = static_cast<float>(x) / width, v = static_cast<float>(y) / height;
            const float qx = tileFractal(u * 4.0f, v * 2.0f, 4, 2, 3, 41);
            const float qy = tileFractal(u * 4.0f, v * 2.0f, 4, 2, 3, 42);
            const float field = tileFractal(u * 4.0f + 2.0f * qx, v * 2.0f + 2.0f * qy, 4, 2, 3, 43);
            const float swirl =
                0.35f * std::sin(twoPi * (2.0f * u + v)) + 0.25f * std::sin(twoPi * (3.0f * u - 2.0f * v));
            const float value = (field * 1.8f + swirl) * 2.2f;
            const float band = value - std::floor(value);
            const float contour = smoothStep(0.0f, 0.05f, band) * smoothStep(1.0f, 0.95f, band);
            const Rgb colour = sampleGradient(cycle, 6, band) * (0.25f + 0.75f * contour);
            setPixel(image, x, y, colour, 1.0f);
        }
    }
    return image;
}

// Adds a round star of the given peak and Gaussian width at (cx, cy), wrapping horizontally.
void addStar(Image& image, float cx, float cy, float sigma, Rgb colour, float peak, float spike) {
    const int reach = static_cast<int>(std::ceil(sigma * 3.0f + spike));
    for (int dy = -reach; dy <= reach; ++dy) {
        const int y = static_cast<int>(std::floor(cy)) + dy;
        if (y < 0 || y >= image.height) continue;
        for (int dx = -reach; dx <= reach; ++dx) {
            const int column = static_cast<int>(std::floor(cx)) + dx;
            const int x = ((column % image.width) + image.width) % image.width;
            const float ox = static_cast<float>(column) + 0.5f - cx, oy = static_cast<float>(y) + 0.5f - cy;
            float k = std::exp(-(ox * ox + oy * oy) / (2.0f * sigma * sigma));
            if (spike > 0.0f) {  // four thin rays along the axes
                const float ray =
                    std::exp(-std::fabs(oy) * 1.6f) * std::fmax(0.0f, 1.0f - std::fabs(ox) / spike) +
                    std::exp(-std::fabs(ox) * 1.6f) * std::fmax(0.0f, 1.0f - std::fabs(oy) / spike);
                k += 0.45f * ray;
            }
            float* p = image.at(x, y);
            p[0] += colour.r * peak * k;
            p[1] += colour.g * peak * k;
            p[2] += colour.b * peak * k;
        }
    }
}

// Night sky: violet and teal nebula clouds, then stars spread evenly over the sphere (denser in
// rows near the poles, which the sphere squeezes), from faint specks to a few with rays.
Image makeStars() {
    const int width = 1024, height = 512;
    Image image = makeImage(width, height, false, {0, 0, 0}, 1.0f);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float u = static_cast<float>(x) / width, v = static_cast<float>(y) / height;
            const float wx = tileFractal(u * 4.0f, v * 2.0f, 4, 2, 3, 51);
            const float cloudA = tileFractal(u * 4.0f + wx, v * 2.0f, 4, 2, 6, 52);
            const float cloudB = tileFractal(u * 4.0f, v * 2.0f - wx, 4, 2, 6, 53);
            // Wisps: fine fractal detail carves the broad clouds into filaments.
            const float wisp = 0.5f + 0.5f * tileFractal(u * 16.0f + 2.0f * wx, v * 8.0f, 16, 8, 4, 54);
            const float a = std::pow(smoothStep(-0.2f, 0.55f, cloudA), 1.5f) * (0.4f + 0.8f * wisp);
            const float b = std::pow(smoothStep(-0.1f, 0.6f, cloudB), 1.5f) * (0.3f + 0.9f * wisp);
            Rgb colour = palette::night * 0.8f + palette::violet * (0.55f * a) + palette::teal * (0.32f * b) +
                         palette::coral * (0.5f * a * b);
            setPixel(image, x, y, colour, 1.0f);
        }
    }
    Random random{0x57a125ull};
    const Rgb tints[4] = {palette::cream, {0.75f, 0.92f, 1.0f}, {1.0f, 0.85f, 0.62f}, {0.85f, 0.8f, 1.0f}};
    for (int i = 0; i < 2600; ++i) {
        const float x = randomRange(random, 0.0f, static_cast<float>(width));
        const float v = std::acos(1.0f - 2.0f * randomFloat(random)) / 3.1415927f;
        const float brightness = 0.12f + 0.88f * std::pow(randomFloat(random), 5.0f);
        const Rgb tint = tints[nextRandom(random) % 4];
        addStar(image, x, v * height, 0.45f, tint, brightness * 1.6f, 0.0f);
    }
    for (int i = 0; i < 14; ++i) {
        const float x = randomRange(random, 0.0f, static_cast<float>(width));
        const float v = randomRange(random, 0.2f, 0.8f);
        addStar(image, x, v * height, 1.1f, tints[i % 4], 1.0f, randomRange(random, 6.0f, 11.0f));
    }
    return image;
}

// A glowing three-armed spiral on black, hot at the core, with alpha the light it adds.
Image makeTwirl() {
    const int size = 512;
    static const ColourStop stops[] = {{0.0f, palette::cream},
                                       {0.18f, palette::amber},
                                       {0.45f, palette::coral},
                                       {0.72f, palette::violet},
                                       {1.0f, palette::teal}};
    Image image = makeImage(size, size, true, {0, 0, 0}, 0.0f);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float r = radiusAt(x, y, size);
            if (r >= 1.0f) continue;
            const float angle = std::atan2(static_cast<float>(y) - size * 0.5f + 0.5f,
                                           static_cast<float>(x) - size * 0.5f + 0.5f);
            const float arms = 0.5f + 0.5f * std::cos(3.0f * (angle + 2.4f * std::log(r + 0.04f)));
            const float envelope = smoothStep(1.0f, 0.7f, r);
            const float light = std::pow(arms, 3.0f) * envelope * (0.55f + 0.45f * (1.0f - r)) +
                                0.10f * envelope + std::exp(-(r / 0.11f) * (r / 0.11f));
            const float alpha = clamp01(light);
            if (alpha > 0.0f) setPixel(image, x, y, sampleGradient(stops, 5, r), alpha);
        }
    }
    return image;
}

}  // namespace

bool makeScenePictures(const PictureSink& sink) {
    return sink("particle.png", makeParticle()) && sink("water.png", makeWater()) &&
           sink("part4.png", makeInk()) && sink("checker.png", makeChecker()) &&
           sink("tunnel.png", makeTunnel()) && sink("acid02.png", makeAcid()) &&
           sink("stars.png", makeStars()) && sink("twirl.png", makeTwirl());
}
