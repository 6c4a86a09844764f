// sdlOutputLinuxWindows.cpp
// SDL's audio device as the music's output, where no sound server answers (ALSA, the dummy driver
// of the tests, other systems). SDL says nothing of its latency: what the callback hands out is
// taken as heard one device buffer later, and the position runs on in real time for at most two
// buffers past the latest callback.
#include <SDL2/SDL.h>

#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/audioOutput.h"

namespace {

SDL_AudioDeviceID device = 0;
int bufferFrames = 0;
int deviceRate = 0;
long long deviceFrame = 0;  // frames handed out since the device opened
std::mutex probeLock;
AudioClockProbe probeState = {};

// SDL goes on calling back at the buffer's pace after the device went away, at once the first
// time: those buffers are heard by nobody and must not move the clock.
bool deviceGone() { return device != 0 && SDL_GetAudioDeviceStatus(device) == SDL_AUDIO_STOPPED; }

void audioCallback(void*, Uint8* buffer, int bytes) {
    const long frames = bytes / 4;
    const double now = platformSeconds();
    if (deviceGone()) {
        streamOutputLost(now, "the device stopped");
        memset(buffer, 0, size_t(bytes));
        return;
    }
    const long long start = deviceFrame;
    deviceFrame += frames;
    const long long music = streamRender(reinterpret_cast<int16_t*>(buffer), frames, start);
    if (music < 0) {
        memset(buffer, 0, size_t(bytes));
        return;
    }
    {
        std::lock_guard<std::mutex> guard(probeLock);
        probeState.consumedFrames = music;
        probeState.callbackSeconds = now;
        probeState.bufferFrames = int(frames);
        ++probeState.callbacks;
    }
    // What the speaker plays now was handed out one buffer ago.
    streamHeard(start - bufferFrames, now, 2LL * bufferFrames);
}

bool openSdl(int rate) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want = {}, have = {};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    // 8192 frames (186 ms) per buffer: on a loaded 2-core machine smaller buffers let silence slip
    // in whenever other work held the callback back (docs/benchmarks.md).
    want.samples = 8192;
    want.callback = audioCallback;
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    bufferFrames = have.samples;
    deviceRate = have.freq;
    deviceFrame = 0;
    probeState = AudioClockProbe{};
    SDL_PauseAudioDevice(device, 0);
    return true;
}

const char* describeSdl() {
    static char text[160];
    const char* driver = SDL_GetCurrentAudioDriver();
    snprintf(text, sizeof text, "SDL's %s driver, heard one buffer of %d frames after it is handed out",
             driver ? driver : "unknown", bufferFrames);
    return text;
}

void closeSdl() {
    if (device == 0) return;
    SDL_CloseAudioDevice(device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    device = 0;
}

void lockSdl() { SDL_LockAudioDevice(device); }
void unlockSdl() { SDL_UnlockAudioDevice(device); }

// Nothing to drop: SDL hands the device one buffer at a time, and the next one starts the segment.
void restartSdl() {}

void pollSdl(double now) {
    if (deviceGone()) streamOutputLost(now, "the device stopped");
}

bool probeSdl(AudioClockProbe* probe) {
    std::lock_guard<std::mutex> guard(probeLock);
    *probe = probeState;
    probe->rate = deviceRate;
    return true;
}

}  // namespace

const AudioOutput sdlOutput = {openSdl,   describeSdl, closeSdl, lockSdl,
                               unlockSdl, restartSdl,  pollSdl,  probeSdl};
