// pulseOutputLinux.cpp
// A PulseAudio-protocol server (PulseAudio, or PipeWire's PulseAudio service) as the music's
// output, through libpulse's threaded main loop. A write callback keeps the server's buffer full;
// what is heard comes from the server's own timing reports (its read index less the output's
// latency, a report asked at every read of the position), which include the output's latency and
// follow it when the stream moves or the latency changes. Seeks flush what the server has not
// played. A server that goes away is tried again four times a second; its successor plays on from
// the silent clock's position.
#include <pulse/pulseaudio.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/audioOutput.h"
#include "platform/trace.h"

namespace {

// The latency asked of the server, its buffer and the output's together (the server splits it,
// about 120 ms in its buffer and 80 ms in the output's on a PulseAudio null sink): 200 ms is slack
// for the write callback when other work holds it back on a loaded 2-core machine, while a seek,
// which flushes the buffer, waits only for the output's part (40-90 ms measured; without asking
// for that split the output took 160 ms and seeks waited up to as long). docs/benchmarks.md.
const int kTargetMs = 200;
const double kRetrySeconds = 0.25;
const int kOpenTimeoutMs = 3000;
// Between two reports of the server (one asked at every read) the position runs on in real time,
// but never more than this past the latest: a server that stops playing stops the picture soon.
const int kAheadMs = 80;

pa_threaded_mainloop* loop = nullptr;
pa_context* context = nullptr;
pa_stream* stream = nullptr;
pa_sample_spec spec = {};
bool ready = false;     // the stream plays; cleared when it or the server fails
bool failed = false;    // the connection failed or went away; poll cleans up and retries
bool lostOnce = false;  // a stream was playing and went away: its successor regains the clock
double lastAttempt = 0;
bool indexKnown = false;  // writeFrame is where the next write lands
long long writeFrame = 0;
bool writtenSinceFlush = false;
int flushesInFlight = 0;
// The server's name, written on libpulse's thread when it answers (under descriptionLock, which is
// taken with no other lock held), possibly after opening stopped waiting for it; the main thread
// reads a copy of its own.
std::mutex descriptionLock;
char description[256] = "";
char describedCopy[256] = "";
pa_usec_t lastReport = 0;  // timestamp of the report observed last
bool reportInFlight = false;

// Writes as much music as the server asks for, at the known write position.
void writeLocked() {
    if (!ready || !indexKnown) return;
    size_t bytes = pa_stream_writable_size(stream);
    if (bytes == (size_t)-1 || bytes < 4) return;
    void* data = nullptr;
    if (pa_stream_begin_write(stream, &data, &bytes) < 0 || !data) return;
    const long frames = long(bytes / 4);
    if (streamRender(static_cast<int16_t*>(data), frames, writeFrame) < 0) {
        pa_stream_cancel_write(stream);
        return;
    }
    if (pa_stream_write(stream, data, size_t(frames) * 4, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
    writeFrame += frames;
    writtenSinceFlush = true;
}

void onWrite(pa_stream*, size_t, void*) { writeLocked(); }

// After a flush the write position is known again from the first timing reply asked after it.
void onTiming(pa_stream* s, int, void*) {
    if (--flushesInFlight > 0 || s != stream) return;
    const pa_timing_info* info = pa_stream_get_timing_info(s);
    if (!info || info->write_index_corrupt) {
        ++flushesInFlight;
        pa_operation* again = pa_stream_update_timing_info(s, onTiming, nullptr);
        if (again) pa_operation_unref(again);
        return;
    }
    writeFrame = info->write_index / 4;
    indexKnown = true;
    writeLocked();
}

void onFlushed(pa_stream* s, int, void*) {
    if (s != stream) return;
    pa_operation* o = pa_stream_update_timing_info(s, onTiming, nullptr);
    if (o) {
        pa_operation_unref(o);
    } else {
        --flushesInFlight;
    }
}

void markFailed(const char* why) {
    if (failed) return;
    failed = true;
    const bool wasReady = ready;
    ready = false;
    indexKnown = false;
    if (wasReady) {
        lostOnce = true;
        streamOutputLost(platformSeconds(), why);
    }
}

void onStreamState(pa_stream* s, void*) {
    if (s != stream) return;
    switch (pa_stream_get_state(s)) {
    case PA_STREAM_READY: {
        ready = true;
        writeFrame = 0;
        writtenSinceFlush = false;
        flushesInFlight = 0;
        indexKnown = true;
        if (lostOnce) {
            const pa_buffer_attr* attr = pa_stream_get_buffer_attr(s);
            const long long latency = attr ? attr->tlength / 4 : spec.rate / 5;
            streamOutputRegained(platformSeconds(), latency);
        }
        writeLocked();
        break;
    }
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        markFailed("the server's stream ended");
        break;
    default:
        break;
    }
    pa_threaded_mainloop_signal(loop, 0);
}

void onMoved(pa_stream* s, void*) {
    traceRecord(TRACE_STREAM_MOVED, 0.0, 0.0, pa_stream_get_device_name(s));  // libpulse's thread
}

void onServerInfo(pa_context*, const pa_server_info* info, void*) {
    if (info) {
        std::lock_guard<std::mutex> guard(descriptionLock);
        snprintf(description, sizeof description,
                 "the %s %s server's stream through libpulse, heard as the server's timing says",
                 info->server_name, info->server_version);
    }
    pa_threaded_mainloop_signal(loop, 0);
}

void createStreamLocked() {
    stream = pa_stream_new(context, "Kestrane music", &spec, nullptr);
    if (!stream) {
        markFailed("no stream");
        return;
    }
    pa_stream_set_state_callback(stream, onStreamState, nullptr);
    pa_stream_set_write_callback(stream, onWrite, nullptr);
    pa_stream_set_moved_callback(stream, onMoved, nullptr);
    pa_buffer_attr attr;
    attr.maxlength = (uint32_t)-1;
    attr.tlength = uint32_t(pa_usec_to_bytes(pa_usec_t(kTargetMs) * 1000, &spec));
    attr.prebuf = (uint32_t)-1;
    attr.minreq = (uint32_t)-1;
    attr.fragsize = (uint32_t)-1;
    const pa_stream_flags_t flags =
        pa_stream_flags_t(PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_playback(stream, nullptr, &attr, flags, nullptr, nullptr) < 0)
        markFailed("the stream was refused");
}

void onContextState(pa_context* c, void*) {
    if (c != context) return;
    switch (pa_context_get_state(c)) {
    case PA_CONTEXT_READY: {
        pa_operation* o = pa_context_get_server_info(c, onServerInfo, nullptr);
        if (o) pa_operation_unref(o);
        createStreamLocked();
        break;
    }
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        markFailed("the server went away");
        break;
    default:
        break;
    }
    pa_threaded_mainloop_signal(loop, 0);
}

void disconnectLocked() {
    if (stream) {
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_set_write_callback(stream, nullptr, nullptr);
        pa_stream_set_moved_callback(stream, nullptr, nullptr);
        pa_stream_disconnect(stream);
        pa_stream_unref(stream);
        stream = nullptr;
    }
    if (context) {
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
    }
    ready = false;
    indexKnown = false;
    reportInFlight = false;
}

// Starts connecting (never starting a server of its own); the callbacks do the rest.
void connectLocked() {
    failed = false;
    context = pa_context_new(pa_threaded_mainloop_get_api(loop), "Kestrane");
    if (!context) {
        failed = true;
        return;
    }
    pa_context_set_state_callback(context, onContextState, nullptr);
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) failed = true;
}

void closePulse();

bool named() {
    std::lock_guard<std::mutex> guard(descriptionLock);
    return description[0] != 0;
}

bool openPulse(int rate) {
    spec.format = PA_SAMPLE_S16LE;
    spec.rate = uint32_t(rate);
    spec.channels = 2;
    lostOnce = false;
    {
        std::lock_guard<std::mutex> guard(descriptionLock);
        description[0] = 0;
    }
    loop = pa_threaded_mainloop_new();
    if (!loop || pa_threaded_mainloop_start(loop) < 0) {
        if (loop) pa_threaded_mainloop_free(loop);
        loop = nullptr;
        return false;
    }
    pa_threaded_mainloop_lock(loop);
    lastAttempt = platformSeconds();
    connectLocked();
    // Wait for a playing stream (and the server's name) or a failure; a server that does not
    // answer within the time is taken as none.
    for (int waited = 0; !failed && !(ready && named()) && waited < kOpenTimeoutMs; waited += 5) {
        pa_threaded_mainloop_unlock(loop);
        usleep(5000);
        pa_threaded_mainloop_lock(loop);
    }
    const bool ok = ready && !failed;
    pa_threaded_mainloop_unlock(loop);
    if (!ok) closePulse();
    return ok;
}

void closePulse() {
    if (!loop) return;
    pa_threaded_mainloop_lock(loop);
    disconnectLocked();
    pa_threaded_mainloop_unlock(loop);
    pa_threaded_mainloop_stop(loop);
    pa_threaded_mainloop_free(loop);
    loop = nullptr;
}

// Main thread. Not the main loop's lock: the caller may hold the stream's, which libpulse's thread
// takes inside it.
const char* describePulse() {
    std::lock_guard<std::mutex> guard(descriptionLock);
    const char* unnamed =
        "a PulseAudio-protocol server's stream through libpulse (the server did not give its name in time), "
        "heard as the server's timing says";
    snprintf(describedCopy, sizeof describedCopy, "%s", description[0] ? description : unnamed);
    return describedCopy;
}

void lockPulse() { pa_threaded_mainloop_lock(loop); }
void unlockPulse() { pa_threaded_mainloop_unlock(loop); }

void restartPulse() {
    if (!ready) return;
    if (!writtenSinceFlush) {
        writeLocked();
        return;
    }
    indexKnown = false;
    writtenSinceFlush = false;
    ++flushesInFlight;
    pa_operation* o = pa_stream_flush(stream, onFlushed, nullptr);
    if (o) {
        pa_operation_unref(o);
    } else {
        --flushesInFlight;
    }
}

void onReport(pa_stream*, int, void*) { reportInFlight = false; }

// Each new timing report of the server is one observation: the frame it was playing (its read
// position less the output's latency) when it made the report. libpulse's own interpolation is not
// used: at a stream's start it ran on while the server rendered nothing, then stood still.
void observeLocked(double now) {
    const pa_timing_info* info = pa_stream_get_timing_info(stream);
    if (info && !info->read_index_corrupt) {
        const pa_usec_t stamp = pa_timeval_load(&info->timestamp);
        const long long played = info->read_index / 4 - (long long)(info->sink_usec * spec.rate / 1000000);
        if (stamp != lastReport && info->playing && played > 0) {
            lastReport = stamp;
            const double at = now - double(pa_timeval_age(&info->timestamp)) / 1e6;
            if (streamHeard(played, at, spec.rate * kAheadMs / 1000)) restartPulse();
            streamTraceReport(played, at);
        }
    }
    // The next report, asked now, is there by the next read.
    if (!reportInFlight) {
        pa_operation* o = pa_stream_update_timing_info(stream, onReport, nullptr);
        if (o) {
            reportInFlight = true;
            pa_operation_unref(o);
        }
    }
}

void pollPulse(double) {
    pa_threaded_mainloop_lock(loop);
    // The time is read once the lock is held: the report is taken now, and a wait for libpulse's
    // thread before it must not make the report look older (the clock would run ahead).
    const double now = platformSeconds();
    if (ready) {
        observeLocked(now);
    } else if (failed && now - lastAttempt >= kRetrySeconds) {
        disconnectLocked();
        lastAttempt = now;
        connectLocked();
    }
    pa_threaded_mainloop_unlock(loop);
}

}  // namespace

const AudioOutput pulseOutput = {openPulse,   describePulse, closePulse, lockPulse,
                                 unlockPulse, restartPulse,  pollPulse,  nullptr};
