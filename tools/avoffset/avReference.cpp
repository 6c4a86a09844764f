// avReference.cpp
// kestrane-avreference: the A/V recorder's calibration. A black 800x600 window turns white at the
// instant a click starts to play on the sound server, by the server's own account of the stream's
// latency, and black again 0.25 s later; the clicks come at irregular intervals. Prints each click's
// time and how long after it the picture was swapped in.
//   kestrane-avreference [CLICKS]   (default 20)
#include <GL/gl.h>
#include <pulse/error.h>
#include <pulse/simple.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace {

const int kRate = 44100;
const int kChunk = kRate / 200;  // 5 ms written at a time
const int kClick = kRate / 20;   // 50 ms of click: still queued while the picture changes

pa_simple* stream = nullptr;

bool writeFrames(const std::vector<int16_t>& frames) {
    int error = 0;
    if (pa_simple_write(stream, frames.data(), frames.size() * 2, &error) < 0) {
        fprintf(stderr, "kestrane-avreference: %s\n", pa_strerror(error));
        return false;
    }
    return true;
}

bool writeSilence(double seconds) {
    std::vector<int16_t> silence(size_t(2 * kChunk), 0);
    for (int n = int(seconds * 200); n > 0; --n)
        if (!writeFrames(silence)) return false;
    return true;
}

// Draws the next picture into the back buffer, so that showing it is the swap alone.
void prepareColour(float level) {
    PlatformEvent event;
    while (platformPollEvent(&event)) {
    }
    glClearColor(level, level, level, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glFinish();
}

// Shows the prepared picture; returns the middle of the swap (platform seconds).
double showPrepared() {
    double before = platformSeconds();
    platformSwapBuffers();
    glFinish();
    return 0.5 * (before + platformSeconds());
}

// Seconds until the last frame written is heard; negative when the server cannot tell.
double latencySeconds() {
    int error = 0;
    pa_usec_t usec = pa_simple_get_latency(stream, &error);
    if (usec == pa_usec_t(-1)) return -1;
    return double(usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    int clicks = argc > 1 ? atoi(argv[1]) : 20;
    if (argc > 2 || clicks < 1) {
        fprintf(stderr, "usage: kestrane-avreference [CLICKS]\n");
        return 2;
    }
    pa_sample_spec spec = {PA_SAMPLE_S16LE, kRate, 2};
    // A 100 ms queue: the click (50 ms) fits in it whole, so it is still queued when written.
    pa_buffer_attr attr = {uint32_t(-1), uint32_t(kRate / 10 * 4), uint32_t(-1), uint32_t(kChunk * 4),
                           uint32_t(-1)};
    int error = 0;
    stream = pa_simple_new(nullptr, "kestrane-avreference", PA_STREAM_PLAYBACK, nullptr, "click", &spec,
                           nullptr, &attr, &error);
    if (!stream) {
        fprintf(stderr, "kestrane-avreference: no sound server: %s\n", pa_strerror(error));
        return 1;
    }
    if (!platformInitVideo() || !platformCreateWindow("Kestrane A/V reference", 800, 600, false) ||
        !platformCreateGlContext() || !platformMakeCurrent()) {
        fprintf(stderr, "kestrane-avreference: no window\n");
        pa_simple_free(stream);
        return 1;
    }
    platformShowWindow();
    prepareColour(0.0f);
    showPrepared();
    prepareColour(1.0f);
    // A click: a decaying 2 kHz tone, loud from its first frame.
    std::vector<int16_t> click(size_t(2 * kClick));
    for (int i = 0; i < kClick; ++i) {
        double v = 20000.0 * std::exp(-i / 400.0) * std::sin(2 * M_PI * 2000.0 * i / kRate);
        click[size_t(2 * i)] = click[size_t(2 * i + 1)] = int16_t(v);
    }
    srand(7);
    bool ok = writeSilence(1.0);
    for (int k = 0; ok && k < clicks; ++k) {
        ok = writeFrames(click);
        double written = platformSeconds();
        double latency = latencySeconds();
        if (!ok || latency < 0) break;
        // The click starts kClick frames before the end of what was written.
        double start = written + latency - double(kClick) / kRate;
        double wait = start - platformSeconds();
        if (wait > 0) std::this_thread::sleep_for(std::chrono::duration<double>(wait));
        double shown = showPrepared();
        printf("click %d at %.4f s (latency %.1f ms, shown %.1f ms late)\n", k, start, latency * 1000,
               (shown - start) * 1000);
        prepareColour(0.0f);
        ok = writeSilence(0.25);
        showPrepared();
        prepareColour(1.0f);
        // An irregular pause, so the changes fall anywhere between the recorder's frames.
        ok = ok && writeSilence(0.3 + 0.4 * (rand() % 1000) / 1000.0);
    }
    pa_simple_drain(stream, &error);
    pa_simple_free(stream);
    platformDestroyWindow();
    return ok ? 0 : 1;
}
