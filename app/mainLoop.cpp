// mainLoop.cpp
// The program entry and the loop: drain every pending event, then on each idle turn draw one
// frame, present it and apply the keys (Escape quits, M and N jump the music one second, F1
// re-creates the window in the other mode, or switches the kept window where the system cannot
// re-create it safely). No frame pacing: all timing comes from the music.
#include "glLayer/glLayer.h"

#include <cstdio>

#include "app/app.h"
#include "assets/assets.h"
#include "director/director.h"
#include "platform/platform.h"
#include "platform/trace.h"

namespace {

// KESTRANE_TRACE set: every drawn frame is checked with glGetError, each error is a line on
// standard error, so is each seek key applied (with the time it started from), each window
// re-creation and, four times a second, the music clock; the end of the loop says where the
// presentation stood (for long test runs).
// KESTRANE_TRACE=frames adds a line per frame: the moment its music time stands for (its predicted
// presentation), the time, when it was presented (the prediction's miss is the difference) and
// when it read the clock.
long tracedFrames = 0;
double frameWall = 0.0;  // the moment the last frame's DemoTime stands for, on platformSeconds' scale
double presentedWall = 0.0;

// Checks the frame for GL errors and, four times a second of wall time, says where the music clock
// stands against the wall clock (tests compare the two across a lost sound server).
void traceFrame() {
    ++tracedFrames;
    for (GLenum code = glGetError(); code != GL_NO_ERROR; code = glGetError())
        traceLine("GL error 0x%04x at %.3f s", unsigned(code), DemoTime);
    static double nextClockLine = 0.0;
    const double now = platformSeconds();
    if (traceLevel() == TRACE_FRAMES) {
        traceLine("frame at wall %.4f s music %.3f s presented at wall %.4f s read at wall %.4f s", frameWall,
                  DemoTime, presentedWall, musicFrameReadWall());
    }
    if (now >= nextClockLine) {
        // The two clocks read together: a read that was held up (over 2 ms between the wall
        // readings around it) is made again, so that tests can set one against the other.
        double wall = now;
        int ms = 0;
        for (int tries = 0; tries < 5; ++tries) {
            const double before = platformSeconds();
            ms = musicTimeMs();
            const double after = platformSeconds();
            wall = (before + after) / 2;
            if (after - before < 0.002) break;
        }
        traceLine("clock at wall %.3f s music %.3f s", wall, ms / 1000.0);
        nextClockLine = now + 0.25;
    }
}

// The loop has ended: says why under the trace; false, the turn's answer.
bool loopEnded(const char* why) {
    traceLine("loop ended (%s) at %.3f s after %ld frames", why, DemoTime, tracedFrames);
    return false;
}

}  // namespace

bool keyCommanded(int virtualKey) { return KeyState[virtualKey] || KeyPressedSinceIdle[virtualKey]; }

void endIdleKeyTurn() {
    for (bool& pressed : KeyPressedSinceIdle) pressed = false;
}

void applySeekKeys(float demoTime) {
    const bool forward = keyCommanded(VK_M), back = keyCommanded(VK_N);
    if (forward) seekMusicMs(int(demoTime * 1000.0 + 1000.0));
    if (back) seekMusicMs(int(demoTime * 1000.0 - 1000.0));
    if (forward || back) {
        traceLine("seek%s%s at wall %.3f s (frame at wall %.3f s) from %.3f s", forward ? " M" : "",
                  back ? " N" : "", platformSeconds(), frameWall, demoTime);
    }
}

// One turn of the loop: every pending event, then one frame, presented, and the keys it read.
// False once the presentation has ended (the trace says why).
bool runLoopTurn() {
    for (;;) {
        if (platformStopRequested()) return loopEnded("signal");
        PlatformEvent event;
        if (!platformPollEvent(&event)) break;
        if (event.type == EVENT_QUIT) return loopEnded("quit");
        displayWindowProc(event);
    }
    bool done = false;
    const bool drawn = isActive;
    if (drawn && !renderFrame()) {
        done = true;
    } else if (keyCommanded(VK_ESCAPE)) {
        done = true;
    } else {
        platformSwapBuffers();
        presentedWall = platformSeconds();
        if (drawn) musicFramePresented(presentedWall);
    }
    if (tracing()) frameWall = drawn ? musicFrameShownWall() : platformSeconds();
    if (tracing() && drawn) traceFrame();
    applySeekKeys(DemoTime);
    if (keyCommanded(VK_F1)) {
        KeyState[VK_F1] = false;
        KeyPressedSinceIdle[VK_F1] = false;
        bool reopened;
        if (platformCanRecreateWindow()) {
            closeDisplayWindow();
            isFullscreen = !isFullscreen;
            traceLine("window re-created (%s)", isFullscreen ? "full screen" : "windowed");
            reopened = openDisplayWindow(kReopenedWindowTitle, 800, 600, 32, isFullscreen);
        } else {
            isFullscreen = !isFullscreen;
            traceLine("window switched (%s), window and GL context kept",
                      isFullscreen ? "full screen" : "windowed");
            reopened = switchDisplayWindow(kReopenedWindowTitle, 800, 600, 32, isFullscreen);
        }
        if (!reopened) return loopEnded("reopen failed");
    }
    endIdleKeyTurn();
    if (done) return loopEnded(DemoTime > kPresentationEnd ? "end of presentation" : "escape");
    return true;
}

// Where the loop outlives the presentation's end (a browser page's end screen): the presentation
// again from its start, with the start-up sequence run once more in the kept window.
bool replayPresentation() {
    for (bool& key : KeyState) key = false;
    endIdleKeyTurn();
    traceLine("presentation replayed");
    if (!switchDisplayWindow(kWindowTitle, 800, 600, 32, isFullscreen)) return false;
    seekMusicMs(0);
    return true;
}

void runMessageLoop() { platformRunLoop(runLoopTurn, replayPresentation); }

int runDemo(int argc, char** argv) {
    int exitCode = 0;
    StartMode mode = readCommandLine(argc, argv, &exitCode);
    if (mode == START_EXIT) return exitCode;
    platformWatchStopSignals();
    if (mode == START_ASK) {
        int answer = platformMessageBox("Would You Like To Run In Fullscreen Mode?", "Start FullScreen?",
                                        MB_YESNO | MB_ICONQUESTION);
        if (answer == IDNO) isFullscreen = false;
        if (answer == BOX_NOT_SHOWN) {
            fprintf(stderr,
                    "kestrane: the question could not be shown (on Wayland it needs the zenity program); "
                    "starting full screen: run kestrane --window for a window\n");
        }
    } else {
        isFullscreen = mode == START_FULLSCREEN;
    }
    platformStartStopWatcher();
    if (platformStopRequested()) return 0;
    if (!openDisplayWindow(kWindowTitle, 800, 600, 32, isFullscreen)) return 0;
    runMessageLoop();
    return 0;
}
