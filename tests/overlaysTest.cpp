// overlaysTest.cpp
// The 2D overlays drawn over a known frame on the offscreen context and read back: letterbox bars,
// fade alphas at and after their start, the progress bar's right edge, the masked layer's flicker
// window, the scroller's position and the logo's depth rule. Screen y counts from the top.
#include <gtest/gtest.h>

#include "glLayer/glLayer.h"

#include <cstdlib>

#include "assets/assets.h"
#include "director/director.h"
#include "tests/glTestContext.h"

namespace {

struct Pixel {
    int r, g, b;
};

// Screen coordinates of the 800x600 overlay space (y down) to the window's pixel rows (y up).
Pixel pixelAt(int x, int y) {
    unsigned char rgb[3] = {};
    glReadPixels(x, 599 - y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return {rgb[0], rgb[1], rgb[2]};
}

::testing::AssertionResult near(Pixel p, int r, int g, int b, int tolerance = 2) {
    if (std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance && std::abs(p.b - b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << p.r << ", " << p.g << ", " << p.b << ") is not (" << r << ", " << g << ", " << b << ")";
}

GLuint solidTexture(unsigned char r, unsigned char g, unsigned char b, unsigned char a) {
    unsigned char texels[4 * 4 * 4];
    for (int i = 0; i < 16; ++i) {
        texels[i * 4] = r;
        texels[i * 4 + 1] = g;
        texels[i * 4 + 2] = b;
        texels[i * 4 + 3] = a;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    return name;
}

// The state the overlays start from after the post pass, over a frame of one grey level; the
// texture slots the overlays read are swapped for solid test pictures and put back afterwards.
class Overlays : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(openTestGlContext());
        savedLogo = sceneTextures[texGroupLogo];
        for (int i = 0; i < LAYER_COUNT; ++i) {
            savedLayers[i] = layerTextures[i];
            savedMasks[i] = layerMasks[i];
        }
        savedTime = DemoTime;
        black = solidTexture(0, 0, 0, 255);
        white = solidTexture(255, 255, 255, 255);
        red = solidTexture(255, 0, 0, 255);
        green = solidTexture(0, 255, 0, 255);
        glViewport(0, 0, 800, 600);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_TRUE);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glMatrixMode(GL_MODELVIEW);
        glColor4f(1, 1, 1, 1);
    }
    void TearDown() override {
        sceneTextures[texGroupLogo] = savedLogo;
        for (int i = 0; i < LAYER_COUNT; ++i) {
            layerTextures[i] = savedLayers[i];
            layerMasks[i] = savedMasks[i];
        }
        DemoTime = savedTime;
        const GLuint made[] = {black, white, red, green};
        glDeleteTextures(4, made);
        glClearColor(0, 0, 0, 0.5f);
        glClearDepth(1.0);
    }
    void clearFrame(float grey) {
        glClearColor(grey, grey, grey, 1);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    // Texturing and blending off, both stacks at their base, modelview current, colour white.
    void expectStateLeftClean(bool colourWhite = true) {
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        GLint mode = 0, modelview = 0, projection = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelview);
        glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projection);
        EXPECT_EQ(mode, GL_MODELVIEW);
        EXPECT_EQ(modelview, 1);
        EXPECT_EQ(projection, 1);
        if (colourWhite) {
            GLfloat colour[4];
            glGetFloatv(GL_CURRENT_COLOR, colour);
            EXPECT_EQ(colour[0] + colour[1] + colour[2] + colour[3], 4.0f);
        }
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    GLuint black = 0, white = 0, red = 0, green = 0;
    unsigned savedLogo = 0, savedLayers[LAYER_COUNT] = {}, savedMasks[LAYER_COUNT] = {};
    float savedTime = 0;
};

}  // namespace

TEST_F(Overlays, LetterboxBarsAreBlackAndAlwaysInFront) {
    clearFrame(1);
    glClearDepth(0.0);  // nearest possible scene everywhere: the bars still pass
    glClear(GL_DEPTH_BUFFER_BIT);
    drawLetterbox();
    for (int x : {0, 400, 799}) {
        EXPECT_TRUE(near(pixelAt(x, 0), 0, 0, 0));
        EXPECT_TRUE(near(pixelAt(x, 79), 0, 0, 0));
        EXPECT_TRUE(near(pixelAt(x, 80), 255, 255, 255));
        EXPECT_TRUE(near(pixelAt(x, 519), 255, 255, 255));
        EXPECT_TRUE(near(pixelAt(x, 520), 0, 0, 0));
        EXPECT_TRUE(near(pixelAt(x, 599), 0, 0, 0));
    }
    expectStateLeftClean();
}

TEST_F(Overlays, FadesStartJustAfterTheirStartTime) {
    clearFrame(1);
    DemoTime = 106.0f;  // exactly the start: nothing drawn
    fadeFromBlack(106, 5);
    EXPECT_TRUE(near(pixelAt(400, 300), 255, 255, 255));
    DemoTime = 106.01f;
    fadeFromBlack(106, 5);
    EXPECT_TRUE(near(pixelAt(400, 300), 0, 0, 0, 2));
    expectStateLeftClean();

    clearFrame(1);
    DemoTime = 108.5f;
    fadeFromBlack(106, 5);
    EXPECT_TRUE(near(pixelAt(400, 300), 128, 128, 128, 2));
    clearFrame(1);
    DemoTime = 150.0f;  // long over: a transparent quad
    fadeFromBlack(106, 5);
    EXPECT_TRUE(near(pixelAt(400, 300), 255, 255, 255));

    clearFrame(1);
    DemoTime = 197.0f;
    fadeToBlack(197, 3);
    EXPECT_TRUE(near(pixelAt(400, 300), 255, 255, 255));
    DemoTime = 197.01f;
    fadeToBlack(197, 3);
    EXPECT_TRUE(near(pixelAt(400, 300), 254, 254, 254, 2));
    clearFrame(1);
    DemoTime = 198.5f;
    fadeToBlack(197, 3);
    EXPECT_TRUE(near(pixelAt(400, 300), 128, 128, 128, 2));
    clearFrame(1);
    DemoTime = 200.0f;  // black from 200 s on, corners included
    fadeToBlack(197, 3);
    for (int x : {0, 799})
        for (int y : {0, 300, 599}) EXPECT_TRUE(near(pixelAt(x, y), 0, 0, 0));
    expectStateLeftClean();
}

TEST_F(Overlays, ProgressBarEndsNearTheMiddleAtHalfTime) {
    EXPECT_EQ(progressBarRight(125, 124), 205.0f);
    EXPECT_EQ(progressBarRight(125, 125), 205.0f);
    EXPECT_NEAR(progressBarRight(125, 130), 419.997f, 1e-3f);
    EXPECT_LT(progressBarRight(125, 130), 420.0f);
    EXPECT_NEAR(progressBarRight(125, 135), 635.0f, 1e-3f);
    EXPECT_EQ(progressBarRight(125, 140), 635.0f);

    clearFrame(1);
    DemoTime = 130.0f;
    drawProgressBar(125);
    int lastRed = -1;
    for (int x = 200; x < 640; ++x) {
        const Pixel p = pixelAt(x, 485);
        if (p.r > 200 && p.g < 50) lastRed = x;
    }
    EXPECT_NEAR(lastRed + 1, 420, 2);  // the right edge of the last red pixel
    EXPECT_TRUE(near(pixelAt(206, 485), 255, 0, 0));
    EXPECT_TRUE(near(pixelAt(202, 485), 0, 0, 0));  // the frame around it
    EXPECT_TRUE(near(pixelAt(500, 471), 0, 0, 0));
    EXPECT_TRUE(near(pixelAt(500, 500), 0, 0, 0));
    EXPECT_TRUE(near(pixelAt(500, 485), 0, 0, 0));  // frame right of the red bar
    EXPECT_TRUE(near(pixelAt(500, 505), 255, 255, 255));
    EXPECT_TRUE(near(pixelAt(645, 485), 255, 255, 255));
    expectStateLeftClean(false);  // the colour is left red
}

TEST_F(Overlays, MaskedLayerFlickersInsideItsWindowOnly) {
    EXPECT_EQ(layerFlickerAlpha(136, 136), 0.0f);
    const float quarter = layerFlickerAlpha(136, 136.25f);
    EXPECT_GT(quarter, 0.2f);
    EXPECT_LT(quarter, 0.5f);
    EXPECT_NEAR(layerFlickerAlpha(136, 136.2f), 0.5f, 1e-3f);
    EXPECT_NEAR(layerFlickerAlpha(136, 136.505f), 1.0f, 0.01f);  // a hair short within 0.5 s
    EXPECT_EQ(layerFlickerAlpha(136, 136.52f), 1.0f);
    EXPECT_EQ(layerFlickerAlpha(136, 142), 1.0f);

    layerMasks[12] = black;  // blanks the frame under the picture
    layerTextures[12] = red;
    for (float t : {136.0f, 143.0f, 135.5f, 150.0f}) {
        clearFrame(0.5f);
        DemoTime = t;
        drawMaskedLayer(12, 136, 143);
        EXPECT_TRUE(near(pixelAt(400, 300), 128, 128, 128)) << t;
    }
    clearFrame(0.5f);
    DemoTime = 136.6f;
    drawMaskedLayer(12, 136, 143);
    EXPECT_TRUE(near(pixelAt(400, 300), 255, 0, 0));
    EXPECT_TRUE(near(pixelAt(0, 0), 255, 0, 0));
    EXPECT_TRUE(near(pixelAt(400, 520), 128, 128, 128));  // below the 512-unit picture
    expectStateLeftClean();

    clearFrame(0.5f);
    DemoTime = 136.25f;
    drawMaskedLayer(12, 136, 143);
    const Pixel weighted = pixelAt(400, 300);
    EXPECT_NEAR(weighted.r, quarter * 255, 3);
    EXPECT_EQ(weighted.g, 0);

    // A white mask keeps the frame, and the picture is added on top.
    layerMasks[13] = white;
    layerTextures[13] = green;
    clearFrame(0.5f);
    DemoTime = 150.0f;
    drawMaskedLayer(13, 144, 157);
    EXPECT_TRUE(near(pixelAt(400, 300), 128, 255, 128));
}

TEST_F(Overlays, ScrollerLeftEdgeMovesAt190UnitsPerSecond) {
    layerMasks[14] = black;
    layerTextures[14] = green;
    for (float t : {168.5f, 170.0f, 175.25f, 180.0f}) {
        SCOPED_TRACE(t);
        const float left = 812.0f - (t - 168.0f) * 190.0f;
        clearFrame(0.5f);
        DemoTime = t;
        drawScroller((t - 168.0f) * 190.0f);
        const int edge = int(left);
        if (edge >= 2 && edge < 797) {
            EXPECT_TRUE(near(pixelAt(edge - 2, 256), 128, 128, 128));
            EXPECT_TRUE(near(pixelAt(edge + 2, 256), 0, 255, 0));
        } else if (edge < 0) {
            EXPECT_TRUE(near(pixelAt(0, 256), 0, 255, 0));
        }
        EXPECT_TRUE(near(pixelAt(790, 120), 128, 128, 128));  // above the strip
        EXPECT_TRUE(near(pixelAt(790, 390), 128, 128, 128));  // below it
        if (left < 790 && left + 2048 > 790) {
            EXPECT_TRUE(near(pixelAt(790, 130), 0, 255, 0));
            EXPECT_TRUE(near(pixelAt(790, 380), 0, 255, 0));
        }
    }
    // Near the end the strip's right edge, 2048 units on, has come into view.
    clearFrame(0.5f);
    DemoTime = 182.4f;
    drawScroller((182.4f - 168.0f) * 190.0f);
    const int right = int(812.0f - (182.4f - 168.0f) * 190.0f + 2048.0f);
    EXPECT_TRUE(near(pixelAt(right - 2, 256), 0, 255, 0));
    EXPECT_TRUE(near(pixelAt(right + 2, 256), 128, 128, 128));
    expectStateLeftClean();
}

TEST_F(Overlays, LogoIsAddedOnlyWhereTheDepthBufferIsClear) {
    sceneTextures[texGroupLogo] = red;
    clearFrame(0);
    // Scene geometry left depth 0.7 in a corner square: nearer than the far plane, where the logo
    // lies, but farther than the middle of the range, where z = 0 of the ordinary 2D mode lies, so
    // the logo drawn in the wrong mode would show there.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 500, 100, 100);
    glClearDepth(0.7);
    glClear(GL_DEPTH_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    drawAdditiveOverlay(texGroupLogo, 1.0f);
    EXPECT_TRUE(near(pixelAt(400, 300), 255, 0, 0));
    EXPECT_TRUE(near(pixelAt(50, 50), 0, 0, 0));
    EXPECT_TRUE(near(pixelAt(400, 550), 0, 0, 0));  // below the picture quad
    expectStateLeftClean();

    clearFrame(0);
    drawAdditiveOverlay(texGroupLogo, 0.0f);  // band 4 at 1: gone
    EXPECT_TRUE(near(pixelAt(400, 300), 0, 0, 0));
    clearFrame(0);
    drawAdditiveOverlay(texGroupLogo, -0.5f);  // a louder band clamps to nothing
    EXPECT_TRUE(near(pixelAt(400, 300), 0, 0, 0));
}
