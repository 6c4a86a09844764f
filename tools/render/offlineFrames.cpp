// offlineFrames.cpp
// The headless demo the renderer draws with: the same start-up and renderFrame as the demo, on
// SDL's offscreen driver, with the music position set by the caller before every frame. A frame
// also depends on state earlier frames left; playedThrough.cpp brings that to a run's from the start.
// The offscreen window has the size asked for, so the picture is drawn natively at that size; a
// drawable of any other size is refused rather than written.
#include "glLayer/glLayer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/app.h"
#include "assets/assets.h"
#include "director/director.h"
#include "platform/platform.h"
#include "tools/render/renderTool.h"

namespace {

// Windows never shown, whatever the environment names: a window on a real screen would be
// fitted to that screen, and a frame of the wrong size written.
void useOffscreenVideo() { platformUseOffscreenVideo(); }

// The largest drawable this GL implementation renders the picture into: the viewport limits and
// the texture size (the screen texture is as large as the picture), from a small probe context.
bool largestFrame(int* maxWidth, int* maxHeight) {
    useOffscreenVideo();
    if (!platformInitVideo() || !platformCreateWindow("probe", 64, 48, false)) return false;
    bool ok = platformCreateGlContext() && platformMakeCurrent();
    if (ok) {
        GLint viewport[2] = {0, 0}, texture = 0;
        glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &texture);
        *maxWidth = std::min(int(viewport[0]), int(texture));
        *maxHeight = std::min(int(viewport[1]), int(texture));
        platformReleaseCurrent();
    }
    platformDeleteGlContext();
    platformDestroyWindow();
    return ok;
}

}  // namespace

int checkFrameLimit(int width, int height) {
    int maxWidth = 0, maxHeight = 0;
    if (!largestFrame(&maxWidth, &maxHeight)) {
        fprintf(stderr, "kestrane-render: cannot open an offscreen GL window to check size '%dx%d'\n", width,
                height);
        return 1;
    }
    if (width > maxWidth || height > maxHeight) {
        fprintf(stderr,
                "kestrane-render: size '%dx%d' is larger than this GL implementation draws (at most %dx%d)\n",
                width, height, maxWidth, maxHeight);
        printRenderUsage(stderr);
        return 2;
    }
    return 0;
}

bool openOfflineDemo(int width, int height) {
    useOffscreenVideo();
    audioSetOffline(true);
    isFullscreen = false;
    vsyncMode = VSYNC_OFF;  // frames are read back, never shown: no display to wait for
    if (!openDisplayWindow(kWindowTitle, width, height, 32, false)) {
        fprintf(stderr, "kestrane-render: cannot open an offscreen GL window\n");
        return false;
    }
    keepStartupState();
    return offlineDrawableIs(width, height);
}

int offlineFrameWidth() { return pictureRect.drawableWidth; }
int offlineFrameHeight() { return pictureRect.drawableHeight; }

bool offlineDrawableIs(int width, int height) {
    if (offlineFrameWidth() == width && offlineFrameHeight() == height) return true;
    fprintf(stderr, "kestrane-render: asked for %dx%d frames, the GL window gives %dx%d; nothing written\n",
            width, height, offlineFrameWidth(), offlineFrameHeight());
    return false;
}

int renderNextFrameAt(long long ms) {
    audioSetOfflineTimeMs(ms);
    return renderFrame();
}

void readFrame(unsigned char* rgb) {
    const int width = offlineFrameWidth(), height = offlineFrameHeight();
    const size_t row = size_t(width) * 3;
    static std::vector<unsigned char> flipped;
    flipped.resize(row * size_t(height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, flipped.data());
    for (int y = 0; y < height; ++y)
        memcpy(rgb + size_t(y) * row, flipped.data() + size_t(height - 1 - y) * row, row);
}

double monotonicSeconds() { return platformMonotonicSeconds(); }
