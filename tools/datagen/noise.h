// noise.h
// Deterministic randomness for the generator: a fixed-seed PRNG and tileable noise (gradient
// noise, fractal sums and cellular distances) whose period is a whole number of lattice cells, so
// textures wrap seamlessly on spheres, floors and tubes.
#pragma once

#include <cstdint>

// SplitMix64: a tiny generator with a well-mixed output; every picture seeds its own.
struct Random {
    uint64_t state;
};
uint32_t nextRandom(Random& random);
float randomFloat(Random& random);  // in [0, 1)
float randomRange(Random& random, float low, float high);

// Gradient noise in about -1..1, periodic with periodX by periodY lattice cells.
float tileNoise(float x, float y, int periodX, int periodY, uint32_t seed);
// Sum of octaves of tileNoise, each twice the frequency and half the weight of the one before,
// normalised to about -1..1. The period (in cells of the first octave) holds for all octaves.
float tileFractal(float x, float y, int periodX, int periodY, int octaves, uint32_t seed);

// Distances from (x, y) to the nearest and second-nearest feature points of a jittered grid of
// one point per cell, the grid periodic with periodX by periodY cells.
struct CellDistances {
    float nearest;
    float second;
};
CellDistances tileCells(float x, float y, int periodX, int periodY, uint32_t seed);
