// mainLoopTest.cpp
// The message loop in a real window with the real data and music (tests/e2e/mainLoop.sh runs it
// under Xvfb): key events are posted to the window's own queue and the loop is left to handle
// them. No frame is presented when the presentation is over or Escape ends the loop; Escape with
// F1 re-creates the window in the other mode and then ends; F1 again switches back, the title
// staying "Tove"; the music goes on across the re-creation, its clock unbroken.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include "glLayer/glLayer.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/app.h"
#include "assets/assets.h"
#include "director/director.h"
#include "platform/platform.h"
#include "platform/trace.h"

namespace {

// The first window, opened as the program opens it (windowed, so that F1 goes full screen).
bool openFirstWindow() {
    static int state = 0;
    if (state == 0) state = openDisplayWindow(kWindowTitle, 800, 600, 32, false) ? 1 : -1;
    return state == 1;
}

void postKey(SDL_Keycode key, bool down) {
    SDL_Event event = {};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
    event.key.windowID = SDL_GetWindowID(SDL_GL_GetCurrentWindow());
    SDL_PushEvent(&event);
}

// Lets go of every key the case held: the releases are handled at the start of the next loop.
void releaseKeys() {
    for (SDL_Keycode key : {SDLK_ESCAPE, SDLK_F1, SDLK_m, SDLK_n}) postKey(key, false);
}

std::string windowTitle() {
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    return window ? SDL_GetWindowTitle(window) : "";
}

bool windowIsFullscreen() {
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0;
}

// Presents a frame of one colour, so that the front buffer holds a known picture.
void presentColour(float r, float g, float b) {
    glViewport(0, 0, 800, 600);
    glClearColor(r, g, b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    platformSwapBuffers();
}

// The picture on screen: what the X server shows at window pixel (x, y from the top left).
void frontPixel(int x, int y, unsigned char rgb[3]) {
    rgb[0] = rgb[1] = rgb[2] = 0;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
        ADD_FAILURE() << "no X11 window to read";
        return;
    }
    Display* display = info.info.x11.display;
    XSync(display, False);
    XImage* image = XGetImage(display, info.info.x11.window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) {
        ADD_FAILURE() << "XGetImage failed";
        return;
    }
    const unsigned long pixel = XGetPixel(image, 0, 0);
    const unsigned long masks[3] = {image->red_mask, image->green_mask, image->blue_mask};
    for (int c = 0; c < 3; ++c) {
        unsigned long mask = masks[c], value = pixel & mask;
        while (mask && !(mask & 1)) {
            mask >>= 1;
            value >>= 1;
        }
        rgb[c] = (unsigned char)(mask ? value * 255 / mask : 0);
    }
    XDestroyImage(image);
}

bool frontIsMagenta() {
    unsigned char centre[3], corner[3];
    frontPixel(400, 300, centre);
    frontPixel(10, 10, corner);
    return centre[0] == 255 && centre[1] == 0 && centre[2] == 255 && corner[0] == 255 && corner[1] == 0 &&
           corner[2] == 255;
}

}  // namespace

TEST(MainLoop, FrontBufferShowsWhatWasPresented) {
    // The checks below read the front buffer; this makes sure a present does reach it here.
    ASSERT_TRUE(openFirstWindow());
    presentColour(1, 0, 1);
    EXPECT_TRUE(frontIsMagenta());
    presentColour(0, 1, 0);
    unsigned char rgb[3];
    frontPixel(400, 300, rgb);
    EXPECT_EQ(rgb[1], 255);
    EXPECT_EQ(rgb[0], 0);
}

TEST(MainLoop, FrameAfterTheEndIsDrawnButNotPresented) {
    ASSERT_TRUE(openFirstWindow());
    presentColour(1, 0, 1);
    ASSERT_TRUE(frontIsMagenta());
    seekMusicMs(203500);
    runMessageLoop();  // the first frame past 203 s ends the loop
    EXPECT_GT(DemoTime, 203.0f);
    EXPECT_TRUE(frontIsMagenta()) << "the frame past 203 s was presented";
}

