// screenPassTest.cpp
// The post pass on a real context: what drawScreenCopy leaves behind, that the copied region is
// drawn upright over the whole window, and that the 2D modes restore both matrices.
#include <gtest/gtest.h>

#include "glLayer/glLayer.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "director/director.h"
#include "tests/glTestContext.h"

namespace {
void readMatrix(GLenum which, GLfloat* m) { glGetFloatv(which, m); }
}  // namespace

TEST(ScreenPass, CopyLeavesTheStateOverlaysStartFrom) {
    ASSERT_TRUE(openTestGlContext());
    createScreenTexture();
    glEnable(GL_DEPTH_TEST);
    glViewport(0, 0, 512, 512);
    glClearColor(0.2f, 0.4f, 0.6f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawScreenCopy(512, 512);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint width = 0, height = 0, format = 0;
    glBindTexture(GL_TEXTURE_2D, screenTexture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(width, 512);
    EXPECT_EQ(height, 512);
    EXPECT_EQ(format, GL_RGB8);
    // The region's colour now covers the whole window, corners included.
    unsigned char corners[2][3];
    glReadPixels(0, 0, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, corners[0]);
    glReadPixels(799, 599, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, corners[1]);
    for (auto& c : corners) {
        EXPECT_NEAR(c[0], 51, 2);
        EXPECT_NEAR(c[1], 102, 2);
        EXPECT_NEAR(c[2], 153, 2);
    }
    glClearColor(0, 0, 0, 0.5f);
}

TEST(ScreenPass, RegionIsDrawnUprightAndStretched) {
    ASSERT_TRUE(openTestGlContext());
    createScreenTexture();
    glViewport(0, 0, 512, 512);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // A red band over the top quarter of the region.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 384, 512, 128);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 0.5f);
    drawScreenCopy(512, 512);
    unsigned char top[3], bottom[3];
    glReadPixels(400, 580, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, top);  // window y counts from the bottom
    glReadPixels(400, 20, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, bottom);
    EXPECT_GT(top[0], 200);
    EXPECT_LT(bottom[0], 30);
    // The band's lower edge lands a quarter of the way down the 600-row window.
    unsigned char edge[2][3];
    glReadPixels(400, 600 - 150 + 3, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, edge[0]);
    glReadPixels(400, 600 - 150 - 3, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, edge[1]);
    EXPECT_GT(edge[0][0], 200);
    EXPECT_LT(edge[1][0], 30);
}

// In a drawable wider than 4:3 the region is taken from the picture's lower-left corner, scaled
// with the picture's height, and drawn over the picture only; outside it the drawable is black and
// the scenes' clear colour is kept for the next frame.
TEST(ScreenPass, CopyFollowsThePictureRectangle) {
    ASSERT_TRUE(openTestGlContext());
    createScreenTexture();
    fitPicture(640, 300);  // a 400x300 picture at x 120, region 256
    ASSERT_EQ(pictureRect.x, 120);
    ASSERT_EQ(pictureRect.region, 256);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    clearOutsidePicture();
    GLfloat clearColour[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    EXPECT_EQ(clearColour[0], 1.0f);
    EXPECT_EQ(clearColour[3], 1.0f);
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    setViewport(pictureRect.region, pictureRect.region);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 120);
    EXPECT_EQ(viewport[2], 256);
    glEnable(GL_SCISSOR_TEST);  // the "scene": the region painted green
    glScissor(120, 0, 256, 256);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    drawScreenCopy(pictureRect.region, pictureRect.region);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 120);
    EXPECT_EQ(viewport[1], 0);
    EXPECT_EQ(viewport[2], 400);
    EXPECT_EQ(viewport[3], 300);
    GLint width = 0;
    glBindTexture(GL_TEXTURE_2D, screenTexture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 256);
    auto pixel = [](int x, int y) {
        unsigned char rgb[3];
        glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
        return (rgb[0] << 16) | (rgb[1] << 8) | rgb[2];
    };
    EXPECT_EQ(pixel(0, 150), 0);  // left pillar
    EXPECT_EQ(pixel(119, 299), 0);
    EXPECT_EQ(pixel(639, 0), 0);  // right pillar
    EXPECT_EQ(pixel(520, 150), 0);
    for (int x : {120, 320, 519}) {
        for (int y : {0, 150, 299}) EXPECT_EQ(pixel(x, y), 0x00ff00) << x << "," << y;  // all green
    }
    fitPicture(800, 600);
    glClearColor(0, 0, 0, 0.5f);
}

// The texture holds the region, not the picture: created for a 1600x1200 picture it is 1024
// pixels square (the picture's size would be about 600 MB at the largest drawables).
TEST(ScreenPass, TextureIsMadeAtTheRegionsSize) {
    ASSERT_TRUE(openTestGlContext());
    fitPicture(1600, 1200);
    createScreenTexture();
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 1024);
    fitPicture(800, 600);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// A drawable beyond this context's limits gets a picture within them and one line saying so, once
// for that size.
TEST(ScreenPass, ADrawableBeyondTheLimitsIsKeptWithinThemAndSaidOnce) {
    ASSERT_TRUE(openTestGlContext());
    GLint viewport[2] = {0, 0}, texture = 0;
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &texture);
    ASSERT_GT(texture, 0);
    const int beyond = 2 * std::max(int(viewport[1]), int(texture));
    testing::internal::CaptureStderr();
    fitPicture(beyond * 4 / 3, beyond);
    fitPicture(beyond * 4 / 3, beyond);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_LE(pictureRect.width, viewport[0]);
    EXPECT_LE(pictureRect.height, viewport[1]);
    EXPECT_LE(pictureRect.region, texture);
    EXPECT_EQ(pictureRect.x, (beyond * 4 / 3 - pictureRect.width) / 2);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("beyond this GL's limits"), std::string::npos) << said;
    fitPicture(800, 600);
}

TEST(OrthoModes, BothRestoreBothMatricesAndLeaveModelviewCurrent) {
    ASSERT_TRUE(openTestGlContext());
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1, 1, -1, 1, 1, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1, 2, 3);
    GLfloat projection[16], modelview[16], after[16];
    readMatrix(GL_PROJECTION_MATRIX, projection);
    readMatrix(GL_MODELVIEW_MATRIX, modelview);
    for (int farZero = 0; farZero < 2; ++farZero) {
        if (farZero) {
            beginOrtho2DFarZero();
        } else {
            beginOrtho2D();
        }
        GLfloat ortho[16];
        readMatrix(GL_PROJECTION_MATRIX, ortho);
        EXPECT_NEAR(ortho[0], 2.0f / 800.0f, 1e-7f);
        EXPECT_NEAR(ortho[5], -2.0f / 600.0f, 1e-7f);  // y grows downwards
        EXPECT_NEAR(ortho[10], farZero ? -2.0f : -1.0f, 1e-6f);
        endOrtho2D();
        readMatrix(GL_PROJECTION_MATRIX, after);
        EXPECT_EQ(memcmp(after, projection, sizeof after), 0);
        readMatrix(GL_MODELVIEW_MATRIX, after);
        EXPECT_EQ(memcmp(after, modelview, sizeof after), 0);
        GLint mode;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW);
    }
}
