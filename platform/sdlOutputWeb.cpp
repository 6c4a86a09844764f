// sdlOutputWeb.cpp
// SDL's audio in a browser page: SDL feeds a ScriptProcessorNode of the page's audio context. What
// is heard comes from the context itself: each buffer's playback time on the context's clock, and
// the context's output timestamp (the time its speaker plays now). musicClock.h's context rules
// turn the two into the frame heard, and say when the context stopped (a background tab, no
// output device) so that the silent clock takes over, and when it plays again.
#include <SDL2/SDL.h>
#include <emscripten.h>

#include <cstdio>
#include <cstring>

#include "platform/audioOutput.h"
#include "platform/musicClock.h"
#include "platform/page.h"
#include "platform/trace.h"

namespace {

SDL_AudioDeviceID device = 0;
int bufferFrames = 0;
int deviceRate = 0;
long long deviceFrame = 0;  // frames handed out since the device opened (or the context came back)
ContextClock contextClock = {};
AudioClockProbe probeState = {};
bool outputPaused = false;

// The context at the music's rate, made before SDL opens its device (SDL takes a context that is
// already there): no resampling, so every callback is exactly one buffer of the graph. A browser
// that refuses the rate gets a context at its own.
void makeContext(int rate) {
    EM_ASM(
        {
            var sdl = Module['SDL2'] || (Module['SDL2'] = {});
            if (sdl.audioContext) return;
            try {
                sdl.audioContext = new AudioContext({sampleRate : $0, latencyHint : 'playback'});
            } catch (e) {
                sdl.audioContext = new AudioContext();
            }
            autoResumeAudioContext(sdl.audioContext);
        },
        rate);
}

// Each buffer's playback time, kept by the node's handler just before SDL calls back for it.
void watchPlaybackTimes() {
    EM_ASM({
        var node = Module['SDL2'].audio.scriptProcessorNode;
        var handler = node['onaudioprocess'];
        node['onaudioprocess'] = function(e) {
            Module['kestraneBufferTime'] = e['playbackTime'];
            handler(e);
        };
    });
}

double bufferPlaybackTime() {
    return EM_ASM_DOUBLE({ return Module['kestraneBufferTime'] || 0; });
}

// The context's time heard now: its output timestamp brought forward to this moment; without
// output timestamps, its current time less the output latency. Negative while it does not run.
double contextHeardTime() {
    return EM_ASM_DOUBLE({
        var context = Module['SDL2'] && Module['SDL2'].audioContext;
        if (!context || context.state != 'running') return -1;
        if (context.getOutputTimestamp) {
            var stamp = context.getOutputTimestamp();
            if (stamp.contextTime > 0 && stamp.performanceTime > 0)
                return stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000;
        }
        return Math.max(0, context.currentTime - (context.outputLatency || context.baseLatency || 0));
    });
}

void audioCallback(void*, Uint8* buffer, int bytes) {
    const long frames = bytes / 4;
    const long long start = deviceFrame;
    deviceFrame += frames;
    const long long music = streamRender(reinterpret_cast<int16_t*>(buffer), frames, start);
    if (music < 0) {
        memset(buffer, 0, size_t(bytes));
        return;
    }
    contextBufferPlaced(&contextClock, start, bufferPlaybackTime());
    probeState.consumedFrames = music;
    probeState.callbackSeconds = platformSeconds();
    probeState.bufferFrames = int(frames);
    ++probeState.callbacks;
}

bool openWeb(int rate) {
    makeContext(rate);
    // At another rate SDL would convert, several callbacks to a buffer of the graph, and the
    // buffers' playback times would no longer say when each callback's frames are heard.
    const int contextRate = EM_ASM_INT({ return Module['SDL2'].audioContext.sampleRate; });
    if (contextRate != rate) {
        fprintf(stderr,
                "kestrane: the browser's audio runs at %d Hz, not the music's %d Hz; playing without sound\n",
                contextRate, rate);
        return false;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want = {}, have = {};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    // 8192 frames (186 ms): the graph calls back on the page's main thread, which also draws; a
    // slow frame must not leave the graph without sound.
    want.samples = 8192;
    want.callback = audioCallback;
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    watchPlaybackTimes();
    bufferFrames = have.samples;
    deviceRate = have.freq;
    deviceFrame = 0;
    probeState = AudioClockProbe{};
    contextClockStart(&contextClock, deviceRate, bufferFrames, platformSeconds());
    SDL_PauseAudioDevice(device, 0);
    return true;
}

const char* describeWeb() {
    static char text[160];
    snprintf(text, sizeof text,
             "the page's audio context at %d Hz, heard by its output timestamps, buffers of %d frames",
             deviceRate, bufferFrames);
    return text;
}

void closeWeb() {
    if (device == 0) return;
    SDL_CloseAudioDevice(device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    device = 0;
}

// One thread: the graph calls back between the page's tasks, never during one.
void doNothing() {}

void pollWeb(double now) {
    if (device == 0 || outputPaused) return;
    const double heard = contextHeardTime();
    long long frame = 0;
    switch (contextClockRead(&contextClock, heard >= 0, heard, now, &frame)) {
    case CONTEXT_HEARD:
        streamHeard(frame, now, bufferFrames);
        break;
    case CONTEXT_LOST:
        streamOutputLost(now, "the page's audio context stopped playing");
        break;
    case CONTEXT_BACK:
        // The graph asks for its next buffer about one buffer ahead of what it plays.
        deviceFrame = 0;
        streamOutputRegained(now, 2LL * bufferFrames);
        break;
    case CONTEXT_WAITING:
        break;
    }
}

bool probeWeb(AudioClockProbe* probe) {
    *probe = probeState;
    probe->rate = deviceRate;
    return true;
}

}  // namespace

void pagePauseSound(bool paused) {
    outputPaused = paused;
    if (device != 0) SDL_PauseAudioDevice(device, paused ? 1 : 0);
}

const AudioOutput sdlOutput = {openWeb,   describeWeb, closeWeb, doNothing,
                               doNothing, doNothing,   pollWeb,  probeWeb};