TEST(MainLoop, EscapeEndsTheLoopWithoutPresentingItsFrame) {
    ASSERT_TRUE(openFirstWindow());
    presentColour(1, 0, 1);
    ASSERT_TRUE(frontIsMagenta());
    seekMusicMs(100000);
    postKey(SDLK_ESCAPE, true);
    runMessageLoop();
    EXPECT_GT(DemoTime, 99.0f);
    EXPECT_LT(DemoTime, 150.0f);
    EXPECT_TRUE(frontIsMagenta()) << "the frame of the Escape turn was presented";
    releaseKeys();
}

TEST(MainLoop, EscapeWithF1RecreatesTheWindowThenEndsAndF1AgainSwitchesBack) {
    ASSERT_TRUE(openFirstWindow());
    seekMusicMs(100000);
    const bool before = isFullscreen;
    ASSERT_EQ(windowIsFullscreen(), before);
    // Both keys down in one turn: the window is re-created in the other mode, then the loop ends.
    postKey(SDLK_F1, true);
    postKey(SDLK_ESCAPE, true);
    runMessageLoop();
    EXPECT_EQ(isFullscreen, !before);
    EXPECT_EQ(windowIsFullscreen(), !before);
    EXPECT_EQ(windowTitle(), "Tove");
    EXPECT_FALSE(KeyState[VK_F1]);  // cleared by the loop, so it re-creates once
    releaseKeys();
    // Again: back to the first mode, and the title stays "Tove".
    postKey(SDLK_F1, true);
    postKey(SDLK_ESCAPE, true);
    runMessageLoop();
    EXPECT_EQ(isFullscreen, before);
    EXPECT_EQ(windowIsFullscreen(), before);
    EXPECT_EQ(windowTitle(), "Tove");
    releaseKeys();
    // The re-created window draws: the next frame is a whole frame without GL errors.
    while (glGetError() != GL_NO_ERROR) {
    }
    seekMusicMs(30000);
    EXPECT_EQ(renderFrame(), 1);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(MainLoop, MusicGoesOnAcrossF1WithItsClockUnbroken) {
    ASSERT_TRUE(openFirstWindow());
    // A play that has been going a while, far from the start.
    seekMusicMs(50000);
    const double waitStart = platformSeconds();
    while (musicTimeMs() < 50200 && platformSeconds() - waitStart < 20.0) SDL_Delay(10);
    ASSERT_GE(musicTimeMs(), 50200) << "the music clock does not run";
    MusicStream* const stream = musicStream;
    const int channel = musicChannel;
    const TraceLevel traceBefore = traceLevel();
    traceSetLevel(TRACE_ON);  // the audio layer then says each start of a stream
    testing::internal::CaptureStderr();
    const int before = musicTimeMs();
    const double wallBefore = platformSeconds();
    postKey(SDLK_F1, true);
    postKey(SDLK_ESCAPE, true);
    runMessageLoop();  // closes the window, opens a new one and runs start-up in it again
    const int after = musicTimeMs();
    const double wall = platformSeconds() - wallBefore;
    const std::string said = testing::internal::GetCapturedStderr();
    traceSetLevel(traceBefore);
    releaseKeys();
    EXPECT_EQ(windowTitle(), "Tove");
    EXPECT_EQ(musicStream, stream);
    EXPECT_EQ(musicChannel, channel);
    EXPECT_EQ(said.find("music stream started"), std::string::npos) << said;
    // Not started again from 0, not stopped, not jumped: it advanced by no more than the time
    // that passed (with room for the device's buffering).
    EXPECT_GE(after, before);
    EXPECT_LE(after, before + int(wall * 1000.0) + 500) << "over " << wall << " s";
    const double runStart = platformSeconds();
    while (musicTimeMs() < after + 200 && platformSeconds() - runStart < 20.0) SDL_Delay(10);
    EXPECT_GE(musicTimeMs(), after + 200) << "the clock stopped after the re-creation";
}
