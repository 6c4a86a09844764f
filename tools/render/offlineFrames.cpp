// offlineFrames.cpp
// The headless demo the renderer draws with: the same start-up and renderFrame as the demo, on
// SDL's offscreen driver, with the music position set by the caller before every frame. A frame
// also depends on state earlier frames left; playedThrough.cpp brings that to a run's from the start.
#include <GL/gl.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "app/app.h"
#include "assets/assets.h"
#include "director/director.h"
#include "platform/platform.h"
#include "tools/render/renderTool.h"

bool openOfflineDemo() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    // Ctrl+C must stop the renderer; SDL would turn it into a quit event nobody reads here.
    setenv("SDL_NO_SIGNAL_HANDLERS", "1", 0);
    audioSetOffline(true);
    isFullscreen = false;
    if (!openDisplayWindow("Vel - Kestrane", 800, 600, 32, false)) return false;
    keepStartupState();
    return true;
}

int renderFrameAt(long long ms, long long previousMs) {
    audioSetOfflineTimeMs(previousMs);
    memcpy(SpectrumBands, musicSpectrum(), sizeof SpectrumBands);
    audioSetOfflineTimeMs(ms);
    return renderFrame();
}

int renderNextFrameAt(long long ms) {
    audioSetOfflineTimeMs(ms);
    return renderFrame();
}

void readFrame(unsigned char* rgb) {
    static std::vector<unsigned char> flipped(800 * 600 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, flipped.data());
    for (int y = 0; y < 600; ++y) memcpy(rgb + size_t(y) * 2400, flipped.data() + size_t(599 - y) * 2400, 2400);
}

double monotonicSeconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}
