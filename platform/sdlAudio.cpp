// sdlAudio.cpp
// The music stream: libmpg123 decodes the MP3 from its memory block (sample-exact seeking after a
// full scan), SDL2 plays it at 44100 Hz stereo, and the position reported is what is heard now.
// The clock rule: the picture takes its time only from this position. It is re-anchored at every
// device callback with the performance counter, extrapolated in between, lags the device buffer
// (half of it through PulseAudio), never runs backwards, and holds at a seek target until the new
// audio reaches the speaker.
// Without a device a silent real-time clock stands in, also from the moment a device goes away (a
// sound server that dies): the clock goes on from where it was. In offline mode the caller sets
// the time.
#include <SDL2/SDL.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/types.h>

#include "platform/platform.h"

namespace {

const int kRate = 44100;
const int kSpectrumSize = 1024;

// A read position over the shared memory block; one per decoder handle.
struct MemoryReader {
    const unsigned char* data;
    long length;
    long position;
};

ssize_t readMemory(void* handle, void* buffer, size_t bytes) {
    MemoryReader* r = static_cast<MemoryReader*>(handle);
    long left = r->length - r->position;
    long n = std::min<long>(left, long(bytes));
    if (n <= 0) return 0;
    memcpy(buffer, r->data + r->position, size_t(n));
    r->position += n;
    return n;
}

off_t seekMemory(void* handle, off_t offset, int whence) {
    MemoryReader* r = static_cast<MemoryReader*>(handle);
    long base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? r->position : r->length;
    long target = base + long(offset);
    if (target < 0 || target > r->length) return -1;
    r->position = target;
    return target;
}

// Opens a decoder over the block that always yields 44100 Hz stereo 16-bit, with a full scan for
// exact seeking. Null when the data holds no decodable MPEG audio.
mpg123_handle* openDecoder(MemoryReader* reader) {
    static bool initialised = false;
    if (!initialised) {
        mpg123_init();
        initialised = true;
    }
    int error = 0;
    mpg123_handle* h = mpg123_new(nullptr, &error);
    if (!h) return nullptr;
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    mpg123_param(h, MPG123_RESYNC_LIMIT, 16384, 0.0);
    mpg123_format_none(h);
    mpg123_format(h, kRate, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_replace_reader_handle(h, readMemory, seekMemory, nullptr) != MPG123_OK ||
        mpg123_open_handle(h, reader) != MPG123_OK) {
        mpg123_delete(h);
        return nullptr;
    }
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(h, &rate, &channels, &encoding) != MPG123_OK || rate != kRate ||
        channels != MPG123_STEREO) {
        mpg123_close(h);
        mpg123_delete(h);
        return nullptr;
    }
    mpg123_format_none(h);
    mpg123_format(h, kRate, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    mpg123_scan(h);
    return h;
}

void closeDecoder(mpg123_handle* h) {
    if (!h) return;
    mpg123_close(h);
    mpg123_delete(h);
}

// Reads up to frames stereo frames; the rest of the buffer is silence. Returns frames decoded.
long readFrames(mpg123_handle* h, int16_t* out, long frames) {
    long done = 0;
    while (h && done < frames) {
        size_t got = 0;
        int rc = mpg123_read(h, reinterpret_cast<unsigned char*>(out + done * 2),
                             size_t(frames - done) * 4, &got);
        done += long(got / 4);
        if (rc == MPG123_NEW_FORMAT) continue;
        if (rc != MPG123_OK || got == 0) break;
    }
    if (done < frames) memset(out + done * 2, 0, size_t(frames - done) * 4);
    return done;
}

}  // namespace

struct MusicStream {
    MemoryReader playReader;
    MemoryReader analysisReader;
    mpg123_handle* play;      // used by the device callback, under the lock
    mpg123_handle* analysis;  // used by the spectrum, on the main thread only
    long long totalFrames;    // decodable length; silence and a running clock follow
    bool silent;              // no music at all: a clock over silence
};

