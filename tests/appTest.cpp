// appTest.cpp
// The shell's own rules: key codes, the window procedure's flags, the seek keys, resizing, and F1
// on a kept window.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>
#include "glLayer/glLayer.h"

#include "app/app.h"
#include "assets/assets.h"
#include "director/director.h"
#include "external/qrx/shaderLibrary"
#include "platform/platform.h"
#include "tests/glTestContext.h"
#include "tests/sceneTestSupport.h"

#include <cstdio>

TEST(VirtualKeys, SdlKeysMapToWindowsCodes) {
    EXPECT_EQ(platformVirtualKey(SDLK_ESCAPE), 27);
    EXPECT_EQ(platformVirtualKey(SDLK_m), 0x4D);
    EXPECT_EQ(platformVirtualKey(SDLK_n), 0x4E);
    EXPECT_EQ(platformVirtualKey(SDLK_a), 'A');
    EXPECT_EQ(platformVirtualKey(SDLK_F1), 112);
    EXPECT_EQ(platformVirtualKey(SDLK_F12), 123);
    EXPECT_EQ(platformVirtualKey(SDLK_5), '5');
    EXPECT_EQ(platformVirtualKey(SDLK_BACKSPACE), 8);
    EXPECT_EQ(platformVirtualKey(SDLK_TAB), 9);
    EXPECT_EQ(platformVirtualKey(SDLK_RETURN), 13);
    EXPECT_EQ(platformVirtualKey(SDLK_RSHIFT), 16);
    EXPECT_EQ(platformVirtualKey(SDLK_LCTRL), 17);
    EXPECT_EQ(platformVirtualKey(SDLK_SPACE), 32);
    EXPECT_EQ(platformVirtualKey(SDLK_LEFT), 37);
    EXPECT_EQ(platformVirtualKey(SDLK_DOWN), 40);
    EXPECT_EQ(platformVirtualKey(SDLK_AUDIOPLAY), -1);
}

TEST(WindowProcedure, KeepsKeysAndTheActiveFlag) {
    displayWindowProc({EVENT_KEY_DOWN, VK_F1, 0, 0});
    EXPECT_TRUE(KeyState[VK_F1]);
    displayWindowProc({EVENT_KEY_DOWN, VK_F1, 0, 0});  // auto-repeat sets it again
    EXPECT_TRUE(KeyState[VK_F1]);
    displayWindowProc({EVENT_KEY_UP, VK_F1, 0, 0});
    EXPECT_FALSE(KeyState[VK_F1]);
    displayWindowProc({EVENT_KEY_DOWN, 300, 0, 0});  // out of range: ignored, nothing written
    displayWindowProc({EVENT_KEY_DOWN, -1, 0, 0});
    displayWindowProc({EVENT_MINIMIZED, 0, 0, 0});
    EXPECT_FALSE(isActive);
    displayWindowProc({EVENT_RESTORED, 0, 0, 0});
    EXPECT_TRUE(isActive);
}

TEST(SeekKeys, JumpOneSecondFromTheLastFrameAndClampAtTheStart) {
    audioSetOffline(true);
    startMusic();  // in offline mode the clock is ours to set
    ASSERT_NE(musicStream, nullptr);
    KeyState[VK_M] = true;
    applySeekKeys(10.0f);
    EXPECT_EQ(musicTimeMs(), 11000);
    KeyState[VK_M] = false;
    KeyState[VK_N] = true;
    applySeekKeys(10.0f);
    EXPECT_EQ(musicTimeMs(), 9000);
    applySeekKeys(0.4f);  // asks for -600 ms: the position stops at 0
    EXPECT_EQ(musicTimeMs(), 0);
    KeyState[VK_M] = true;  // both held: both seeks happen, N's last
    applySeekKeys(50.0f);
    EXPECT_EQ(musicTimeMs(), 49000);
    KeyState[VK_M] = KeyState[VK_N] = false;
    applySeekKeys(50.0f);
    EXPECT_EQ(musicTimeMs(), 49000);
}

