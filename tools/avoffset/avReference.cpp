// avReference.cpp
// kestrane-avreference: the A/V recorder's calibration. A black 800x600 window turns white at the
// instant a click starts to play on the sound server, by the server's answer to a fresh latency
// request, and black again 0.25 s later; the clicks come at irregular intervals. Prints each click's
// time and how long after it the picture was swapped in.
//   kestrane-avreference [CLICKS]   (default 20)
#include <GL/gl.h>
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace {

const int kRate = kSampleRate;   // what the recorder reads the clicks at
const int kChunk = kRate / 200;  // 5 ms written at a time
const int kClick = kRate / 20;   // 50 ms of click
const int kHead = 2 * kChunk;    // written before the picture is scheduled, the rest after it

// The click stream, driven from a threaded main loop; its lock is held outside waits.
pa_threaded_mainloop* loop = nullptr;
pa_context* context = nullptr;
pa_stream* stream = nullptr;

void wake(void*) { pa_threaded_mainloop_signal(loop, 0); }
void contextChanged(pa_context*, void*) { wake(nullptr); }
void streamChanged(pa_stream*, void*) { wake(nullptr); }
void streamWritable(pa_stream*, size_t, void*) { wake(nullptr); }
void operationDone(pa_stream*, int, void*) { wake(nullptr); }

void reportError(const char* what) {
    fprintf(stderr, "kestrane-avreference: %s: %s\n", what, pa_strerror(pa_context_errno(context)));
}

// Waits for an operation to end; false when the stream failed meanwhile.
bool finish(pa_operation* operation) {
    if (!operation) return false;
    while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING &&
           PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
        pa_threaded_mainloop_wait(loop);
    bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
    pa_operation_unref(operation);
    return done;
}

// Connects a playback stream that asks for a 100 ms queue (PipeWire's service kept 20 to 55 ms).
bool openStream() {
    loop = pa_threaded_mainloop_new();
    context = pa_context_new(pa_threaded_mainloop_get_api(loop), "kestrane-avreference");
    pa_context_set_state_callback(context, contextChanged, nullptr);
    pa_threaded_mainloop_lock(loop);
    if (pa_threaded_mainloop_start(loop) < 0 ||
        pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return false;
    while (pa_context_get_state(context) != PA_CONTEXT_READY) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) return false;
        pa_threaded_mainloop_wait(loop);
    }
    pa_sample_spec spec = {PA_SAMPLE_S16LE, kRate, 2};
    pa_buffer_attr attr = {uint32_t(-1), uint32_t(kRate / 10 * 4), uint32_t(-1), uint32_t(kChunk * 4),
                           uint32_t(-1)};
    stream = pa_stream_new(context, "click", &spec, nullptr);
    if (!stream) return false;
    pa_stream_set_state_callback(stream, streamChanged, nullptr);
    pa_stream_set_write_callback(stream, streamWritable, nullptr);
    if (pa_stream_connect_playback(stream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0)
        return false;
    while (pa_stream_get_state(stream) != PA_STREAM_READY) {
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) return false;
        pa_threaded_mainloop_wait(loop);
    }
    return true;
}

void closeStream() {
    if (stream) {
        finish(pa_stream_drain(stream, operationDone, nullptr));
        pa_stream_disconnect(stream);
        pa_stream_unref(stream);
    }
    if (context) {
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
    if (loop) {
        pa_threaded_mainloop_unlock(loop);
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
    }
}

// Writes the frames, waiting for room in the queue as a blocking write would.
bool writeFrames(const std::vector<int16_t>& frames) {
    const uint8_t* data = reinterpret_cast<const uint8_t*>(frames.data());
    size_t left = frames.size() * 2;
    while (left > 0) {
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
            reportError("the stream failed");
            return false;
        }
        size_t room = pa_stream_writable_size(stream);
        if (room == size_t(-1)) {
            reportError("the stream failed");
            return false;
        }
        if (room == 0) {
            pa_threaded_mainloop_wait(loop);
            continue;
        }
        size_t n = std::min(room, left);
        if (pa_stream_write(stream, data, n, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
            reportError("cannot write");
            return false;
        }
        data += n;
        left -= n;
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

// Seconds until the last frame written is heard, by the server's answer to a fresh request;
// negative when it cannot tell. The library's own timing, updated now and then and interpolated in
// between, was off by up to 110 ms through PipeWire's PulseAudio service; a fresh answer was within
// a few ms there and through PulseAudio.
double latencySeconds() {
    if (!finish(pa_stream_update_timing_info(stream, operationDone, nullptr))) return -1;
    pa_usec_t usec = 0;
    int negative = 0;
    if (pa_stream_get_latency(stream, &usec, &negative) < 0) return -1;
    return (negative ? -1.0 : 1.0) * double(usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    int clicks = argc > 1 ? atoi(argv[1]) : 20;
    if (argc > 2 || clicks < 1) {
        fprintf(stderr, "usage: kestrane-avreference [CLICKS]\n");
        return 2;
    }
    if (!openStream()) {
        reportError("no sound server");
        closeStream();
        return 1;
    }
    if (!platformInitVideo() || !platformCreateWindow("Kestrane A/V reference", 800, 600, false) ||
        !platformCreateGlContext() || !platformMakeCurrent()) {
        fprintf(stderr, "kestrane-avreference: no window\n");
        closeStream();
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
    const std::vector<int16_t> head(click.begin(), click.begin() + 2 * kHead);
    const std::vector<int16_t> rest(click.begin() + 2 * kHead, click.end());
    for (int k = 0; ok && k < clicks; ++k) {
        // Only the click's first 10 ms are queued when its start is computed, so that start still
        // lies ahead however short a queue the server keeps; the rest follows the picture.
        ok = writeFrames(head);
        double asked = platformSeconds();
        double latency = latencySeconds();
        // The server measured between the request and its answer.
        double written = 0.5 * (asked + platformSeconds());
        if (!ok || latency < 0) {
            if (ok) fprintf(stderr, "kestrane-avreference: the server tells no latency\n");
            ok = false;
            break;
        }
        double start = written + latency - double(kHead) / kRate;
        double wait = start - platformSeconds();
        if (wait > 0) std::this_thread::sleep_for(std::chrono::duration<double>(wait));
        double shown = showPrepared();
        ok = writeFrames(rest);
        printf("click %d at %.4f s (latency %.1f ms, shown %.1f ms late)\n", k, start, latency * 1000,
               (shown - start) * 1000);
        prepareColour(0.0f);
        ok = ok && writeSilence(0.25);
        showPrepared();
        prepareColour(1.0f);
        // An irregular pause, so the changes fall anywhere between the recorder's frames.
        ok = ok && writeSilence(0.3 + 0.4 * (rand() % 1000) / 1000.0);
    }
    closeStream();
    platformDestroyWindow();
    return ok ? 0 : 1;
}
