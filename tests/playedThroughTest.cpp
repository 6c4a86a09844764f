// playedThroughTest.cpp
// The offline renderer's warm-up: which unseen frames of a run from the start it draws before a
// frame (the last to set each piece of carried state, the frame before always among them), and the
// state they leave, in any order of frames: clear colour, fog range, the kept glitch value; the
// benchmark's frames played through the same way, and a drawable of the wrong size refused.
#include <gtest/gtest.h>

#include "glLayer/glLayer.h"

#include <algorithm>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "director/director.h"
#include "external/qrx/shaderEntryPoints.h"
#include "tests/sceneTestSupport.h"
#include "tools/render/renderTool.h"

namespace {

std::vector<long long> plan(long long ms, FrameRate rate) {
    long long frames[kMaxWarmUpFrames];
    int count = planWarmUp(ms, rate, frames);
    return std::vector<long long>(frames, frames + count);
}

using Frames = std::vector<long long>;

void expectClearColour(float r, float g, float b, float a) {
    GLfloat c[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, c);
    EXPECT_EQ(c[0], r);
    EXPECT_EQ(c[1], g);
    EXPECT_EQ(c[2], b);
    EXPECT_EQ(c[3], a);
}

void expectFogRange(float start, float end) {
    GLfloat s = 0, e = 0;
    glGetFloatv(GL_FOG_START, &s);
    glGetFloatv(GL_FOG_END, &e);
    EXPECT_EQ(s, start);
    EXPECT_EQ(e, end);
}

float glitchUniform() {
    float value = -1;
    int location = qrx::glGetUniformLocationARB(blurProgram->handle, "glitch");
    qrx::glGetUniformfvARB(blurProgram->handle, location, &value);
    return value;
}

}  // namespace

TEST(PlayedThrough, WarmUpDrawsTheLastFrameThatSetsEachPieceOfState) {
    const FrameRate ten = {10, 1};
    // The white sprites' frame before sets the clear colour; the fog comes from the tunnel's last.
    EXPECT_EQ(plan(175000, ten), (Frames{167900, 174900}));
    // Before the tunnel the fog keeps its start-up range: no frame sets it.
    EXPECT_EQ(plan(150000, ten), (Frames{149900}));
    // The empty stretch sets no clear colour: the water sphere's last frame did.
    EXPECT_EQ(plan(130000, ten), (Frames{66400, 129900}));
    // A frame at exactly 183 s keeps the glitch value, so the one before it is drawn as well.
    EXPECT_EQ(plan(183000, ten), (Frames{167900, 182900}));
    EXPECT_EQ(plan(183100, ten), (Frames{167900, 182900, 183000}));
    // The first frame of a run has nothing before it.
    EXPECT_TRUE(plan(0, ten).empty());
    EXPECT_TRUE(plan(99, ten).empty());
    EXPECT_EQ(plan(100, ten), (Frames{0}));
}

TEST(PlayedThrough, WarmUpFollowsTheRunOfTheCallsRate) {
    // 60 fps: frame n at floor(n * 1000 / 60) ms, so 175 s (frame 10500) follows 174.983 s.
    const FrameRate sixty = {60, 1};
    EXPECT_EQ(frameMilliseconds(10500, sixty), 175000);
    EXPECT_EQ(plan(175000, sixty), (Frames{167983, 174983}));
    // 30000/1001: the frames before are the rate's own frames.
    const FrameRate ntsc = {30000, 1001};
    long long n = 5000;
    Frames got = plan(frameMilliseconds(n, ntsc), ntsc);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back(), frameMilliseconds(n - 1, ntsc));
    // A time off the rate's grid belongs to the run through it: one interval before, to the ms.
    EXPECT_EQ(plan(175005, {10, 1}).back(), 174905);
    // The slowest and fastest rates stay cheap: at most one frame per piece of state.
    EXPECT_LE(plan(203000, {1, 1}).size(), size_t(kMaxWarmUpFrames));
    EXPECT_LE(plan(203000, {1000, 1}).size(), size_t(kMaxWarmUpFrames));
    EXPECT_EQ(plan(203000, {1000, 1}).back(), 202999);
}

TEST(PlayedThrough, StateIsTheRunsInAnyOrderOfFrames) {
    ASSERT_TRUE(startDemoForTests(true));
    ASSERT_NE(blurProgram, nullptr);
    keepStartupState();
    const FrameRate ten = {10, 1};
    ASSERT_EQ(renderPlayedThroughFrame(200000, ten), 1);
    expectClearColour(0, 0, 0, 0);
    expectFogRange(20, 30);
    const float glitchAt200 = glitchUniform();
    // Back before the tunnel: the start-up fog range again, the floor's black.
    ASSERT_EQ(renderPlayedThroughFrame(150000, ten), 1);
    expectFogRange(30, 40);
    expectClearColour(0, 0, 0, 0);
    ASSERT_EQ(renderPlayedThroughFrame(175000, ten), 1);
    expectClearColour(1, 1, 1, 1);
    expectFogRange(20, 30);
    // 87 s (no scene) after the white sprites: the water sphere's black is the run's.
    ASSERT_EQ(renderPlayedThroughFrame(87000, ten), 1);
    expectClearColour(0, 0, 0, 0);
    expectFogRange(30, 40);
    // Exactly 183 s keeps the value of the frame before (182.9 s sets 0), not of the last drawn.
    ASSERT_EQ(renderPlayedThroughFrame(190000, ten), 1);
    ASSERT_EQ(renderPlayedThroughFrame(183000, ten), 1);
    EXPECT_EQ(glitchUniform(), 0.0f) << "after 200 s the value was " << glitchAt200;
    ASSERT_EQ(renderPlayedThroughFrame(203001, ten), 0);
}

// The benchmark measures the frames a run from the start shows: after 200 s (the tunnel's fog, the
// sprites' white) a frame at 150 s has the start-up fog and the floor's black, as a run has there.
TEST(PlayedThrough, BenchmarkFramesArePlayedThrough) {
    ASSERT_TRUE(startDemoForTests(true));
    keepStartupState();
    ASSERT_EQ(renderPlayedThroughFrame(175000, {60, 1}), 1);
    expectClearColour(1, 1, 1, 1);
    expectFogRange(20, 30);
    double wallMs = -1, cpuMs = -1;
    drawBenchmarkFrame(150000, &wallMs, &cpuMs);
    expectFogRange(30, 40);
    expectClearColour(0, 0, 0, 0);
    EXPECT_GT(wallMs, 0.0);
    EXPECT_GE(cpuMs, 0.0);
    // 183 s keeps the glitch value of the frame before it (182.983 s at 60 fps), whatever came last.
    drawBenchmarkFrame(190000, &wallMs, &cpuMs);
    drawBenchmarkFrame(183000, &wallMs, &cpuMs);
    EXPECT_EQ(glitchUniform(), 0.0f);
}

// A drawable of another size than asked for is refused with one line, never written.
TEST(PlayedThrough, DrawableOfAnotherSizeIsRefused) {
    ASSERT_TRUE(startDemoForTests(true));
    EXPECT_TRUE(offlineDrawableIs(800, 600));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(offlineDrawableIs(1600, 1200));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("asked for 1600x1200 frames, the GL window gives 800x600"), std::string::npos)
        << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}
