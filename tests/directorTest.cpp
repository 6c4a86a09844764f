// directorTest.cpp
// What the frame director picks at a given music time, the ramp the fades use, and the end of
// the presentation after 203 s.
#include <gtest/gtest.h>

#include "assets/assets.h"
#include "director/director.h"
#include "platform/platform.h"
#include "tests/glTestContext.h"

namespace {
const char* sceneAt(float t) {
    int i = sceneIndexAt(t);
    return i < 0 ? "none" : sceneSchedule[i].name;
}
}  // namespace

TEST(LinearRamp, RisesLinearlyOverItsSpanOnly) {
    EXPECT_EQ(linearRamp(106, 111, 106), 0.0f);
    EXPECT_EQ(linearRamp(106, 111, 108.5f), 0.5f);
    EXPECT_EQ(linearRamp(106, 111, 111), 1.0f);
    EXPECT_EQ(linearRamp(106, 111, 200), 1.0f);
    EXPECT_EQ(linearRamp(106, 111, 105.9f), 0.0f);
}

TEST(LinearRamp, EmptyAndReversedSpansJumpWithoutDividing) {
    EXPECT_EQ(linearRamp(5, 5, 5), 1.0f);
    EXPECT_EQ(linearRamp(5, 5, 4.9f), 0.0f);
    EXPECT_EQ(linearRamp(10, 4, 7), 0.0f);
    EXPECT_EQ(linearRamp(10, 4, 10), 1.0f);
}

TEST(Schedule, ScenesRunStrictlyInsideTheirWindows) {
    EXPECT_STREQ(sceneAt(0), "water sphere");
    EXPECT_STREQ(sceneAt(-3), "water sphere");  // the first row has no lower bound
    EXPECT_STREQ(sceneAt(66.5f), "none");
    EXPECT_STREQ(sceneAt(66.51f), "spinning model");
    EXPECT_STREQ(sceneAt(87), "none");
    EXPECT_STREQ(sceneAt(87.0001f), "acid sphere");
    EXPECT_STREQ(sceneAt(125), "none");
    EXPECT_STREQ(sceneAt(130), "none");
    EXPECT_STREQ(sceneAt(135), "none");
    EXPECT_STREQ(sceneAt(150), "floor model");
    EXPECT_STREQ(sceneAt(182.5f), "none");
    EXPECT_STREQ(sceneAt(190), "floor model again");
    EXPECT_EQ(sceneSchedule[sceneIndexAt(150)].draw, sceneSchedule[sceneIndexAt(190)].draw);
    EXPECT_STREQ(sceneAt(203), "none");
    EXPECT_STREQ(sceneAt(203.001f), "none");
}

TEST(Schedule, OverlaysFollowTheirOwnWindows) {
    EXPECT_EQ(overlaysAt(0), unsigned(OVERLAY_INTRO));
    EXPECT_EQ(overlaysAt(66.5f), 0u);
    EXPECT_EQ(overlaysAt(87), 0u);
    EXPECT_EQ(overlaysAt(87.0001f), 0u);
    EXPECT_EQ(overlaysAt(125), 0u);
    EXPECT_EQ(overlaysAt(130), unsigned(OVERLAY_LOGO));
    EXPECT_EQ(overlaysAt(135), 0u);
    EXPECT_EQ(overlaysAt(140), unsigned(OVERLAY_KEEP));
    EXPECT_EQ(overlaysAt(150), unsigned(OVERLAY_MEANWHILE));
    EXPECT_EQ(overlaysAt(170), unsigned(OVERLAY_SCROLLER));
    EXPECT_EQ(overlaysAt(182.5f), 0u);
    EXPECT_EQ(overlaysAt(203), 0u);
    EXPECT_EQ(overlaysAt(203.001f), 0u);
}

TEST(FrameDirector, EndsOnTheFirstFramePast203Seconds) {
    ASSERT_TRUE(openTestGlContext());
    audioSetOffline(true);
    ASSERT_TRUE(initDemo(createScreenTexture));
    audioSetOfflineTimeMs(203000);
    EXPECT_EQ(renderFrame(), 1);
    EXPECT_FLOAT_EQ(DemoTime, 203.0f);
    audioSetOfflineTimeMs(203001);
    EXPECT_EQ(renderFrame(), 0);
    EXPECT_FLOAT_EQ(DemoTime, 203.001f);
    // DemoTime follows the clock in both directions: seeking seeks the picture.
    audioSetOfflineTimeMs(87000);
    EXPECT_EQ(renderFrame(), 1);
    EXPECT_FLOAT_EQ(DemoTime, 87.0f);
}