namespace {

std::mutex lock;  // guards everything below that the callback touches
SDL_AudioDeviceID device = 0;
bool deviceLost = false;          // the device went away: the silent clock runs from then on
int deviceBufferFrames = 0;
int heardLagFrames = 0;           // frames handed out but not yet heard at a callback
bool offline = false;
long long offlineMs = 0;
bool spectrumActive = false;
float spectrum[kSpectrumSize / 2];

MusicStream* current = nullptr;  // the stream on the channel
bool playing = false;            // started and not paused
long long decodedFrame = 0;      // next stream frame the callback hands out
long long anchorFrame = 0;       // stream frame heard at anchorTime
double anchorTime = 0;
long long holdFrame = -1;        // seek target reported until fresh audio is heard
long long lastReported = 0;      // for monotonic reports
double silentBaseTime = 0;       // silent clock: anchorFrame at silentBaseTime, advancing in real time
AudioClockProbe probeState = {};  // device side of the latest callback, for audioClockProbe

void checkDeviceLocked(double now);

void audioCallback(void*, Uint8* buffer, int bytes) {
    long frames = bytes / 4;
    int16_t* out = reinterpret_cast<int16_t*>(buffer);
    std::lock_guard<std::mutex> guard(lock);
    double now = platformSeconds();
    // SDL goes on calling back at the buffer's pace after the device went away, at once the
    // first time: those buffers are heard by nobody and must not move the clock.
    checkDeviceLocked(now);
    if (!current || !playing || deviceLost) {
        memset(buffer, 0, size_t(bytes));
        return;
    }
    long long start = decodedFrame;
    if (current->play && start < current->totalFrames) {
        readFrames(current->play, out, frames);
    } else {
        memset(buffer, 0, size_t(bytes));
    }
    decodedFrame = start + frames;
    probeState.consumedFrames = start;
    probeState.callbackSeconds = now;
    probeState.bufferFrames = int(frames);
    ++probeState.callbacks;
    // What the speaker plays now was handed out heardLagFrames ago. Before the first buffer of the
    // stream is heard this is negative: the position then stays at 0 until it is.
    long long heard = start - heardLagFrames;
    if (holdFrame >= 0) {
        if (heard < holdFrame) return;
        holdFrame = -1;
    }
    anchorFrame = heard;
    anchorTime = now;
}

// Whether the position comes from the silent real-time clock.
bool silentClockLocked() { return device == 0 || deviceLost; }

long long heardFrameLocked(double now);

// A device that stopped by itself (SDL reports it as stopped; it is never paused here) has gone
// away. The position reached so far becomes the silent clock's start, so the picture goes on
// without a pause or a jump.
void checkDeviceLocked(double now) {
    if (device == 0 || deviceLost || SDL_GetAudioDeviceStatus(device) != SDL_AUDIO_STOPPED) return;
    long long frame = heardFrameLocked(now);
    deviceLost = true;
    holdFrame = -1;
    anchorFrame = frame;
    silentBaseTime = now;
    if (getenv("KESTRANE_TRACE")) {
        fprintf(stderr, "kestrane-trace: sound device lost at %.3f s of music; silent clock from there\n",
                double(frame) / kRate);
    }
}

long long heardFrameLocked(double now) {
    if (!current) return 0;
    if (offline) return offlineMs * kRate / 1000;
    if (!playing) return std::max<long long>(holdFrame >= 0 ? holdFrame : anchorFrame, 0);
    if (holdFrame >= 0) return holdFrame;
    long long frame;
    if (silentClockLocked()) {
        frame = anchorFrame + (long long)((now - silentBaseTime) * kRate);
    } else {
        double elapsed = std::max(0.0, now - anchorTime);
        // Never extrapolate past what the device has been given.
        long long ahead = std::min<long long>((long long)(elapsed * kRate), deviceBufferFrames * 2);
        frame = anchorFrame + ahead;
    }
    if (frame < lastReported) frame = lastReported;
    lastReported = frame;
    return std::max<long long>(frame, 0);
}

}  // namespace

void audioSetOffline(bool on) { offline = on; }

bool audioHasDevice() {
    std::lock_guard<std::mutex> guard(lock);
    return !silentClockLocked();
}

bool audioInit(int rate) {
    if (offline) return false;
    if (device != 0) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want = {}, have = {};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    // 8192 frames (186 ms) per buffer. SDL asks a sound server (PulseAudio) to hold one buffer, so
    // this is all the slack the callback has: on a loaded 2-core machine 1024 to 4096 frames let
    // silence slip in whenever other work held the callback or the server back; 8192 did not
    // (docs/benchmarks.md).
    want.samples = 8192;
    want.callback = audioCallback;
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    deviceBufferFrames = have.samples;
    // A device plays what it was handed one buffer later. Through PulseAudio (SDL asks the server
    // to hold one buffer) the sound came about 80 ms (of 186) sooner than that, picture lag
    // included, in end-to-end recordings (scripts/avOffset, docs/benchmarks.md): half a buffer.
    const char* driver = SDL_GetCurrentAudioDriver();
    heardLagFrames = driver && strcmp(driver, "pulseaudio") == 0 ? have.samples / 2 : have.samples;
    SDL_PauseAudioDevice(device, 0);
    return true;
}

