// sceneNumbersTest.cpp
// The scenes' own numbers seen in what they draw: the acid scene's thirteen panel flashes (time
// and third of each, the quiet stretch, the overlapping pairs) read from the rendered region, and
// the spectrum band that sizes the opening's dark sprites and weights the model's glows, read from
// GL feedback with SpectrumBands set by the test.
#include <gtest/gtest.h>

#include "glLayer/glLayer.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "assets/assets.h"
#include "director/director.h"
#include "scenes/scenes.h"
#include "tests/sceneTestSupport.h"

namespace {

GLuint solidTexture(unsigned char level) {
    unsigned char texels[4 * 4 * 4];
    for (int i = 0; i < 16; ++i) {
        texels[i * 4] = texels[i * 4 + 1] = texels[i * 4 + 2] = level;
        texels[i * 4 + 3] = 255;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    return name;
}

// The acid scene with its sphere and dots drawn black (black sphere and sprite pictures, white
// masks), so that only the panel flashes light the region. The slots are put back afterwards.
class AcidFlashes : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(startDemoForTests());
        for (int slot : {int(texAcid02), int(texDotSprite), int(texDotMask)})
            saved[slot] = sceneTextures[slot];
        black = solidTexture(0);
        white = solidTexture(255);
        sceneTextures[texAcid02] = black;
        sceneTextures[texDotSprite] = black;
        sceneTextures[texDotMask] = white;
    }
    void TearDown() override {
        for (int slot : {int(texAcid02), int(texDotSprite), int(texDotMask)})
            sceneTextures[slot] = saved[slot];
        const GLuint made[] = {black, white};
        glDeleteTextures(2, made);
    }
    // Which thirds of the region are lit at time t (their middles read after a scene frame).
    std::vector<bool> litAt(float t) {
        drawSceneFrame(drawAcidSphereScene, t);
        std::vector<bool> lit;
        for (int x : {85, 256, 426}) {
            unsigned char rgb[3];
            readPixel(x, 256, rgb);
            lit.push_back(rgb[0] + rgb[1] + rgb[2] > 6);
        }
        return lit;
    }
    GLuint black = 0, white = 0;
    unsigned saved[SCENE_TEXTURE_COUNT] = {};
};

struct FlashRow {
    float time;
    int panel;
};
const FlashRow flashRows[13] = {
    {87.025f, 0}, {87.924f, 2}, {88.073f, 1}, {89.425f, 0}, {90.324f, 1},  {90.494f, 2},  {96.625f, 2},
    {97.525f, 1}, {97.695f, 0}, {99.024f, 1}, {99.924f, 2}, {100.094f, 0}, {100.824f, 2},
};

std::vector<bool> only(int panel) {
    std::vector<bool> lit(3, false);
    lit[size_t(panel)] = true;
    return lit;
}

}  // namespace

TEST_F(AcidFlashes, ThirteenRowsLightTheirThirdAtTheirTime) {
    const std::vector<bool> dark(3, false);
    EXPECT_EQ(litAt(93.0f), dark) << "the scene under the flashes is not black";
    for (const FlashRow& row : flashRows) {
        SCOPED_TRACE(testing::Message() << "row at " << row.time << " s, panel " << row.panel);
        // Dark 10 ms before; lit soon after (panel 0 shows only once the value passes 0.2, about
        // 22 ms in) and at the end of the hold; dark again after 0.35 s.
        const float soon = row.panel == 0 ? 0.03f : 0.015f;
        const std::vector<bool> before = litAt(row.time - 0.01f);
        EXPECT_FALSE(before[size_t(row.panel)]) << "lit before its time";
        const std::vector<bool> rising = litAt(row.time + soon);
        EXPECT_TRUE(rising[size_t(row.panel)]) << "not lit just after its time";
        const std::vector<bool> held = litAt(row.time + 0.24f);
        EXPECT_TRUE(held[size_t(row.panel)]) << "not lit at the end of the hold";
        const std::vector<bool> after = litAt(row.time + 0.36f);
        EXPECT_FALSE(after[size_t(row.panel)]) << "still lit after 0.35 s";
    }
    // Rows that stand alone light their third only.
    for (int row : {0, 3, 6, 9, 12}) {
        EXPECT_EQ(litAt(flashRows[row].time + 0.15f), only(flashRows[row].panel)) << "row " << row + 1;
    }
}

