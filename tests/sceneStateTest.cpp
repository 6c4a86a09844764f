// sceneStateTest.cpp
// GL state that scenes leave behind for later frames, through frames rendered in sequence by the
// director: the clear colour (set by the water sphere, floor and white-sprite scenes) and the fog
// range (30-40 from start-up, 20-30 once the tunnel has run), seeks backwards included.
#include <gtest/gtest.h>

#include "glLayer/glLayer.h"

#include <cmath>

#include "director/director.h"
#include "platform/platform.h"
#include "scenes/scenes.h"
#include "tests/sceneTestSupport.h"

namespace {

// One frame of the director at music time t (seconds).
int renderAt(double t) {
    audioSetOfflineTimeMs(llround(t * 1000.0));
    return renderFrame();
}

::testing::AssertionResult clearColourIs(float r, float g, float b, float a) {
    GLfloat c[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, c);
    if (c[0] == r && c[1] == g && c[2] == b && c[3] == a) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "clear colour (" << c[0] << ", " << c[1] << ", " << c[2] << ", " << c[3] << ")";
}

::testing::AssertionResult fogRangeIs(float start, float end) {
    GLfloat s = 0, e = 0;
    glGetFloatv(GL_FOG_START, &s);
    glGetFloatv(GL_FOG_END, &e);
    if (s == start && e == end) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "fog from " << s << " to " << e;
}

}  // namespace

TEST(CarriedState, ClearColourFollowsTheLastSceneThatSetOne) {
    ASSERT_TRUE(startDemoForTests(true));
    EXPECT_TRUE(clearColourIs(0, 0, 0, 0.5f));  // start-up's
    ASSERT_EQ(renderAt(87.0), 1);               // no scene at a bound
    EXPECT_TRUE(clearColourIs(0, 0, 0, 0.5f));
    ASSERT_EQ(renderAt(10.0), 1);
    EXPECT_TRUE(clearColourIs(0, 0, 0, 0));
    ASSERT_EQ(renderAt(100.0), 1);  // the acid sphere sets none
    EXPECT_TRUE(clearColourIs(0, 0, 0, 0));
    ASSERT_EQ(renderAt(170.0), 1);
    EXPECT_TRUE(clearColourIs(1, 1, 1, 1));
    // The empty stretch and scenes that set none now clear to white.
    ASSERT_EQ(renderAt(130.0), 1);
    EXPECT_TRUE(clearColourIs(1, 1, 1, 1));
    ASSERT_EQ(renderAt(95.0), 1);
    EXPECT_TRUE(clearColourIs(1, 1, 1, 1));
    ASSERT_EQ(renderAt(150.5), 1);
    EXPECT_TRUE(clearColourIs(0, 0, 0, 0));
    ASSERT_EQ(renderAt(175.0), 1);
    EXPECT_TRUE(clearColourIs(1, 1, 1, 1));
    ASSERT_EQ(renderAt(190.0), 1);  // the floor's second window
    EXPECT_TRUE(clearColourIs(0, 0, 0, 0));
    ASSERT_EQ(renderAt(178.0), 1);
    ASSERT_EQ(renderAt(20.0), 1);  // seek back into the opening
    EXPECT_TRUE(clearColourIs(0, 0, 0, 0));
    // What the next frame's clear then shows in the region.
    setViewport(512, 512);
    glClear(GL_COLOR_BUFFER_BIT);
    unsigned char pixel[3];
    readPixel(256, 256, pixel);
    EXPECT_EQ(pixel[0] + pixel[1] + pixel[2], 0);
    ASSERT_EQ(renderAt(170.0), 1);
    glClear(GL_COLOR_BUFFER_BIT);
    readPixel(256, 256, pixel);
    EXPECT_EQ(pixel[0] + pixel[1] + pixel[2], 3 * 255);
}

TEST(CarriedState, FloorFogsOverTheStartUpRangeUntilTheTunnelHasRun) {
    ASSERT_TRUE(startDemoForTests(true));
    EXPECT_TRUE(fogRangeIs(30, 40));
    for (double t = 144.1; t < 157; t += 1.5) {
        ASSERT_EQ(renderAt(t), 1);
        EXPECT_TRUE(fogRangeIs(30, 40)) << t;
        EXPECT_FALSE(glIsEnabled(GL_FOG));
    }
    drawSceneFrame(drawFloorModelScene, 147.0f);
    const long long farFog = regionBrightness();
    // A seek from the first window straight into the second keeps the start-up range.
    ASSERT_EQ(renderAt(190.0), 1);
    EXPECT_TRUE(fogRangeIs(30, 40));
    ASSERT_EQ(renderAt(160.0), 1);
    EXPECT_TRUE(fogRangeIs(20, 30));
    ASSERT_EQ(renderAt(190.0), 1);
    EXPECT_TRUE(fogRangeIs(20, 30));
    drawSceneFrame(drawFloorModelScene, 147.0f);
    const long long nearFog = regionBrightness();
    // The same frame, with the floor fading to black 10 units nearer.
    EXPECT_LT(nearFog, farFog * 0.95) << "far fog " << farFog << ", near fog " << nearFog;
    // A seek back into the first window keeps the tunnel's range.
    ASSERT_EQ(renderAt(150.5), 1);
    EXPECT_TRUE(fogRangeIs(20, 30));
    drawSceneFrame(drawFloorModelScene, 147.0f);
    EXPECT_EQ(regionBrightness(), nearFog);
    // A new start-up (the window re-created) brings the start-up range back.
    ASSERT_TRUE(startDemoForTests(true));
    EXPECT_TRUE(fogRangeIs(30, 40));
}
