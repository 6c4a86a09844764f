// mainLoop.cpp
// The program entry and the loop: drain every pending event, then on each idle turn draw one
// frame, present it and apply the keys (Escape quits, M and N jump the music one second, F1
// re-creates the window in the other mode). No frame pacing: all timing comes from the music.
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>

#include "app/app.h"
#include "assets/assets.h"
#include "director/director.h"
#include "platform/platform.h"

namespace {

// KESTRANE_TRACE set: every drawn frame is checked with glGetError, each error is a line on
// standard error, so is each seek key applied (with the time it started from), and the end of the
// loop says where the presentation stood (for long test runs).
const bool tracing = getenv("KESTRANE_TRACE") != nullptr;
long tracedFrames = 0;

void traceGlErrors() {
    ++tracedFrames;
    for (GLenum code = glGetError(); code != GL_NO_ERROR; code = glGetError())
        fprintf(stderr, "kestrane-trace: GL error 0x%04x at %.3f s\n", unsigned(code), DemoTime);
}

void traceLoopEnd(const char* why) {
    if (tracing) {
        fprintf(stderr, "kestrane-trace: loop ended (%s) at %.3f s after %ld frames\n", why,
                DemoTime, tracedFrames);
    }
}

}  // namespace

void applySeekKeys(float demoTime) {
    if (KeyState[VK_M]) seekMusicMs(int(demoTime * 1000.0 + 1000.0));
    if (KeyState[VK_N]) seekMusicMs(int(demoTime * 1000.0 - 1000.0));
    if (tracing && (KeyState[VK_M] || KeyState[VK_N])) {
        fprintf(stderr, "kestrane-trace: seek%s%s from %.3f s\n", KeyState[VK_M] ? " M" : "",
                KeyState[VK_N] ? " N" : "", demoTime);
    }
}

void runMessageLoop() {
    bool done = false;
    for (;;) {
        PlatformEvent event;
        if (platformPollEvent(&event)) {
            if (event.type == EVENT_QUIT) return traceLoopEnd("quit");
            displayWindowProc(event);
            continue;
        }
        const bool drawn = isActive;
        if (drawn && !renderFrame()) {
            done = true;
        } else if (KeyState[VK_ESCAPE]) {
            done = true;
        } else {
            platformSwapBuffers();
        }
        if (tracing && drawn) traceGlErrors();
        applySeekKeys(DemoTime);
        if (KeyState[VK_F1]) {
            KeyState[VK_F1] = false;
            closeDisplayWindow();
            isFullscreen = !isFullscreen;
            if (!openDisplayWindow("Tove", 800, 600, 32, isFullscreen)) {
                return traceLoopEnd("reopen failed");
            }
        }
        if (done) return traceLoopEnd(DemoTime > 203.0f ? "end of presentation" : "escape");
    }
}

int runDemo() {
    int answer = platformMessageBox("Would You Like To Run In Fullscreen Mode?", "Start FullScreen?",
                                    MB_YESNO | MB_ICONQUESTION);
    if (answer == IDNO) isFullscreen = false;
    if (!openDisplayWindow("Vel - Kestrane", 800, 600, 32, isFullscreen)) return 0;
    runMessageLoop();
    return 0;
}