// The projection keeps the picture's 4:3 whatever the drawable, so the scenes see what they see in
// the 800x600 window; a flat window still gets a viewport of height 1 and no division by zero.
TEST(ResizeScene, FlatWindowGetsHeightOneAndThePicturesProjection) {
    ASSERT_TRUE(openTestGlContext());
    resizeScene(800, 0);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[3], 1);
    EXPECT_EQ(pictureRect.drawableHeight, 1);
    EXPECT_EQ(pictureRect.height, 1);
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    // gluPerspective: m[0] = f / aspect, m[5] = f with f = cot(22.5 degrees).
    EXPECT_NEAR(projection[5], 2.41421f, 1e-4f);
    EXPECT_NEAR(projection[0], 2.41421f * 600.0f / 800.0f, 1e-4f);
    resizeScene(1920, 1080);
    EXPECT_EQ(pictureRect.x, 240);
    EXPECT_EQ(pictureRect.width, 1440);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_NEAR(projection[0], 2.41421f * 600.0f / 800.0f, 1e-4f);
    resizeScene(800, 600);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_NEAR(projection[0], 2.41421f * 600.0f / 800.0f, 1e-4f);
    EXPECT_EQ(pictureRect.region, 512);
    GLint mode;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

namespace {

// GL programs, shaders and textures alive in the current context (names are handed out from 1).
int liveGlObjects() {
    typedef GLboolean (*IsObject)(GLuint);
    static IsObject isProgram = reinterpret_cast<IsObject>(platformGetProcAddress("glIsProgram"));
    static IsObject isShader = reinterpret_cast<IsObject>(platformGetProcAddress("glIsShader"));
    int live = 0;
    for (GLuint name = 1; name < 4096; ++name) {
        live += glIsTexture(name) ? 1 : 0;
        live += isProgram && isProgram(name) ? 1 : 0;
        live += isShader && isShader(name) ? 1 : 0;
    }
    return live;
}

double residentMiB() {
    long pages = 0, resident = 0;
    FILE* statm = fopen("/proc/self/statm", "r");
    if (statm) {
        if (fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        fclose(statm);
    }
    return double(resident) * 4096.0 / (1024.0 * 1024.0);
}

}  // namespace

// F1 where the window and its context are kept (Wayland) runs the start-up again in the same
// context: no program, shader or picture may be left behind, and the pictures it still holds are
// kept rather than decoded again. Twenty switches, the figures printed at each.
TEST(KeptWindowSwitch, TwentySwitchesLeaveTheGlObjectsAndPicturesAsTheyWere) {
    ASSERT_TRUE(startDemoForTests(true));
    // The fresh context's state, which opening the display window keeps for each switch to restore.
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    ASSERT_TRUE(switchDisplayWindow("test", 800, 600, 32, false));
    const int objects = liveGlObjects();
    const size_t programs = shaderLibrary.programCount;
    const unsigned int water = sceneTextures[1];
    const double firstMiB = residentMiB();
    double settledMiB = firstMiB, lastMiB = firstMiB;
    for (int i = 1; i <= 20; ++i) {
        ASSERT_TRUE(switchDisplayWindow("test", 800, 600, 32, false));
        lastMiB = residentMiB();
        if (i == 5) settledMiB = lastMiB;  // the allocator's first growth is over by then
        printf("switch %2d: %d GL objects, %zu programs, %.1f MiB resident\n", i, liveGlObjects(),
               shaderLibrary.programCount, lastMiB);
        EXPECT_EQ(liveGlObjects(), objects) << "switch " << i;
        EXPECT_EQ(shaderLibrary.programCount, programs) << "switch " << i;
        EXPECT_EQ(sceneTextures[1], water) << "switch " << i << ": the pictures were loaded again";
        EXPECT_TRUE(blurProgram && blurProgram->linked);
    }
    printf("resident memory %.1f -> %.1f MiB over 20 switches\n", firstMiB, lastMiB);
    glPopClientAttrib();
    glPopAttrib();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    // Decoding the pictures again grew it by about 5 MiB a switch.
    EXPECT_LT(lastMiB - settledMiB, 16.0) << "resident memory grows with every switch";
}