TEST_F(AcidFlashes, QuietFrom90Point85To96Point625) {
    const std::vector<bool> dark(3, false);
    for (float t = 90.86f; t < 96.62f; t += 0.05f) EXPECT_EQ(litAt(t), dark) << t;
    // The edges of the stretch: row 6 is still fading just before, row 7 lights just after.
    EXPECT_TRUE(litAt(90.80f)[2]);
    EXPECT_TRUE(litAt(96.65f)[2]);
}

TEST_F(AcidFlashes, OverlappingRowsLightTwoThirdsTogether) {
    // Rows 2 and 3, 5 and 6, 8 and 9, 11 and 12: the later one has risen, the earlier one holds.
    const struct {
        float t;
        std::vector<bool> lit;
    } pairs[] = {
        {88.15f, {false, true, true}},
        {90.55f, {false, true, true}},
        {97.75f, {true, true, false}},
        {100.15f, {true, false, true}},
    };
    for (const auto& pair : pairs) EXPECT_EQ(litAt(pair.t), pair.lit) << pair.t;
}

namespace {

// One polygon as GL feedback gives it: window coordinates and colour of its vertices.
struct FedPolygon {
    std::vector<float> x, y, z;
    float alpha;  // of its first vertex
};

std::vector<FedPolygon> feedbackPolygons(const std::function<void()>& draw) {
    static std::vector<GLfloat> buffer(1 << 22);
    glFeedbackBuffer(GLsizei(buffer.size()), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    std::vector<FedPolygon> polygons;
    if (used < 0) {
        ADD_FAILURE() << "feedback buffer overflow";
        return polygons;
    }
    // GL_3D_COLOR in RGBA mode: x, y, z, then r, g, b, a per vertex.
    for (GLint k = 0; k < used;) {
        const GLint token = GLint(buffer[size_t(k)]);
        if (token == GL_POLYGON_TOKEN) {
            const int count = int(buffer[size_t(k) + 1]);
            FedPolygon polygon;
            for (int v = 0; v < count; ++v) {
                const float* vertex = &buffer[size_t(k) + 2 + size_t(v) * 7];
                polygon.x.push_back(vertex[0]);
                polygon.y.push_back(vertex[1]);
                polygon.z.push_back(vertex[2]);
                if (v == 0) polygon.alpha = vertex[6];
            }
            polygons.push_back(polygon);
            k += 2 + count * 7;
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            k += 2;
        } else {
            ADD_FAILURE() << "unexpected feedback token " << token;
            break;
        }
    }
    return polygons;
}

// The half-size of a camera-facing square, from one polygon of it that no plane clipped: its
// window height and depth under the window's projection (45 degrees, 4:3, near 0.1, far 100) in
// the 512x512 region. Negative when the polygon is not such a square: its corners not on two rows
// and two columns at one depth, its sides not 3:4 as the projection draws a square, or an edge
// on the region's border (clipped).
double billboardHalfSize(const FedPolygon& p) {
    float left = p.x[0], right = p.x[0], bottom = p.y[0], top = p.y[0];
    for (size_t v = 0; v < p.x.size(); ++v) {
        left = std::min(left, p.x[v]);
        right = std::max(right, p.x[v]);
        bottom = std::min(bottom, p.y[v]);
        top = std::max(top, p.y[v]);
    }
    for (size_t v = 0; v < p.x.size(); ++v) {
        const bool onColumn = std::fabs(p.x[v] - left) < 0.01f || std::fabs(p.x[v] - right) < 0.01f;
        const bool onRow = std::fabs(p.y[v] - bottom) < 0.01f || std::fabs(p.y[v] - top) < 0.01f;
        if (!onColumn || !onRow || std::fabs(p.z[v] - p.z[0]) > 1e-6f) return -1;
    }
    if (left < 0.5f || bottom < 0.5f || right > 511.5f || top > 511.5f) return -1;
    if (std::fabs((right - left) - 0.75f * (top - bottom)) > 0.01f * (top - bottom) + 0.02f) return -1;
    const double nearPlane = 0.1, farPlane = 100.0;
    const double a = -(farPlane + nearPlane) / (farPlane - nearPlane);
    const double b = -2.0 * farPlane * nearPlane / (farPlane - nearPlane);
    const double ndcDepth = 2.0 * double(p.z[0]) - 1.0;
    const double distance = b / (a + ndcDepth);  // -z in eye space
    const double focal = 1.0 / std::tan(22.5 * 3.14159265358979323846 / 180.0);
    return double(top - bottom) * distance / (focal * 256.0) / 2.0;
}

// How many fed polygons are squares of half-size h (to 1 %).
int squaresOfHalfSize(const std::vector<FedPolygon>& polygons, double h) {
    int count = 0;
    for (const FedPolygon& p : polygons) {
        if (std::fabs(billboardHalfSize(p) - h) < 0.01 * h) ++count;
    }
    return count;
}

void setBands(float band18, float band19, float band20) {
    for (float& band : SpectrumBands) band = 0.0f;
    SpectrumBands[18] = band18;
    SpectrumBands[19] = band19;
    SpectrumBands[20] = band20;
}

}  // namespace

TEST(SpectrumBand19, SizesTheDarkSpritesOfTheOpening) {
    ASSERT_TRUE(startDemoForTests());
    auto frame = [] { return feedbackPolygons([] { drawSceneFrame(drawWaterSphereScene, 30.0f); }); };
    // Band 19 at 0.25: the dark swarm's squares have half-size 0.45, the glow swarm's stay 0.5.
    setBands(0.0f, 0.25f, 0.0f);
    std::vector<FedPolygon> polygons = frame();
    EXPECT_GT(squaresOfHalfSize(polygons, 0.45), 100);
    EXPECT_EQ(squaresOfHalfSize(polygons, 0.2), 0);
    EXPECT_GT(squaresOfHalfSize(polygons, 0.5), 100);
    // Silence in band 19, loud neighbours: the dark sprites keep half-size 0.2.
    setBands(0.25f, 0.0f, 0.25f);
    polygons = frame();
    EXPECT_GT(squaresOfHalfSize(polygons, 0.2), 100);
    EXPECT_EQ(squaresOfHalfSize(polygons, 0.45), 0);
    setBands(0.0f, 0.0f, 0.0f);
}

TEST(SpectrumBand19, WeightsTheModelsGlows) {
    ASSERT_TRUE(startDemoForTests());
    auto alphas = [] {
        std::vector<float> seen;
        for (const FedPolygon& p : feedbackPolygons([] { drawSceneFrame(drawSpinningModelScene, 80.0f); })) {
            if (p.alpha != 1.0f) seen.push_back(p.alpha);
        }
        return seen;
    };
    // The background and the model are drawn in white; only the glows carry band 19 as alpha.
    setBands(0.5f, 0.375f, 0.75f);
    std::vector<float> seen = alphas();
    ASSERT_GT(seen.size(), 10u);
    for (float alpha : seen) EXPECT_EQ(alpha, 0.375f);
    setBands(0.5f, 0.0f, 0.75f);
    seen = alphas();
    ASSERT_GT(seen.size(), 10u);
    for (float alpha : seen) EXPECT_EQ(alpha, 0.0f);
    setBands(0.0f, 0.0f, 0.0f);
}
