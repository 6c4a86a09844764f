// main.cpp
// kestrane-soundclock: the demo's music clock on the sound side alone, without screen capture. A
// click track (a click a second), encoded as MP3 like the music, plays through the platform's
// music stream (the demo's own code: audioStreamOpen and audioStreamPlay, through libpulse), and
// the clock (audioStreamGetTime) is read every 2 ms. Beside it a plain libpulse stream plays a
// click half-way between, at an instant the server names in answer to a latency request (as
// kestrane-avreference, which calibrates the A/V recording). The default sink's monitor is recorded
// through a libpulse record stream of this program, each chunk stamped with the monotonic clock as
// it arrives. The plain stream's clicks give how late the monitor shows what plays; for each track
// click, the position the clock reported when it played, less its place in the track, is the
// clock's error (> 0: ahead of the sound). Prints the figures, or refuses (exit 1, the reason on one
// line) when the monitor lost or gained sound or the clicks are not found; exit 77 when no
// PulseAudio-protocol server plays the stream, 2 for bad arguments.
//   kestrane-soundclock [--seconds S] [--dump DIR]
// --seconds: the track's length (20, from 5 to 600); --dump: writes the readings, the monitor's
// chunks and the clicks there. The monitor is asked for 100 ms fragments whatever
// PULSE_LATENCY_MSEC says (which reaches the two playing streams): on PipeWire a shorter request
// would shorten the graph's period for every stream, the music's included.
#include <lame/lame.h>
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/audioOutput.h"
#include "platform/platform.h"
#include "tools/avoffset/avAnalysis.h"
#include "tools/soundcheck/recordingInput.h"
#include "tools/soundclock/soundClockAnalysis.h"

namespace {

const int kRate = kSampleRate;
const char* const kUsage = "usage: kestrane-soundclock [--seconds S] [--dump DIR]";

const int kClickFrames = kRate / 40;

// A decaying 2 kHz click, loud from its first frame, interleaved stereo.
std::vector<int16_t> click() {
    std::vector<int16_t> pcm(size_t(2 * kClickFrames));
    for (int i = 0; i < kClickFrames; ++i) {
        const double v = 18000.0 * std::exp(-i / 300.0) * std::sin(2 * M_PI * 2000.0 * i / kRate);
        pcm[size_t(2 * i)] = pcm[size_t(2 * i + 1)] = int16_t(v);
    }
    return pcm;
}

// ---------------------------------------------------------------------------------------------
// The click track: a click every second or a little more (the spacing varies, so no click pairs
// with its neighbour), from 1 s on, in silence.
// ---------------------------------------------------------------------------------------------
std::vector<int16_t> clickTrack(int seconds) {
    std::vector<int16_t> pcm(size_t(2 * kRate * seconds), 0);
    const std::vector<int16_t> one = click();
    int k = 0;
    for (long start = kRate; start + kClickFrames < long(kRate) * seconds;
         start += kRate + (k % 7) * 331, ++k)
        std::copy(one.begin(), one.end(), pcm.begin() + 2 * start);
    return pcm;
}

// LAME at 192 kbit/s with its info tag, as the music is encoded (the decoder then starts the track
// at its first sample).
bool encodeMp3(const std::vector<int16_t>& pcm, std::vector<unsigned char>* mp3) {
    lame_global_flags* lame = lame_init();
    if (!lame) return false;
    lame_set_in_samplerate(lame, kRate);
    lame_set_out_samplerate(lame, kRate);
    lame_set_num_channels(lame, 2);
    lame_set_VBR(lame, vbr_off);
    lame_set_brate(lame, 192);
    lame_set_bWriteVbrTag(lame, 1);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return false;
    }
    const int frames = int(pcm.size() / 2);
    std::vector<unsigned char> buffer(size_t(1.25 * frames + 7200));
    int n = lame_encode_buffer_interleaved(lame, const_cast<short*>(pcm.data()), frames, buffer.data(),
                                           int(buffer.size()));
    bool ok = n >= 0;
    if (ok) mp3->assign(buffer.begin(), buffer.begin() + n);
    n = ok ? lame_encode_flush(lame, buffer.data(), int(buffer.size())) : -1;
    ok = n >= 0;
    if (ok) mp3->insert(mp3->end(), buffer.begin(), buffer.begin() + n);
    // The info tag goes into the first frame, written last.
    if (ok) {
        const size_t tag = lame_get_lametag_frame(lame, buffer.data(), buffer.size());
        if (tag > 0 && tag <= mp3->size())
            std::copy(buffer.begin(), buffer.begin() + long(tag), mp3->begin());
    }
    lame_close(lame);
    return ok;
}

