// musicStream.cpp
// The music stream: decodes the MP3 for whichever output plays it, reports the position heard now
// (the demo's only musicClock, musicClock.h) and the spectrum there. Outputs, tried in order: a
// PulseAudio-protocol server through libpulse (PulseAudio, or PipeWire's PulseAudio service), then
// SDL's audio, then none: a silent real-time musicClock. In offline mode the caller sets the time.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/audioOutput.h"
#include "platform/musicClock.h"
#include "platform/platform.h"
#include "platform/trace.h"

namespace {

const int kRate = kSampleRate;  // the stream's and its clock's frames a second
const int kSpectrumSize = 1024;

}  // namespace

// The music is decoded once, whole, when the stream opens (a quarter of a second for the 203 s
// here): the output, the seeks and the spectrum then read the same samples at the same frame. Two
// decoders, one played straight through and one seeking, disagree after a damaged frame (the one
// played resyncs past it, the index that seeks use does not), and the sound would then lag or lead
// the picture until the next seek.
struct MusicStream {
    int16_t* pcm;           // stereo frames, totalFrames of them
    long long totalFrames;  // decoded length; silence and a running clock follow
    bool silent;            // no music at all: a clock over silence
};

namespace {

// Copies count frames of the music from frame on into out, silence past its end.
void copyFrames(const MusicStream* s, long long frame, int16_t* out, long count) {
    long have = 0;
    if (s->pcm && frame < s->totalFrames) have = long(std::min<long long>(count, s->totalFrames - frame));
    if (have > 0) memcpy(out, s->pcm + frame * 2, size_t(have) * 4);
    if (have < count) memset(out + have * 2, 0, size_t(count - have) * 4);
}

}  // namespace

namespace {

std::mutex lock;                      // guards everything below that an output's thread touches
const AudioOutput* output = nullptr;  // null: the silent clock (or offline)
bool offline = false;
long long offlineMs = 0;
bool spectrumActive = false;
float spectrum[kSpectrumSize / 2];

MusicStream* current = nullptr;  // the stream on the channel
MusicClock musicClock = {};
FramePrediction prediction = {};  // main thread only
double predictionRead = -1.0;     // when the latest frame read its time (negative: none in flight)
long long decodedFrame = 0;       // next music frame handed to the output

// The music plays on from frame: the decoder goes there and the next render places the segment.
void aimLocked(long long frame) {
    if (frame < 0) return;
    decodedFrame = frame;
}

// Whether SDL_AUDIODRIVER leaves the choice to us or names a sound server: then a PulseAudio-
// protocol server is tried first. A named SDL driver (dummy, alsa, disk ...) is used as asked.
bool serverWanted() {
    const char* driver = getenv("SDL_AUDIODRIVER");
    if (!driver || !*driver) return true;
    return strcmp(driver, "pulseaudio") == 0 || strcmp(driver, "pulse") == 0 ||
           strcmp(driver, "pipewire") == 0;
}

void lockOutput() {
    if (output) output->lock();
}
void unlockOutput() {
    if (output) output->unlock();
}

}  // namespace

long long streamRender(int16_t* out, long frames, long long device) {
    std::lock_guard<std::mutex> guard(lock);
    if (!current || !clockPlaying(&musicClock)) return -1;
    if (clockSegmentPending(&musicClock)) clockPlaceSegment(&musicClock, device, decodedFrame);
    copyFrames(current, decodedFrame, out, frames);
    decodedFrame += frames;
    return decodedFrame - frames;
}

bool streamHeard(long long device, double now, long long aheadLimit) {
    std::lock_guard<std::mutex> guard(lock);
    if (!clockHeard(&musicClock, device, now, aheadLimit)) return false;
    aimLocked(clockReaim(&musicClock, now));
    return true;
}

void streamOutputLost(double now, const char* why) {
    std::lock_guard<std::mutex> guard(lock);
    const bool wasHeard = !clockOutputGone(&musicClock);
    clockLose(&musicClock, now);
    // Called on the outputs' threads: recorded here, printed when the position is next read.
    if (wasHeard) traceRecord(TRACE_OUTPUT_LOST, double(musicClock.silentBase) / kRate, 0.0, why);
}

void streamOutputRegained(double now, long long latencyFrames) {
    std::lock_guard<std::mutex> guard(lock);
    aimLocked(clockRegain(&musicClock, now, latencyFrames));
    if (tracing()) {
        traceRecord(TRACE_OUTPUT_BACK, double(clockPosition(&musicClock, now)) / kRate,
                    double(decodedFrame) / kRate, nullptr);
    }
}

void streamTraceReport(long long device, double at) {
    if (!tracing()) return;
    long long music;
    {
        std::lock_guard<std::mutex> guard(lock);
        music = !clockFromOutput(&musicClock) || clockSegmentPending(&musicClock)
                    ? -1
                    : clockMusicAt(&musicClock, device);
    }
    if (music >= 0) traceLine("server played music %.4f s at wall %.4f s", double(music) / kRate, at);
}

bool streamPlaying() {
    std::lock_guard<std::mutex> guard(lock);
    return current && clockPlaying(&musicClock);
}

void audioSetOffline(bool on) { offline = on; }

bool audioHasDevice() {
    std::lock_guard<std::mutex> guard(lock);
    return output && clockFromOutput(&musicClock);
}

bool audioInit(int rate) {
    if (offline) return false;
    if (output) return true;
    const char* why = "SDL_AUDIODRIVER names an SDL driver";
    if (serverWanted()) {
        if (pulseOutput.open(rate)) {
            output = &pulseOutput;
            why = "a PulseAudio-protocol server answered";
        } else {
            why = "no PulseAudio-protocol server answered";
        }
    }
    if (!output && sdlOutput.open(rate)) output = &sdlOutput;
    std::lock_guard<std::mutex> guard(lock);
    clockStart(&musicClock, kRate, output == nullptr, platformSeconds());
    traceLine("audio output: %s (%s)", output ? output->describe() : "none, a silent clock", why);
    return output != nullptr;
}

