// dsp.h
// The small signal-processing kit every instrument is built from: a seeded noise generator, a fast
// sine, band-limited saw, a state-variable filter and pitch helpers. Header-only so the inner
// loops inline; all state is explicit, so a note rendered twice gives the same samples.
#pragma once

#include <cmath>
#include <cstdint>

#include "platform/platform.h"

namespace music {

constexpr int kRate = kSampleRate;  // synthesised at the rate the demo plays the file at
constexpr float kPi = 3.14159265358979f;

// Deterministic white noise (xorshift32); never seeded from the clock.
struct Rng {
    uint32_t state;
    explicit Rng(uint32_t seed) : state(seed ? seed : 0x9e3779b9u) {}
    uint32_t nextBits() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    float uniform() { return float(nextBits() >> 8) * (1.0f / 16777216.0f); }  // 0..1
    float noise() { return uniform() * 2.0f - 1.0f; }                          // -1..1
};

// Sine of a phase given in cycles (any value); polynomial, error below 1e-4.
inline float sinCycles(float phase) {
    float y = phase - std::floor(phase) - 0.5f;  // -0.5..0.5; sin(2 pi phase) = -sin(2 pi y)
    float folded = y > 0.25f ? 0.5f - y : y < -0.25f ? -0.5f - y : y;  // -0.25..0.25, same sine
    float t = folded * (2.0f * kPi);
    float t2 = t * t;
    return -t * (1.0f - t2 * (1.0f / 6.0f - t2 * (1.0f / 120.0f - t2 * (1.0f / 5040.0f))));
}

// PolyBLEP correction that removes most aliasing from a saw's reset.
inline float polyBlep(float t, float dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
        t = (t - 1.0f) / dt;
        return t * t + t + t + 1.0f;
    }
    return 0.0f;
}

// Band-limited sawtooth; phase in 0..1, advanced by the caller.
struct Saw {
    float phase = 0.0f;
    float next(float dt) {
        float out = 2.0f * phase - 1.0f - polyBlep(phase, dt);
        phase += dt;
        if (phase >= 1.0f) phase -= 1.0f;
        return out;
    }
};

inline float midiToHz(float note) { return 440.0f * std::exp2((note - 69.0f) / 12.0f); }
inline float dbToGain(float db) { return std::pow(10.0f, db / 20.0f); }

// Trapezoidal state-variable filter (12 dB/octave); low, band and high outputs at once.
struct Svf {
    float ic1 = 0.0f, ic2 = 0.0f;
    float a1 = 0.0f, a2 = 0.0f, a3 = 0.0f, k = 1.0f;
    float low = 0.0f, band = 0.0f, high = 0.0f;
    // resonance 0..1 (1 rings); cutoff clamped below Nyquist.
    void set(float hz, float resonance) {
        if (hz > 18000.0f) hz = 18000.0f;
        if (hz < 10.0f) hz = 10.0f;
        float g = std::tan(kPi * hz / kRate);
        k = 2.0f - 1.96f * resonance;
        a1 = 1.0f / (1.0f + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    void process(float x) {
        float v3 = x - ic2;
        float v1 = a1 * ic1 + a2 * v3;
        float v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0f * v1 - ic1;
        ic2 = 2.0f * v2 - ic2;
        low = v2;
        band = v1;
        high = x - k * v1 - v2;
    }
};

// One-pole low-pass, for smoothing and gentle tone shaping.
struct OnePole {
    float state = 0.0f, coef = 0.0f;
    void set(float hz) { coef = 1.0f - std::exp(-2.0f * kPi * hz / kRate); }
    float process(float x) { return state += coef * (x - state); }
};

// Exponential decay from 1 by a time constant, one multiply per sample.
struct Decay {
    float value = 1.0f, factor = 1.0f;
    explicit Decay(float seconds) : factor(std::exp(-1.0f / (seconds * kRate))) {}
    float next() {
        float out = value;
        value *= factor;
        return out;
    }
};

// Soft saturation that keeps unity gain for small signals.
inline float softClip(float x) {
    if (x > 3.0f) return 1.0f;
    if (x < -3.0f) return -1.0f;
    float x2 = x * x;
    return x * (27.0f + x2) / (27.0f + 9.0f * x2);
}

// Equal-power pan: -1 left, 0 centre, 1 right.
inline void panGains(float pan, float* left, float* right) {
    float angle = (pan + 1.0f) * 0.25f * kPi;
    *left = std::cos(angle) * 1.41421356f;
    *right = std::sin(angle) * 1.41421356f;
}

}  // namespace music