void audioClose() {
    if (device != 0) {
        SDL_CloseAudioDevice(device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        device = 0;
    }
    std::lock_guard<std::mutex> guard(lock);
    deviceLost = false;
    if (current) {
        closeDecoder(current->play);
        closeDecoder(current->analysis);
        delete current;
        current = nullptr;
    }
    playing = false;
}

MusicStream* audioStreamOpen(const unsigned char* data, long length) {
    MusicStream* s = new MusicStream();
    if (!data || length <= 0) {
        s->silent = true;
        return s;
    }
    s->playReader = {data, length, 0};
    s->analysisReader = {data, length, 0};
    s->play = openDecoder(&s->playReader);
    s->analysis = s->play ? openDecoder(&s->analysisReader) : nullptr;
    if (!s->play || !s->analysis) {
        closeDecoder(s->play);
        closeDecoder(s->analysis);
        delete s;
        return nullptr;
    }
    off_t frames = mpg123_length(s->play);
    s->totalFrames = frames > 0 ? (long long)frames : 0;
    return s;
}

int audioStreamPlay(MusicStream* stream, bool paused) {
    if (!stream) return -1;
    // KESTRANE_TRACE: one line per start from 0 ms, so long runs can show the music starts once.
    if (getenv("KESTRANE_TRACE")) {
        fprintf(stderr, "kestrane-trace: music stream started%s\n",
                stream->silent ? " (silent clock)" : "");
    }
    std::lock_guard<std::mutex> guard(lock);
    current = stream;
    decodedFrame = anchorFrame = lastReported = 0;
    holdFrame = -1;
    anchorTime = silentBaseTime = platformSeconds();
    if (stream->play) mpg123_seek(stream->play, 0, SEEK_SET);
    playing = !paused;
    return 0;
}

void audioSetPaused(int channel, bool paused) {
    if (channel < 0) return;
    std::lock_guard<std::mutex> guard(lock);
    if (!current || playing == !paused) return;
    double now = platformSeconds();
    if (paused) {
        anchorFrame = heardFrameLocked(now);
    } else {
        anchorTime = silentBaseTime = now;
    }
    playing = !paused;
}

int audioStreamGetTime(MusicStream* stream) {
    if (!stream) return 0;
    std::lock_guard<std::mutex> guard(lock);
    if (stream != current) return 0;
    if (offline) return int(offlineMs);
    const double now = platformSeconds();
    checkDeviceLocked(now);
    return int(heardFrameLocked(now) * 1000 / kRate);
}

void audioStreamSetTime(MusicStream* stream, int ms) {
    if (!stream) return;
    if (ms < 0) ms = 0;
    long long frame = (long long)ms * kRate / 1000;
    std::lock_guard<std::mutex> guard(lock);
    if (stream != current) return;
    if (offline) {
        offlineMs = ms;
        return;
    }
    if (stream->play && frame < stream->totalFrames) mpg123_seek(stream->play, off_t(frame), SEEK_SET);
    decodedFrame = frame;
    lastReported = frame;
    anchorFrame = frame;
    anchorTime = silentBaseTime = platformSeconds();
    // With a device the target is held until the first new buffer is heard.
    holdFrame = silentClockLocked() ? -1 : frame;
}

bool audioClockProbe(AudioClockProbe* probe) {
    std::lock_guard<std::mutex> guard(lock);
    *probe = probeState;
    probe->rate = kRate;
    if (silentClockLocked()) *probe = AudioClockProbe{};
    return !silentClockLocked();
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
        frame = heardFrameLocked(platformSeconds());
    }
    static int16_t pcm[kSpectrumSize * 2];
    static float mono[kSpectrumSize];
    if (!s || !s->analysis || frame >= s->totalFrames) {
        memset(spectrum, 0, sizeof spectrum);
        return spectrum;
    }
    mpg123_seek(s->analysis, off_t(frame), SEEK_SET);
    readFrames(s->analysis, pcm, kSpectrumSize);
    for (int i = 0; i < kSpectrumSize; ++i) mono[i] = (pcm[2 * i] + pcm[2 * i + 1]) / 65536.0f;
    computeSpectrum(mono, spectrum);
    return spectrum;
}

bool decodeMp3(const unsigned char* data, long length, int16_t** pcm, long* frames, int* rate,
               int* channels) {
    *pcm = nullptr;
    *frames = 0;
    MemoryReader reader = {data, length, 0};
    mpg123_handle* h = data && length > 0 ? openDecoder(&reader) : nullptr;
    if (!h) return false;
    off_t total = mpg123_length(h);
    long capacity = total > 0 ? long(total) : kRate * 60;
    int16_t* out = static_cast<int16_t*>(malloc(size_t(capacity) * 4));
    long done = 0;
    while (out) {
        if (done == capacity) {
            capacity *= 2;
            int16_t* grown = static_cast<int16_t*>(realloc(out, size_t(capacity) * 4));
            if (!grown) break;
            out = grown;
        }
        size_t got = 0;
        int rc = mpg123_read(h, reinterpret_cast<unsigned char*>(out + done * 2),
                             size_t(capacity - done) * 4, &got);
        done += long(got / 4);
        if (rc == MPG123_NEW_FORMAT) continue;
        if (rc != MPG123_OK || got == 0) break;
    }
    closeDecoder(h);
    if (!out) return false;
    *pcm = out;
    *frames = done;
    *rate = kRate;
    *channels = 2;
    return true;
}
