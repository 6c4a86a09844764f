// spectrum.cpp
// The spectrum the picture reacts to: a 1024-point real FFT (kissfft) of a Hann-windowed mono
// block, 512 magnitudes scaled so that a full-scale sine centred on a bin reads about 1.0.
#include <kiss_fftr.h>

#include <cmath>

#include "platform/platform.h"

namespace {
const int kSize = 1024;
}

void computeSpectrum(const float* samples, float* magnitudes) {
    static kiss_fftr_cfg config = kiss_fftr_alloc(kSize, 0, nullptr, nullptr);
    static float window[kSize];
    static bool windowReady = false;
    if (!windowReady) {
        for (int i = 0; i < kSize; ++i) window[i] = 0.5f - 0.5f * std::cos(2.0f * float(M_PI) * i / kSize);
        windowReady = true;
    }
    kiss_fft_scalar in[kSize];
    kiss_fft_cpx out[kSize / 2 + 1];
    for (int i = 0; i < kSize; ++i) in[i] = samples[i] * window[i];
    kiss_fftr(config, in, out);
    // A sine of amplitude A gives |X| = A * sum(window) / 2 = A * N / 4 in its bin.
    const float scale = 4.0f / kSize;
    for (int k = 0; k < kSize / 2; ++k) {
        float m = std::sqrt(out[k].r * out[k].r + out[k].i * out[k].i) * scale;
        magnitudes[k] = m > 1.0f ? 1.0f : m;
    }
}
