// noise.cpp
// Fixed-seed PRNG, tileable gradient noise, fractal sums and cellular distances. Lattice corners
// are hashed from their wrapped coordinates, which makes every function tile exactly.
#include "tools/datagen/noise.h"

#include <cmath>

namespace {

uint32_t hashCorner(int x, int y, uint32_t seed) {
    uint32_t h =
        static_cast<uint32_t>(x) * 0x8da6b343u ^ static_cast<uint32_t>(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

int wrapIndex(int i, int period) { return ((i % period) + period) % period; }

float fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

// Dot product of the corner's unit gradient with the offset from that corner.
float cornerGradient(int x, int y, int periodX, int periodY, uint32_t seed, float dx, float dy) {
    const uint32_t h = hashCorner(wrapIndex(x, periodX), wrapIndex(y, periodY), seed);
    const float angle = static_cast<float>(h & 0xffffu) * (6.2831853f / 65536.0f);
    return std::cos(angle) * dx + std::sin(angle) * dy;
}

}  // namespace

uint32_t nextRandom(Random& random) {
    uint64_t z = (random.state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
}

float randomFloat(Random& random) {
    return static_cast<float>(nextRandom(random) >> 8) * (1.0f / 16777216.0f);
}

float randomRange(Random& random, float low, float high) { return low + (high - low) * randomFloat(random); }

float tileNoise(float x, float y, int periodX, int periodY, uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const float dx = x - fx, dy = y - fy;
    const float n00 = cornerGradient(ix, iy, periodX, periodY, seed, dx, dy);
    const float n10 = cornerGradient(ix + 1, iy, periodX, periodY, seed, dx - 1.0f, dy);
    const float n01 = cornerGradient(ix, iy + 1, periodX, periodY, seed, dx, dy - 1.0f);
    const float n11 = cornerGradient(ix + 1, iy + 1, periodX, periodY, seed, dx - 1.0f, dy - 1.0f);
    const float u = fade(dx), v = fade(dy);
    const float top = n00 + (n10 - n00) * u;
    const float bottom = n01 + (n11 - n01) * u;
    return 1.4142f * (top + (bottom - top) * v);
}

float tileFractal(float x, float y, int periodX, int periodY, int octaves, uint32_t seed) {
    float sum = 0.0f, weight = 1.0f, total = 0.0f, scale = 1.0f;
    for (int octave = 0; octave < octaves; ++octave) {
        const int factor = 1 << octave;
        sum += weight * tileNoise(x * scale, y * scale, periodX * factor, periodY * factor,
                                  seed + static_cast<uint32_t>(octave) * 101u);
        total += weight;
        weight *= 0.5f;
        scale *= 2.0f;
    }
    return sum / total;
}

CellDistances tileCells(float x, float y, int periodX, int periodY, uint32_t seed) {
    const int cx = static_cast<int>(std::floor(x)), cy = static_cast<int>(std::floor(y));
    float nearest = 1e9f, second = 1e9f;
    for (int oy = -1; oy <= 1; ++oy) {
        for (int ox = -1; ox <= 1; ++ox) {
            const int gx = cx + ox, gy = cy + oy;
            const uint32_t h = hashCorner(wrapIndex(gx, periodX), wrapIndex(gy, periodY), seed);
            const float px =
                static_cast<float>(gx) + 0.1f + 0.8f * static_cast<float>(h & 0xffffu) / 65536.0f;
            const float py = static_cast<float>(gy) + 0.1f + 0.8f * static_cast<float>(h >> 16) / 65536.0f;
            const float d = std::sqrt((px - x) * (px - x) + (py - y) * (py - y));
            if (d < nearest) {
                second = nearest;
                nearest = d;
            } else if (d < second) {
                second = d;
            }
        }
    }
    return {nearest, second};
}
