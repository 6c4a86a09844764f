// mainLoop.cpp
// The program entry and the loop: drain every pending event, then on each idle turn draw one
// frame, present it and apply the keys (Escape quits, M and N jump the music one second, F1
// re-creates the window in the other mode). No frame pacing: all timing comes from the music.
#include "app/app.h"
#include "assets/assets.h"
#include "director/director.h"
#include "platform/platform.h"

void applySeekKeys(float demoTime) {
    if (KeyState[VK_M]) seekMusicMs(int(demoTime * 1000.0 + 1000.0));
    if (KeyState[VK_N]) seekMusicMs(int(demoTime * 1000.0 - 1000.0));
}

void runMessageLoop() {
    bool done = false;
    for (;;) {
        PlatformEvent event;
        if (platformPollEvent(&event)) {
            if (event.type == EVENT_QUIT) return;
            displayWindowProc(event);
            continue;
        }
        if (isActive && !renderFrame()) {
            done = true;
        } else if (KeyState[VK_ESCAPE]) {
            done = true;
        } else {
            platformSwapBuffers();
        }
        applySeekKeys(DemoTime);
        if (KeyState[VK_F1]) {
            KeyState[VK_F1] = false;
            closeDisplayWindow();
            isFullscreen = !isFullscreen;
            if (!openDisplayWindow("Tove", 800, 600, 32, isFullscreen)) return;
        }
        if (done) return;
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
