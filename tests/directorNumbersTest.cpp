// directorNumbersTest.cpp
// The frame director's numbers as a frame shows them: the "glitch" uniform (0 below 183 s, kept
// at exactly 183 s, band 4 times 40 above), the logo's alpha 1 - band 4, SpectrumBands zero at
// load, used before the frame's own spectrum is copied and left alone past 203 s, and the post
// pass stretching the 512x512 region to 810 units, upright and not mirrored.
#include <gtest/gtest.h>

#include "glLayer/glLayer.h"

#include <cmath>
#include <string>

#include "assets/assets.h"
#include "director/director.h"
#include "external/qrx/shaderEntryPoints.h"
#include "platform/platform.h"
#include "tests/glTestContext.h"
#include "tests/sceneTestSupport.h"

namespace {

// Read during static initialisation, before any frame: the values SpectrumBands has at load.
const bool bandsZeroAtLoad = [] {
    for (float band : SpectrumBands) {
        if (band != 0.0f) return false;
    }
    return true;
}();

// Band 4 as given, its neighbours at other values, so a frame reading the wrong band shows it.
void setBand4(float band4) {
    for (int i = 0; i < 32; ++i) SpectrumBands[i] = 0.9f - 0.01f * float(i);
    SpectrumBands[4] = band4;
}

float glitchUniform() {
    const GLint location = qrx::glGetUniformLocationARB(blurProgram->handle, "glitch");
    float value = -1.0f;
    if (location >= 0) qrx::glGetUniformfvARB(blurProgram->handle, location, &value);
    return value;
}

// One frame of the director at a music position of ms milliseconds, band 4 set beforehand.
int frameAt(long long ms, float band4) {
    setBand4(band4);
    audioSetOfflineTimeMs(ms);
    return renderFrame();
}

}  // namespace

TEST(DirectorNumbers, GlitchIsZeroBefore183KeptAt183AndBand4Times40After) {
    ASSERT_TRUE(startDemoForTests(true));
    ASSERT_NE(blurProgram, nullptr);
    ASSERT_EQ(frameAt(190000, 0.25f), 1);
    EXPECT_FLOAT_EQ(glitchUniform(), 10.0f);
    ASSERT_EQ(frameAt(183000, 0.5f), 1);  // exactly 183 s: left as the frame before set it
    EXPECT_FLOAT_EQ(glitchUniform(), 10.0f);
    ASSERT_EQ(frameAt(183001, 0.5f), 1);
    EXPECT_FLOAT_EQ(glitchUniform(), 20.0f);
    ASSERT_EQ(frameAt(182999, 0.5f), 1);
    EXPECT_FLOAT_EQ(glitchUniform(), 0.0f);
    ASSERT_EQ(frameAt(183000, 0.75f), 1);
    EXPECT_FLOAT_EQ(glitchUniform(), 0.0f);
    ASSERT_EQ(frameAt(60000, 0.75f), 1);
    EXPECT_FLOAT_EQ(glitchUniform(), 0.0f);
}

TEST(DirectorNumbers, SpectrumBandsStartAtZeroAndAreCopiedAtTheEndOfEachFrame) {
    EXPECT_TRUE(bandsZeroAtLoad);
    ASSERT_TRUE(startDemoForTests(true));
    ASSERT_NE(blurProgram, nullptr);
    // The frame works with the bands it found; its own spectrum is kept for the next frame.
    ASSERT_EQ(frameAt(190000, 0.125f), 1);
    EXPECT_FLOAT_EQ(glitchUniform(), 5.0f);
    const float* spectrum = musicSpectrum();
    ASSERT_GT(spectrum[4], 0.0f) << "the music is silent at 190 s; the check below needs sound";
    for (int i = 0; i < 32; ++i) EXPECT_EQ(SpectrumBands[i], spectrum[i]) << "band " << i;
    const float band4 = SpectrumBands[4];
    audioSetOfflineTimeMs(190000);
    ASSERT_EQ(renderFrame(), 1);
    EXPECT_FLOAT_EQ(glitchUniform(), band4 * 40.0f);
    // The frame past 203 s ends the run and copies nothing.
    ASSERT_EQ(frameAt(203500, 0.5f), 0);
    EXPECT_EQ(SpectrumBands[4], 0.5f);
    EXPECT_EQ(SpectrumBands[0], 0.9f);
    EXPECT_EQ(SpectrumBands[31], 0.9f - 0.31f);
}

TEST(DirectorNumbers, LogoIsAddedWithAlphaOneMinusBand4) {
    ASSERT_TRUE(startDemoForTests(true));
    // A plain red logo; between 125 and 135 s the region under it is the cleared, empty scene.
    unsigned char texels[4 * 4 * 4];
    for (int i = 0; i < 16; ++i) {
        texels[i * 4] = 255;
        texels[i * 4 + 1] = texels[i * 4 + 2] = 0;
        texels[i * 4 + 3] = 255;
    }
    GLuint red = 0;
    glGenTextures(1, &red);
    glBindTexture(GL_TEXTURE_2D, red);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    const unsigned saved = sceneTextures[texGroupLogo];
    sceneTextures[texGroupLogo] = red;
    // The red the logo adds at the middle of the window (row 300 from the top).
    auto redAt = [](float band4) {
        EXPECT_EQ(frameAt(130000, band4), 1);
        unsigned char rgb[3];
        readPixel(400, 299, rgb);
        return int(rgb[0]);
    };
    const int base = redAt(1.0f);  // alpha 0: nothing added
    EXPECT_LT(base, 40);
    EXPECT_NEAR(redAt(0.25f) - base, 191, 3);
    EXPECT_NEAR(redAt(0.75f) - base, 64, 3);
    EXPECT_NEAR(redAt(0.5f) - base, 128, 3);
    sceneTextures[texGroupLogo] = saved;
    glDeleteTextures(1, &red);
}

TEST(DirectorNumbers, PostPassStretchesTheRegionTo810UnitsUnmirrored) {
    ASSERT_TRUE(openTestGlContext());
    createScreenTexture();
    // A black region with a red band over its leftmost eighth (columns 0 to 63) and a blue band
    // over its rightmost eighth (448 to 511): not symmetric, so a mirror shows.
    glViewport(0, 0, 512, 512);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 64, 512);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glScissor(448, 0, 64, 512);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 0.5f);
    glColor4f(1, 1, 1, 1);
    drawScreenCopy(512, 512);
    // Spread over 810 units from -5 to 805, the band edges land at 810 / 8 - 5 = 96.25 and at
    // 810 * 7 / 8 - 5 = 703.75 (a quad from 0 to 800 would put them at 100 and 700).
    auto at = [](int x) {
        unsigned char rgb[3];
        readPixel(x, 300, rgb);
        return std::string(rgb[0] > 200           ? "red"
                           : rgb[2] > 200         ? "blue"
                           : rgb[0] + rgb[2] < 30 ? "black"
                                                  : "mixed");
    };
    EXPECT_EQ(at(0), "red");
    EXPECT_EQ(at(94), "red");
    EXPECT_EQ(at(98), "black");
    EXPECT_EQ(at(400), "black");
    EXPECT_EQ(at(701), "black");
    EXPECT_EQ(at(706), "blue");
    EXPECT_EQ(at(799), "blue");
}