// ---------------------------------------------------------------------------------------------
// A libpulse connection of this program's own: a threaded main loop, a context on the default
// server and one stream, S16 stereo at the music's rate. Both the monitor recorder and the plain
// stream open theirs so.
// ---------------------------------------------------------------------------------------------
struct PulseLink {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
};

void wakeLoop(pa_threaded_mainloop* loop) { pa_threaded_mainloop_signal(loop, 0); }
void contextChanged(pa_context*, void* loop) { wakeLoop(static_cast<pa_threaded_mainloop*>(loop)); }
void streamChanged(pa_stream*, void* loop) { wakeLoop(static_cast<pa_threaded_mainloop*>(loop)); }

// Connects as `client` and makes the stream `name`; `connect` sets its data callback and connects
// it. True once the stream is ready; on false, closeLink still cleans up.
bool openLink(PulseLink& link, const char* client, const char* name,
              const std::function<bool(pa_stream*)>& connect) {
    link.loop = pa_threaded_mainloop_new();
    if (!link.loop) return false;
    link.context = pa_context_new(pa_threaded_mainloop_get_api(link.loop), client);
    pa_context_set_state_callback(link.context, contextChanged, link.loop);
    pa_threaded_mainloop_lock(link.loop);
    bool ok = pa_threaded_mainloop_start(link.loop) >= 0 &&
              pa_context_connect(link.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
    while (ok && pa_context_get_state(link.context) != PA_CONTEXT_READY) {
        ok = PA_CONTEXT_IS_GOOD(pa_context_get_state(link.context));
        if (ok) pa_threaded_mainloop_wait(link.loop);
    }
    if (ok) {
        const pa_sample_spec spec = {PA_SAMPLE_S16LE, uint32_t(kRate), 2};
        link.stream = pa_stream_new(link.context, name, &spec, nullptr);
        ok = link.stream != nullptr;
        if (ok) {
            pa_stream_set_state_callback(link.stream, streamChanged, link.loop);
            ok = connect(link.stream);
        }
        while (ok && pa_stream_get_state(link.stream) != PA_STREAM_READY) {
            ok = PA_STREAM_IS_GOOD(pa_stream_get_state(link.stream));
            if (ok) pa_threaded_mainloop_wait(link.loop);
        }
    }
    pa_threaded_mainloop_unlock(link.loop);
    return ok;
}

void closeLink(PulseLink& link) {
    if (!link.loop) return;
    pa_threaded_mainloop_lock(link.loop);
    if (link.stream) {
        pa_stream_disconnect(link.stream);
        pa_stream_unref(link.stream);
        link.stream = nullptr;
    }
    if (link.context) {
        pa_context_disconnect(link.context);
        pa_context_unref(link.context);
        link.context = nullptr;
    }
    pa_threaded_mainloop_unlock(link.loop);
    pa_threaded_mainloop_stop(link.loop);
    pa_threaded_mainloop_free(link.loop);
    link.loop = nullptr;
}

// ---------------------------------------------------------------------------------------------
// The monitor recorder: its own libpulse connection and record stream on the default sink's
// monitor. Each chunk is stamped on arrival; a hole the server reports is kept as silence and
// counted.
// ---------------------------------------------------------------------------------------------
struct Recorder {
    PulseLink link;
    std::vector<float> mono;
    std::vector<MonitorChunk> chunks;
    long long frames = 0;
    long long holeFrames = 0;
    bool failed = false;
};
Recorder recorder;

void recorderRead(pa_stream* s, size_t, void*) {
    const void* data = nullptr;
    size_t bytes = 0;
    while (pa_stream_readable_size(s) > 0 && pa_stream_peek(s, &data, &bytes) == 0 && bytes > 0) {
        const double arrival = platformMonotonicSeconds();
        const long n = long(bytes / 4);
        if (data) {
            const int16_t* pcm = static_cast<const int16_t*>(data);
            for (long i = 0; i < n; ++i) recorder.mono.push_back((pcm[2 * i] + pcm[2 * i + 1]) / 65536.0f);
        } else {
            recorder.mono.insert(recorder.mono.end(), size_t(n), 0.0f);
            recorder.holeFrames += n;
        }
        recorder.frames += n;
        recorder.chunks.push_back({arrival, recorder.frames});
        pa_stream_drop(s);
    }
}

bool startRecorder() {
    // 100 ms fragments, whatever PULSE_LATENCY_MSEC says.
    const pa_buffer_attr attr = {uint32_t(-1), uint32_t(-1), uint32_t(-1), uint32_t(-1),
                                 uint32_t(kRate / 10 * 4)};
    return openLink(recorder.link, "kestrane-soundclock monitor", "monitor", [&](pa_stream* s) {
        pa_stream_set_read_callback(s, recorderRead, nullptr);
        return pa_stream_connect_record(s, "@DEFAULT_MONITOR@", &attr, PA_STREAM_ADJUST_LATENCY) >= 0;
    });
}

void stopRecorder() { closeLink(recorder.link); }

long long recordedFrames() {
    pa_threaded_mainloop_lock(recorder.link.loop);
    const long long frames = recorder.frames;
    pa_threaded_mainloop_unlock(recorder.link.loop);
    return frames;
}

// ---------------------------------------------------------------------------------------------
// The plain stream: its own connection, asking what the music stream asks (200 ms with the split
// adjusted, or PULSE_LATENCY_MSEC), so that the server's timing is the same for both. Its thread
// keeps it fed with silence and plays a click when the music clock nears each target: only the
// click's first 10 ms are queued when the server is asked how long until it plays (a fresh
// answer), the rest after.
// ---------------------------------------------------------------------------------------------
const int kChunk = kRate / 200;  // 5 ms written at a time
const int kHead = 2 * kChunk;

struct Plain {
    PulseLink link;
    std::atomic<bool> stop{false};
    std::atomic<double> clockMs{0};  // the latest read of the music clock
    std::vector<double> targets;     // ms of the track
    std::vector<double> starts;      // monotonic s at which each click played, by the server's word
    bool failed = false;
};
Plain plain;

void plainWake(void*) { pa_threaded_mainloop_signal(plain.link.loop, 0); }
void plainWritable(pa_stream*, size_t, void*) { plainWake(nullptr); }
void plainDone(pa_stream*, int, void*) { plainWake(nullptr); }

bool openPlain() {
    const pa_buffer_attr attr = {uint32_t(-1), uint32_t(kRate / 5 * 4), uint32_t(-1), uint32_t(-1),
                                 uint32_t(-1)};
    return openLink(plain.link, "kestrane-soundclock plain stream", "plain clicks", [&](pa_stream* s) {
        pa_stream_set_write_callback(s, plainWritable, nullptr);
        return pa_stream_connect_playback(s, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) >= 0;
    });
}

void closePlain() { closeLink(plain.link); }

// With the lock held: writes the frames, waiting for room as a blocking write would.
bool plainWrite(const int16_t* frames, size_t count) {
    const uint8_t* data = reinterpret_cast<const uint8_t*>(frames);
    size_t left = count * 4;
    while (left > 0) {
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(plain.link.stream))) return false;
        const size_t room = pa_stream_writable_size(plain.link.stream);
        if (room == size_t(-1)) return false;
        if (room == 0) {
            pa_threaded_mainloop_wait(plain.link.loop);
            continue;
        }
        const size_t n = std::min(room, left);
        if (pa_stream_write(plain.link.stream, data, n, nullptr, 0, PA_SEEK_RELATIVE) < 0) return false;
        data += n;
        left -= n;
    }
    return true;
}

