// appTest.cpp
// The shell's own rules: key codes, the window procedure's flags, the seek keys and resizing.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>
#include "glLayer/glLayer.h"

#include "app/app.h"
#include "assets/assets.h"
#include "director/director.h"
#include "platform/platform.h"
#include "tests/glTestContext.h"

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
