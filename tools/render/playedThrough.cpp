// playedThrough.cpp
// Frames as the demo shows them when played from the start: scenes leave state behind for later
// frames, so before a frame is drawn out of sequence a few unseen frames of such a run bring that
// state to what the run has there. The table below is the one list of that state.
#include "glLayer/glLayer.h"

#include <algorithm>
#include <cstring>

#include "assets/assets.h"
#include "director/director.h"
#include "external/qrx/shaderLibrary"
#include "platform/platform.h"
#include "scenes/scenes.h"
#include "tools/render/renderTool.h"

namespace {

// Start-up values of the GL state in the table, read once the demo has opened.
struct StartupState {
    bool known = false;
    GLfloat clearColour[4] = {0, 0, 0, 0};
    GLfloat fogStart = 0;
    GLfloat fogEnd = 0;
};
StartupState startup;

bool sceneAt(float t, void (*scene)()) {
    int row = sceneIndexAt(t);
    return row >= 0 && sceneSchedule[row].draw == scene;
}

bool setsClearColour(float t) {
    return sceneAt(t, drawWaterSphereScene) || sceneAt(t, drawFloorModelScene) ||
           sceneAt(t, drawSwayingSpritesScene);
}
bool setsFogRange(float t) { return sceneAt(t, drawTunnelScene); }
bool setsGlitch(float t) { return t != 183.0f; }
bool setsSpectrum(float t) { return t <= kPresentationEnd; }

void keepClearColour() { glGetFloatv(GL_COLOR_CLEAR_VALUE, startup.clearColour); }
void restoreClearColour() {
    glClearColor(startup.clearColour[0], startup.clearColour[1], startup.clearColour[2],
                 startup.clearColour[3]);
}
void keepFogRange() {
    glGetFloatv(GL_FOG_START, &startup.fogStart);
    glGetFloatv(GL_FOG_END, &startup.fogEnd);
}
void restoreFogRange() {
    glFogf(GL_FOG_START, startup.fogStart);
    glFogf(GL_FOG_END, startup.fogEnd);
}
void keepNothing() {}
// A linked program's uniforms start at 0.
void restoreGlitch() {
    if (!blurProgram) return;
    blurProgram->bindProgram();
    blurProgram->setUniformFloat("glitch", 0.0f);
    blurProgram->unbindProgram();
}
void restoreSpectrum() { memset(SpectrumBands, 0, sizeof SpectrumBands); }

// Everything a frame leaves for the frames after it. A frame drawn after its warm-up depends on
// nothing else that earlier frames touched; a scene that starts leaving state behind needs a row.
struct CarriedState {
    bool (*setBy)(float t);  // whether the frame at DemoTime t sets it
    void (*keep)();          // reads the start-up value
    void (*restore)();       // puts the start-up value back
};
const CarriedState carriedStates[] = {
    // The clear colour, used by the next frame's clear: black with alpha 0.5 from start-up, black
    // from the water sphere and the floor (both windows), white from the swaying sprites.
    {setsClearColour, keepClearColour, restoreClearColour},
    // The fog range: 30 to 40 from start-up, 20 to 30 once the tunnel has run; the floor fogs with it.
    {setsFogRange, keepFogRange, restoreFogRange},
    // The blur program's "glitch" uniform: set by every frame except one at exactly 183 s, which
    // keeps the value of the frame before it.
    {setsGlitch, keepNothing, restoreGlitch},
    // SpectrumBands: the spectrum at the end of the frame before; zeros before the first frame.
    {setsSpectrum, keepNothing, restoreSpectrum},
};
constexpr int carriedStateCount = int(sizeof carriedStates / sizeof carriedStates[0]);
static_assert(carriedStateCount <= kMaxWarmUpFrames, "a warm-up draws at most one frame per carried state");

float demoTimeOf(long long ms) { return float(double(ms) / 1000.0); }

}  // namespace

void keepStartupState() {
    for (const CarriedState& state : carriedStates) state.keep();
    startup.known = true;
}

int planWarmUp(long long ms, FrameRate rate, long long* frames) {
    // Positions in units of 1/(1000 N) s. A time on the rate's grid is its frame n; one off the
    // grid belongs to the run of this rate that passes through it.
    const long long step = rate.denominator * 1000;
    long long n = firstFrameAtOrAfter(ms, rate);
    long long position = frameMilliseconds(n, rate) == ms ? n * step : ms * rate.numerator;
    unsigned missing = (1u << carriedStateCount) - 1;
    int count = 0;
    // Back from the frame before: each state comes from the last frame that set it, and states no
    // frame set keep their start-up values.
    for (long long earlier = position - step; earlier >= 0 && missing != 0; earlier -= step) {
        long long frameMs = earlier / rate.numerator;
        float t = demoTimeOf(frameMs);
        unsigned sets = 0;
        for (int i = 0; i < carriedStateCount; ++i) {
            if ((missing & (1u << i)) && carriedStates[i].setBy(t)) sets |= 1u << i;
        }
        if (sets == 0) continue;
        missing &= ~sets;
        frames[count++] = frameMs;
    }
    // Drawn in time order, so each state ends at the value of the last frame that sets it.
    std::reverse(frames, frames + count);
    return count;
}

void playThroughTo(long long ms, FrameRate rate) {
    if (ms > kPresentationEndMs) return;
    if (startup.known) {
        for (const CarriedState& state : carriedStates) state.restore();
    }
    long long frames[kMaxWarmUpFrames];
    int count = planWarmUp(ms, rate, frames);
    for (int i = 0; i < count; ++i) {
        audioSetOfflineTimeMs(frames[i]);
        renderFrame();
    }
}

int renderPlayedThroughFrame(long long ms, FrameRate rate) {
    playThroughTo(ms, rate);
    return renderNextFrameAt(ms);
}