// With the lock held: seconds until the last frame written plays, by a fresh answer of the server;
// negative when it cannot tell.
double plainLatency() {
    pa_operation* o = pa_stream_update_timing_info(plain.link.stream, plainDone, nullptr);
    if (!o) return -1;
    while (pa_operation_get_state(o) == PA_OPERATION_RUNNING &&
           PA_STREAM_IS_GOOD(pa_stream_get_state(plain.link.stream)))
        pa_threaded_mainloop_wait(plain.link.loop);
    const bool done = pa_operation_get_state(o) == PA_OPERATION_DONE;
    pa_operation_unref(o);
    pa_usec_t usec = 0;
    int negative = 0;
    if (!done || pa_stream_get_latency(plain.link.stream, &usec, &negative) < 0) return -1;
    return (negative ? -1.0 : 1.0) * double(usec) / 1e6;
}

void plainThread() {
    Plain& p = plain;
    const std::vector<int16_t> one = click();
    const std::vector<int16_t> silence(size_t(2 * kChunk), 0);
    double latency = 0.2;
    size_t next = 0;
    pa_threaded_mainloop_lock(p.link.loop);
    while (!p.stop && !p.failed) {
        if (next < p.targets.size() && p.clockMs + latency * 1000 >= p.targets[next]) {
            const double asked = platformMonotonicSeconds();
            p.failed = !plainWrite(one.data(), kHead);
            const double fresh = p.failed ? -1 : plainLatency();
            const double answered = 0.5 * (asked + platformMonotonicSeconds());
            if (fresh < 0) {
                p.failed = true;
                break;
            }
            latency = fresh;
            p.starts.push_back(answered + fresh - double(kHead) / kRate);
            p.failed = !plainWrite(one.data() + 2 * kHead, size_t(kClickFrames - kHead));
            ++next;
        } else {
            p.failed = !plainWrite(silence.data(), size_t(kChunk));
        }
    }
    pa_threaded_mainloop_unlock(p.link.loop);
}