void audioClose() {
    if (output) {
        output->close();
        output = nullptr;
    }
    traceFlushEvents();
    std::lock_guard<std::mutex> guard(lock);
    if (current) {
        free(current->pcm);
        delete current;
        current = nullptr;
    }
    musicClock = MusicClock{};
}

MusicStream* audioStreamOpen(const unsigned char* data, long length) {
    MusicStream* s = new MusicStream();
    if (!data || length <= 0) {
        s->silent = true;
        return s;
    }
    long frames = 0;
    int rate = 0, channels = 0;
    if (!decodeMp3(data, length, &s->pcm, &frames, &rate, &channels)) {
        delete s;
        return nullptr;
    }
    s->totalFrames = frames;
    return s;
}

int audioStreamPlay(MusicStream* stream, bool paused) {
    if (!stream) return -1;
    // KESTRANE_TRACE: one line per start from 0 ms, so long runs can show the music starts once.
    traceLine("music stream started%s", stream->silent ? " (silent musicClock)" : "");
    lockOutput();
    {
        std::lock_guard<std::mutex> guard(lock);
        const double now = platformSeconds();
        current = stream;
        // A lost output stays lost: the silent musicClock, until the output comes back.
        clockStart(&musicClock, kRate, !output || !clockFromOutput(&musicClock), now);
        predictionStart(&prediction);
        predictionRead = -1.0;
        aimLocked(0);
        if (paused) clockSetPlaying(&musicClock, false, now);
    }
    if (output && !paused) output->restart();
    unlockOutput();
    return 0;
}

void audioSetPaused(int channel, bool paused) {
    if (channel < 0) return;
    lockOutput();
    long long frame;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!current) {
            unlockOutput();
            return;
        }
        frame = clockSetPlaying(&musicClock, !paused, platformSeconds());
        aimLocked(frame);
    }
    if (output && frame >= 0) output->restart();
    unlockOutput();
}

int audioStreamGetTime(MusicStream* stream) {
    if (!stream) return 0;
    if (offline) {
        std::lock_guard<std::mutex> guard(lock);
        return stream == current ? int(offlineMs) : 0;
    }
    if (output) output->poll(platformSeconds());
    traceFlushEvents();  // what the outputs' threads recorded since the last read
    std::lock_guard<std::mutex> guard(lock);
    if (stream != current) return 0;
    return int(clockPosition(&musicClock, platformSeconds()) * 1000 / kRate);
}

int audioStreamGetFrameTime(MusicStream* stream, bool vsynced, double* shownWall) {
    *shownWall = platformSeconds();
    if (!stream) return 0;
    if (offline) return audioStreamGetTime(stream);
    if (output) output->poll(platformSeconds());
    traceFlushEvents();
    std::lock_guard<std::mutex> guard(lock);
    if (stream != current) return 0;
    const double now = platformSeconds();
    const long long position = clockPosition(&musicClock, now);
    const double lead = predictionLead(&prediction, now, vsynced);
    const bool held = clockHolding(&musicClock) || !clockPlaying(&musicClock);
    const long long end = current->silent ? LLONG_MAX : current->totalFrames;
    const long long shown = predictionFrame(&prediction, position, held, lead, kRate, end);
    predictionRead = now;
    *shownWall = now + double(shown - position) / kRate;
    return int(shown * 1000 / kRate);
}

void audioFramePresented(double presentedWall) {
    if (predictionRead < 0) return;
    predictionPresented(&prediction, predictionRead, presentedWall);
    predictionRead = -1.0;
}

void audioStreamSetTime(MusicStream* stream, int ms) {
    if (!stream) return;
    if (ms < 0) ms = 0;
    const long long frame = (long long)ms * kRate / 1000;
    lockOutput();
    long long from = -1;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (stream != current) {
            unlockOutput();
            return;
        }
        if (offline) {
            offlineMs = ms;
        } else {
            from = clockSeek(&musicClock, frame, platformSeconds());
            aimLocked(from);
            if (from < 0) decodedFrame = frame;
        }
    }
    if (output && from >= 0) output->restart();
    unlockOutput();
}

bool audioClockProbe(AudioClockProbe* probe) {
    *probe = AudioClockProbe{};
    if (!output || !output->probe || !audioHasDevice()) return false;
    return output->probe(probe);
}

void audioSetOfflineTimeMs(long long ms) {
    std::lock_guard<std::mutex> guard(lock);
    offlineMs = ms < 0 ? 0 : ms;
}

void audioSetSpectrumActive(bool active) {
    spectrumActive = active;
    if (!active) memset(spectrum, 0, sizeof spectrum);
}

const float* audioGetSpectrum() {
    if (!spectrumActive) return spectrum;
    MusicStream* s;
    long long frame;
    {
        std::lock_guard<std::mutex> guard(lock);
        s = current;
        frame = offline ? offlineMs * kRate / 1000 : clockPosition(&musicClock, platformSeconds());
    }
    static int16_t pcm[kSpectrumSize * 2];
    static float mono[kSpectrumSize];
    if (!s || !s->pcm || frame >= s->totalFrames) {
        memset(spectrum, 0, sizeof spectrum);
        return spectrum;
    }
    copyFrames(s, frame, pcm, kSpectrumSize);
    for (int i = 0; i < kSpectrumSize; ++i) mono[i] = (pcm[2 * i] + pcm[2 * i + 1]) / 65536.0f;
    computeSpectrum(mono, spectrum);
    return spectrum;
}
