// effects.cpp
// The shared effects and the master stage: a Schroeder-Moorer plate (eight damped combs and four
// all-passes per side), a dotted-eighth ping-pong delay, and the master chain: DC cut, a high
// shelf, fade to silence at 200 s, gain, and a look-ahead limiter no sample ever passes.
#include <cmath>
#include <deque>
#include <thread>
#include <vector>

#include "tools/music/dsp.h"
#include "tools/music/effects.h"
#include "tools/music/synth.h"

namespace music {

namespace {

struct Comb {
    std::vector<float> line;
    size_t pos = 0;
    float store = 0.0f;
    float process(float x, float feedback, float damp) {
        float out = line[pos];
        store = out * (1.0f - damp) + store * damp;
        line[pos] = x + store * feedback;
        if (++pos == line.size()) pos = 0;
        return out;
    }
};

struct AllPass {
    std::vector<float> line;
    size_t pos = 0;
    float process(float x) {
        float delayed = line[pos];
        line[pos] = x + delayed * 0.5f;
        if (++pos == line.size()) pos = 0;
        return delayed - x;
    }
};

// One side of the plate; the right side uses slightly longer lines so the two decorrelate.
void reverbSide(const std::vector<float>& in, std::vector<float>& out, int spread) {
    static const int kCombs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const int kAllPasses[4] = {556, 441, 341, 225};
    const float feedback = 0.86f, damp = 0.32f, inputGain = 0.015f;
    const size_t preDelay = size_t(0.022 * kRate);
    Comb combs[8];
    AllPass passes[4];
    for (int i = 0; i < 8; ++i) combs[i].line.assign(size_t(kCombs[i] + spread), 0.0f);
    for (int i = 0; i < 4; ++i) passes[i].line.assign(size_t(kAllPasses[i] + spread), 0.0f);
    out.assign(in.size(), 0.0f);
    for (size_t n = preDelay; n < in.size(); ++n) {
        float x = in[n - preDelay] * inputGain;
        float sum = 0.0f;
        for (Comb& c : combs) sum += c.process(x, feedback, damp);
        for (AllPass& a : passes) sum = a.process(sum);
        out[n] = sum;
    }
}

}  // namespace

void applyReverb(const std::vector<float>& send, std::vector<float>& left, std::vector<float>& right) {
    // Keep the low end out of the tail: it only muddies the bass and the kick.
    std::vector<float> input(send.size());
    Svf highPass;
    highPass.set(280.0f, 0.0f);
    for (size_t n = 0; n < send.size(); ++n) {
        highPass.process(send[n]);
        input[n] = highPass.high;
    }
    std::vector<float> wetL, wetR;
    std::thread side([&] { reverbSide(input, wetR, 23); });
    reverbSide(input, wetL, 0);
    side.join();
    for (size_t n = 0; n < send.size(); ++n) {
        left[n] += wetL[n];
        right[n] += wetR[n];
    }
}

void applyDelay(const std::vector<float>& send, std::vector<float>& left, std::vector<float>& right,
                std::vector<float>* reverbSend) {
    const size_t d = size_t(0.75 * kBeatSeconds * kRate);  // dotted eighth
    const float feedback = 0.42f;
    std::vector<float> lineL(d, 0.0f), lineR(d, 0.0f);
    Svf toneL, toneR;
    toneL.set(3200.0f, 0.0f);
    toneR.set(3200.0f, 0.0f);
    OnePole lowL, lowR;
    lowL.set(260.0f);
    lowR.set(260.0f);
    size_t pos = 0;
    for (size_t n = 0; n < send.size(); ++n) {
        float outL = lineL[pos], outR = lineR[pos];
        // The left echo feeds the right line and the right echo feeds back into the left.
        toneL.process(outR);
        toneR.process(outL);
        float backL = toneL.low - lowL.process(toneL.low);
        float backR = toneR.low - lowR.process(toneR.low);
        lineL[pos] = send[n] + backL * feedback;
        lineR[pos] = backR;
        if (++pos == d) pos = 0;
        left[n] += outL;
        right[n] += outR;
        if (reverbSend) (*reverbSend)[n] += 0.35f * (outL + outR);
    }
}

void masterMix(Mix& mix, float gainDb, float ceilingDb) {
    const size_t frames = mix.left.size();
    const float gain = dbToGain(gainDb), ceiling = dbToGain(ceilingDb);
    // DC cut, a gentle lift above 3 kHz for air, fade to silence, master gain.
    float prevL = 0.0f, prevR = 0.0f, dcL = 0.0f, dcR = 0.0f;
    const float dcCoef = 1.0f - 2.0f * kPi * 18.0f / kRate;
    const float shelf = dbToGain(2.5f) - 1.0f;
    OnePole lowL, lowR;
    lowL.set(3000.0f);
    lowR.set(3000.0f);
    for (size_t n = 0; n < frames; ++n) {
        double t = double(n) / kRate;
        float fade = 1.0f;
        if (t >= kFadeEnd) {
            fade = 0.0f;
        } else if (t > kFadeStart) {
            float u = float((t - kFadeStart) / (kFadeEnd - kFadeStart));
            fade = (1.0f - u) * (1.0f - u);
        }
        float l = mix.left[n], r = mix.right[n];
        dcL = l - prevL + dcCoef * dcL;
        dcR = r - prevR + dcCoef * dcR;
        prevL = l;
        prevR = r;
        float airL = dcL + shelf * (dcL - lowL.process(dcL));
        float airR = dcR + shelf * (dcR - lowR.process(dcR));
        mix.left[n] = airL * fade * gain;
        mix.right[n] = airR * fade * gain;
    }

    // Look-ahead limiter. needed[n]: the gain sample n alone would need. held[n]: the least of
    // needed over the next `window` samples, then released slowly towards 1. Averaging held over
    // the last `window` samples gives a smooth gain that is still at or below needed[n] at n,
    // because every averaged value already looked ahead past n.
    const size_t window = 96;
    const float release = 1.0f - std::exp(-1.0f / (0.09f * kRate));
    std::vector<float> needed(frames + window, 1.0f);
    for (size_t n = 0; n < frames; ++n) {
        float peak = std::max(std::fabs(mix.left[n]), std::fabs(mix.right[n]));
        if (peak > ceiling) needed[n] = ceiling / peak;
    }
    std::deque<size_t> minima;  // indices with increasing needed values
    std::vector<float> held(frames);
    float released = 1.0f;
    for (size_t j = 0; j < frames + window - 1; ++j) {
        while (!minima.empty() && needed[minima.back()] >= needed[j]) minima.pop_back();
        minima.push_back(j);
        if (j + 1 < window) continue;
        size_t n = j + 1 - window;
        while (minima.front() < n) minima.pop_front();
        float h = needed[minima.front()];
        released += (1.0f - released) * release;
        if (h < released) released = h;
        held[n] = released;
    }
    double sum = 0.0;
    for (size_t n = 0; n < frames; ++n) {
        sum += held[n];
        if (n >= window) sum -= held[n - window];
        size_t count = n + 1 < window ? n + 1 : window;
        float g = float(sum / double(count));
        float l = mix.left[n] * g, r = mix.right[n] * g;
        // Rounding in the running sum may leave a hair over; clamp that hair.
        mix.left[n] = std::fmax(-ceiling, std::fmin(ceiling, l));
        mix.right[n] = std::fmax(-ceiling, std::fmin(ceiling, r));
    }
}

}  // namespace music