void printSpread(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    double mean = 0, var = 0;
    for (double x : v) mean += x;
    mean /= double(n);
    for (double x : v) var += (x - mean) * (x - mean);
    printf("%s: median %+.1f ms, standard deviation %.1f ms, range %+.1f to %+.1f ms (%zu clicks)\n", what,
           median(v), std::sqrt(var / double(n)), v[0], v[n - 1], n);
}

void dump(const std::string& dir, const std::vector<ClockReading>& readings, const std::vector<long>& track,
          const std::vector<long>& heard) {
    if (FILE* f = fopen((dir + "/readings.txt").c_str(), "w")) {
        for (const ClockReading& r : readings) fprintf(f, "%.6f %.1f\n", r.time, r.musicMs);
        fclose(f);
    }
    if (FILE* f = fopen((dir + "/chunks.txt").c_str(), "w")) {
        for (const MonitorChunk& c : recorder.chunks) fprintf(f, "%.6f %lld\n", c.arrival, c.endFrame);
        fclose(f);
    }
    if (FILE* f = fopen((dir + "/clicks.txt").c_str(), "w")) {
        for (long t : track) fprintf(f, "track %ld\n", t);
        for (long m : heard) fprintf(f, "monitor %ld\n", m);
        fclose(f);
    }
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 20;
    std::string dumpDir;
    for (int i = 1; i < argc; i += 2) {
        long long n = 0;
        if (i + 1 >= argc) {
            fprintf(stderr, "kestrane-soundclock: %s needs a value\n%s\n", argv[i], kUsage);
            return 2;
        }
        if (!strcmp(argv[i], "--seconds")) {
            if (!parseWholeArgument(argv[i + 1], 5, 600, &n))
                return refuseArgument("kestrane-soundclock", "--seconds", argv[i + 1],
                                      "a whole number from 5 to 600", kUsage);
            seconds = int(n);
        } else if (!strcmp(argv[i], "--dump")) {
            dumpDir = argv[i + 1];
        } else {
            fprintf(stderr, "kestrane-soundclock: unknown option '%s'\n%s\n", argv[i], kUsage);
            return 2;
        }
    }

    // The track as the stream will play it: its clicks found in our own decode of the MP3.
    std::vector<unsigned char> mp3;
    int16_t* decoded = nullptr;
    long decodedFrames = 0;
    int rate = 0, channels = 0;
    if (!encodeMp3(clickTrack(seconds), &mp3) ||
        !decodeMp3(mp3.data(), long(mp3.size()), &decoded, &decodedFrames, &rate, &channels) ||
        rate != kRate) {
        fprintf(stderr, "kestrane-soundclock: cannot make the click track\n");
        return 1;
    }
    const std::vector<long> track = clickOnsets(monoOf(decoded, decodedFrames), kRate);
    free(decoded);

    // The monitor's recorder asks for its own fragments: PULSE_LATENCY_MSEC, which libpulse applies
    // to every stream, is put back only for the two playing streams.
    const char* latencyRequest = getenv("PULSE_LATENCY_MSEC");
    const std::string latency = latencyRequest ? latencyRequest : "";
    unsetenv("PULSE_LATENCY_MSEC");
    if (!startRecorder()) {
        printf("no sound server to record the monitor from\n");
        stopRecorder();
        return 77;
    }
    if (!latency.empty()) setenv("PULSE_LATENCY_MSEC", latency.c_str(), 1);
    // The recorder first: its start may change the server's timing, which must be settled before
    // the track plays.
    while (recordedFrames() < kRate) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    AudioClockProbe sdlProbe;
    if (!audioInit(kRate) || audioClockProbe(&sdlProbe) || !openPlain()) {
        printf("the music stream does not play through a PulseAudio-protocol server\n");
        closePlain();
        audioClose();
        stopRecorder();
        return 77;
    }
    const std::string server = pulseOutput.describe();
    MusicStream* stream = audioStreamOpen(mp3.data(), long(mp3.size()));
    if (!stream) {
        fprintf(stderr, "kestrane-soundclock: the stream does not open the track\n");
        closePlain();
        audioClose();
        stopRecorder();
        return 1;
    }
    // The plain stream's clicks half-way between the track's.
    for (size_t k = 0; k + 1 < track.size(); ++k)
        plain.targets.push_back(500.0 * double(track[k] + track[k + 1]) / kRate);
    std::thread plainPlayer(plainThread);
    audioSetPaused(audioStreamPlay(stream, false), false);
    std::vector<ClockReading> readings;
    const double end = platformMonotonicSeconds() + seconds + 5.0;
    const double last = (seconds - 0.5) * 1000.0;
    while (platformMonotonicSeconds() < end) {
        const double before = platformMonotonicSeconds();
        const int ms = audioStreamGetTime(stream);
        readings.push_back({0.5 * (before + platformMonotonicSeconds()), double(ms)});
        plain.clockMs = ms;
        if (ms >= last) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    // The last clicks reach the monitor after the clock passed them.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    plain.stop = true;
    plainPlayer.join();
    const bool plainFailed = plain.failed;
    closePlain();
    audioClose();
    stopRecorder();

    const std::vector<long> heard = clickOnsets(recorder.mono, kRate);
    if (!dumpDir.empty()) dump(dumpDir, readings, track, heard);
    printf("played through %s, PULSE_LATENCY_MSEC %s\n", server.c_str(),
           latency.empty() ? "not set" : latency.c_str());
    printf(
        "monitor: %lld frames in %zu chunks over %.1f s, %lld frames of holes; %zu clicks heard, %zu in the "
        "track, "
        "%zu from the plain stream\n",
        recorder.frames, recorder.chunks.size(),
        recorder.chunks.empty() ? 0.0 : recorder.chunks.back().arrival - recorder.chunks.front().arrival,
        recorder.holeFrames, heard.size(), track.size(), plain.starts.size());
    if (plainFailed) {
        fprintf(stderr, "kestrane-soundclock: no figure: the plain stream failed\n");
        return 1;
    }
    if (recorder.holeFrames > 0) {
        fprintf(stderr, "kestrane-soundclock: no figure: the monitor recording has %lld frames of holes\n",
                recorder.holeFrames);
        return 1;
    }
    const SoundClockResult result = analyseSoundClock(track, heard, recorder.chunks, readings, plain.starts);
    printf("monitor against the monotonic clock: its level within %.1f ms while the clicks played\n",
           result.levelSpread * 1000);
    if (result.referenceFound > 0)
        printf(
            "monitor delay: the plain stream's clicks appear %+.1f ms after they play by the server's word "
            "(standard deviation %.1f ms, %d of %d clicks)\n",
            result.monitorDelay * 1000, result.monitorDelaySd * 1000, result.referenceFound,
            result.referencePlayed);
    if (!result.refusal.empty()) {
        fprintf(stderr, "kestrane-soundclock: no figure: %s\n", result.refusal.c_str());
        return 1;
    }
    printSpread("the clock against the monitor's arrival (clock - click, when it appeared)",
                result.arrivalErrors);
    printSpread(
        "sound-side clock error (position reported when the click played - its place; > 0: clock ahead)",
        result.errors);
    return 0;
}
