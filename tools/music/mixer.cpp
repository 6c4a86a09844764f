// mixer.cpp
// Renders the tracks on worker threads and mixes them: gain, level curve, pan, kick side-chain,
// gaps before the flash hits, reverb and delay sends. Tracks go to workers by a fixed plan and each worker
// sums in track order, so the result is the same on every run.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "tools/music/dsp.h"
#include "tools/music/effects.h"
#include "tools/music/synth.h"

namespace music {

namespace {

const long kBlock = 64;  // samples per step of the level curve and side-chain

// How far each kick pushes the ducked tracks down, at each block boundary: a 5 ms dip and a
// 110 ms recovery.
std::vector<float> sideChain(const std::vector<double>& kicks, long frames) {
    std::vector<float> pump(size_t(frames / kBlock + 2), 0.0f);
    for (double k : kicks) {
        long first = long(k * kRate) / kBlock;
        for (long b = first; b < long(pump.size()) && b < first + long(0.6 * kRate / kBlock); ++b) {
            double d = double(b * kBlock) / kRate - k;
            float v = d < 0.0 ? 0.0f : d < 0.005 ? float(d / 0.005) : float(std::exp(-(d - 0.005) / 0.11));
            pump[size_t(b)] = std::max(pump[size_t(b)], v);
        }
    }
    return pump;
}

// A short gap cut into the bed just before each flash hit, so every hit starts from a hush:
// down over 30 ms, held for 5 ms, and back within 3 ms of the hit.
std::vector<float> hitGaps(const std::vector<double>& hits, long frames) {
    std::vector<float> gap(size_t(frames / kBlock + 2), 0.0f);
    for (double h : hits) {
        long first = std::max(0L, long((h - 0.04) * kRate) / kBlock);
        for (long b = first; b < long(gap.size()) && b < first + long(0.06 * kRate / kBlock); ++b) {
            double d = double(b * kBlock) / kRate - h;
            float v = d < -0.035   ? 0.0f
                      : d < -0.005 ? float((d + 0.035) / 0.03)
                      : d < 0.0    ? 1.0f
                      : d < 0.003  ? float(1.0 - d / 0.003)
                                   : 0.0f;
            gap[size_t(b)] = std::max(gap[size_t(b)], v);
        }
    }
    return gap;
}

double estimatedCost(const Track& track) {
    double cost = 0.0;
    for (const Note& n : track.notes) cost += n.length + 0.5;
    return track.instrument == Instrument::Pad ? cost * 6.0 : cost;
}

struct Buses {
    std::vector<float> left, right, reverb, delay;
    explicit Buses(long frames)
        : left(size_t(frames)), right(size_t(frames)), reverb(size_t(frames)), delay(size_t(frames)) {}
};

void mixTrack(const Track& track, const std::vector<float>& pump, const std::vector<float>& gap,
              const std::vector<float>& dryL, const std::vector<float>& dryR, Buses& buses) {
    const long frames = long(dryL.size());
    float gain = dbToGain(track.gainDb), pl, pr;
    panGains(track.pan, &pl, &pr);
    auto gainAt = [&](long b) {
        double t = double(b * kBlock) / kRate;
        return gain * track.level.at(t) * (1.0f - track.duck * pump[size_t(b)]) *
               (1.0f - track.gapDepth * gap[size_t(b)]);
    };
    float next = gainAt(0);
    for (long b = 0; b * kBlock < frames; ++b) {
        long first = b * kBlock, last = std::min(frames, first + kBlock);
        // The gain glides from this block boundary to the next, so no step is ever heard.
        float g = next, step = ((next = gainAt(b + 1)) - g) / float(kBlock);
        for (long i = first; i < last; ++i, g += step) {
            float l = dryL[size_t(i)] * g, r = dryR[size_t(i)] * g;
            buses.left[size_t(i)] += l * pl;
            buses.right[size_t(i)] += r * pr;
            float mono = 0.5f * (l + r);
            buses.reverb[size_t(i)] += mono * track.reverbSend;
            buses.delay[size_t(i)] += mono * track.delaySend;
        }
    }
}

}  // namespace

Mix mixScore(const Score& score, long frames, int threads, void (*progress)(const char*, float)) {
    threads = std::max(1, threads);
    if (progress) progress("rendering tracks", 0.0f);
    std::vector<float> pump = sideChain(score.kickTimes, frames);
    std::vector<float> gap = hitGaps(score.flashHits, frames);

    // Fixed plan: heaviest track first, each to the worker with the least work so far.
    std::vector<size_t> order(score.tracks.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return estimatedCost(score.tracks[a]) > estimatedCost(score.tracks[b]);
    });
    std::vector<std::vector<size_t>> plan(static_cast<size_t>(threads));
    std::vector<double> load(static_cast<size_t>(threads), 0.0);
    for (size_t i : order) {
        size_t w = size_t(std::min_element(load.begin(), load.end()) - load.begin());
        plan[w].push_back(i);
        load[w] += estimatedCost(score.tracks[i]);
    }

    std::vector<Buses> buses;
    buses.reserve(size_t(threads));
    for (int w = 0; w < threads; ++w) buses.emplace_back(frames);
    std::atomic<int> finished{0};
    auto work = [&](int w) {
        std::vector<float> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
        for (size_t i : plan[size_t(w)]) {
            std::fill(left.begin(), left.end(), 0.0f);
            std::fill(right.begin(), right.end(), 0.0f);
            const Track& track = score.tracks[i];
            renderTrack(track, uint32_t(i * 7919 + 17), left.data(), right.data(), frames);
            mixTrack(track, pump, gap, left, right, buses[size_t(w)]);
            int total = ++finished;
            if (w == 0 && progress) progress("rendering tracks", float(total) / float(score.tracks.size()));
        }
    };
    std::vector<std::thread> pool;
    for (int w = 1; w < threads; ++w) pool.emplace_back(work, w);
    work(0);
    for (std::thread& t : pool) t.join();
    if (progress) progress("rendering tracks", 1.0f);

    Buses& sum = buses[0];
    for (int w = 1; w < threads; ++w) {
        for (size_t i = 0; i < size_t(frames); ++i) {
            sum.left[i] += buses[size_t(w)].left[i];
            sum.right[i] += buses[size_t(w)].right[i];
            sum.reverb[i] += buses[size_t(w)].reverb[i];
            sum.delay[i] += buses[size_t(w)].delay[i];
        }
    }
    buses.erase(buses.begin() + 1, buses.end());
    if (progress) progress("delay and reverb", 0.0f);
    applyDelay(sum.delay, sum.left, sum.right, &sum.reverb);
    applyReverb(sum.reverb, sum.left, sum.right);
    if (progress) progress("delay and reverb", 1.0f);
    Mix mix;
    mix.left = std::move(sum.left);
    mix.right = std::move(sum.right);
    return mix;
}

}  // namespace music
