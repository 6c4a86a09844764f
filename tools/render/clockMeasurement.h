// clockMeasurement.h
// Measures the music clock against the audio device: the position is read about every millisecond
// and compared with the frames the device has consumed, taken as the straight line fitted through
// the device's callbacks (its real rate and phase). Header-only: the benchmark and the clock test
// share it. Needs a playing stream on a real (or dummy) device.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "platform/platform.h"

struct ClockFigures {
    long reads = 0;
    long callbacks = 0;
    double deviceRateHz = 0;  // frames per second the device consumed (fitted)
    double latencyMs = 0;     // one device buffer, which the clock subtracts
    double meanOffsetMs = 0;  // reported position minus the consumed frames, mean
    double medianOffsetMs = 0;
    double jitterMs = 0;         // standard deviation of that difference
    double meanReadGapMs = 0;    // time between two reads
    int largestStepMs = 0;       // between two successive reads
    double largestExcessMs = 0;  // a step minus the wall time between the two reads
    long backwardSteps = 0;
    long aheadOfDevice = 0;  // reads reporting audio the device has not been given yet
    long behindDevice = 0;   // reads more than a buffer and a quarter behind what the device consumed
};

// Reads the clock of stream for settleSeconds (not counted: the device's first buffers), then for
// seconds. False when no device runs or it made too few callbacks to fit.
inline bool measureAudioClock(MusicStream* stream, double seconds, double settleSeconds, ClockFigures* out) {
    struct Read {
        double time;
        int ms;
    };
    struct Callback {
        double time;
        long long frames;
    };
    *out = ClockFigures();
    std::vector<Read> reads;
    std::vector<Callback> callbacks;
    reads.reserve(size_t(seconds * 1200) + 16);
    AudioClockProbe probe;
    if (!audioClockProbe(&probe)) return false;
    long long lastCallback = -1;
    double start = platformSeconds();
    double previousBefore = 0;
    int previousMs = -1;
    while (true) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        AudioClockProbe before, after;
        audioClockProbe(&before);
        double t0 = platformSeconds();
        int ms = audioStreamGetTime(stream);
        double t1 = platformSeconds();
        audioClockProbe(&after);
        if (t1 - start > settleSeconds + seconds) break;
        bool counted = t1 - start >= settleSeconds;
        if (counted) {
            reads.push_back({(t0 + t1) / 2, ms});
            if (after.callbacks != lastCallback)
                callbacks.push_back({after.callbackSeconds, after.consumedFrames});
            long long buffer = after.bufferFrames;
            if ((long long)ms > (after.consumedFrames + buffer) * 1000 / after.rate) ++out->aheadOfDevice;
            // A callback that comes early after a late one is caught up on gradually (at most a
            // fifth faster than real time), not jumped to: a quarter of a buffer is allowed for it.
            if ((long long)ms < (before.consumedFrames - buffer - buffer / 4) * 1000 / before.rate)
                ++out->behindDevice;
            if (previousMs >= 0) {
                int step = ms - previousMs;
                if (step < 0) ++out->backwardSteps;
                out->largestStepMs = std::max(out->largestStepMs, step);
                out->largestExcessMs = std::max(out->largestExcessMs, step - (t1 - previousBefore) * 1000.0);
            }
        }
        lastCallback = after.callbacks;
        previousMs = counted ? ms : -1;
        previousBefore = t0;
        out->latencyMs = after.bufferFrames * 1000.0 / after.rate;
    }
    out->reads = long(reads.size());
    out->callbacks = long(callbacks.size());
    if (callbacks.size() < 8 || reads.size() < 2) return false;
    // Least-squares line frames = a + r * (time - t0) through the callbacks.
    double t0 = callbacks.front().time;
    double f0 = double(callbacks.front().frames);
    double st = 0, sf = 0, stt = 0, stf = 0, n = double(callbacks.size());
    for (const Callback& c : callbacks) {
        double t = c.time - t0, f = double(c.frames) - f0;
        st += t;
        sf += f;
        stt += t * t;
        stf += t * f;
    }
    double rate = (n * stf - st * sf) / (n * stt - st * st);
    double intercept = (sf - rate * st) / n;
    out->deviceRateHz = rate;
    double sum = 0, sumSquares = 0;
    std::vector<double> offsets;
    offsets.reserve(reads.size());
    for (const Read& r : reads) {
        double consumedMs = (f0 + intercept + rate * (r.time - t0)) * 1000.0 / probe.rate;
        double offset = r.ms - consumedMs;
        offsets.push_back(offset);
        sum += offset;
        sumSquares += offset * offset;
    }
    std::nth_element(offsets.begin(), offsets.begin() + long(offsets.size() / 2), offsets.end());
    out->medianOffsetMs = offsets[offsets.size() / 2];
    double count = double(reads.size());
    out->meanOffsetMs = sum / count;
    out->jitterMs = std::sqrt(std::max(0.0, sumSquares / count - out->meanOffsetMs * out->meanOffsetMs));
    out->meanReadGapMs = (reads.back().time - reads.front().time) * 1000.0 / (count - 1);
    return true;
}
