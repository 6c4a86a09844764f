// scenesTest.cpp
// Each scene on a real context: the camera its modelview matrix holds afterwards, the values its
// own helpers give at the times that pin them down, what it leaves switched on, and that a frame
// depends on its time only.
#include <gtest/gtest.h>

#include "glLayer/glLayer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "assets/assets.h"
#include "director/director.h"
#include "scenes/scenes.h"
#include "tests/sceneTestSupport.h"

namespace {

const double kDegrees = 180.0 / 3.14159265358979323846;

void expectEye(const float m[16], double x, double y, double z, double tolerance = 1e-3) {
    double eye[3];
    eyeOfView(m, eye);
    EXPECT_NEAR(eye[0], x, tolerance);
    EXPECT_NEAR(eye[1], y, tolerance);
    EXPECT_NEAR(eye[2], z, tolerance);
}

// The view looks from its eye towards (x, y, z).
void expectLooksAt(const float m[16], double x, double y, double z) {
    double eye[3], gaze[3];
    eyeOfView(m, eye);
    gazeOfView(m, gaze);
    double d[3] = {x - eye[0], y - eye[1], z - eye[2]};
    const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(gaze[k], d[k] / length, 1e-4) << "component " << k;
}

void expectIdentity(const float m[16]) {
    for (int k = 0; k < 16; ++k) EXPECT_EQ(m[k], (k % 5 == 0) ? 1.0f : 0.0f) << "element " << k;
}

// The angle in degrees (0 to 360) of a rotation about (1, 0, 1) held in the upper 3x3 of m.
double angleAboutDiagonal(const float m[16]) {
    const double cosine = (double(m[0]) + m[5] + m[10] - 1.0) / 2.0;
    // R - R^T = 2 sin(angle) [n]x with n = (1, 0, 1) / sqrt 2, so R(2,1) - R(1,2) = sqrt 2 sin(angle).
    const double sine = (double(m[6]) - m[9]) / std::sqrt(2.0);
    double angle = std::atan2(sine, cosine) * kDegrees;
    return angle < 0 ? angle + 360.0 : angle;
}

// A hash of the lower-left width x height pixels (the scene region by default).
unsigned long long regionHash(int width = 512, int height = 512) {
    static std::vector<unsigned char> pixels(800 * 600 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    unsigned long long hash = 1469598103934665603ull;
    for (size_t k = 0; k < size_t(width) * height * 3; ++k) hash = (hash ^ pixels[k]) * 1099511628211ull;
    return hash;
}

bool picturesLoaded() {
    for (unsigned texture : sceneTextures) {
        if (!texture) return false;
    }
    return true;
}

struct SceneCase {
    const char* name;
    void (*draw)();
    float time;
    float otherTime;
    bool leavesTexturingOn;
};

const SceneCase sceneCases[] = {
    {"water sphere", drawWaterSphereScene, 30.0f, 12.0f, false},
    {"spinning model", drawSpinningModelScene, 80.0f, 70.0f, true},
    {"acid sphere", drawAcidSphereScene, 90.4f, 100.0f, false},
    {"star dome", drawStarDomeScene, 115.0f, 108.0f, false},
    {"sprite knots", drawKnotsScene, 140.0f, 136.0f, true},
    {"floor model", drawFloorModelScene, 151.0f, 146.0f, false},
    {"checker tunnel", drawTunnelScene, 160.0f, 166.0f, false},
    {"swaying sprites", drawSwayingSpritesScene, 175.0f, 170.0f, false},
    {"floor model again", drawFloorModelScene, 190.0f, 185.0f, false},
};

// A small model: four vertices and six triangles, one group listing nine triangle positions.
// Positions 0, 4 and 8 carry glows; bad entries can be put there.
struct GlowModel {
    Vec3 vertices[5] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}};
    Vec3 normals[5] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    ObjTriangle triangles[6] = {
        {{1, 2, 3}, {0, 0, 0}}, {{2, 3, 4}, {0, 0, 0}}, {{1, 2, 4}, {0, 0, 0}},
        {{1, 3, 4}, {0, 0, 0}}, {{4, 1, 2}, {0, 0, 0}}, {{3, 4, 1}, {0, 0, 0}},
    };
    uint32_t positions[9] = {0, 1, 2, 3, 4, 5, 0, 1, 2};
    char name[8] = "default";
    ObjGroup group = {name, 9, positions, nullptr};
    ObjModel model = {4, vertices, normals, 0, nullptr, 6, triangles, &group};
};

}  // namespace

TEST(SceneState, EveryScenePopsWhatItPushesAndSwitchesOffWhatItShould) {
    ASSERT_TRUE(startDemoForTests());
    for (const SceneCase& c : sceneCases) {
        SCOPED_TRACE(c.name);
        drawSceneFrame(c.draw, c.time);
        EXPECT_TRUE(glStateIsBalanced());
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_FALSE(glIsEnabled(GL_FOG));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
        EXPECT_EQ(bool(glIsEnabled(GL_TEXTURE_2D)), c.leavesTexturingOn);
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        GLboolean depthWrites = GL_FALSE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
        EXPECT_TRUE(depthWrites);
        float texture[16];
        glGetFloatv(GL_TEXTURE_MATRIX, texture);
        expectIdentity(texture);
    }
}

TEST(SceneState, AFrameDependsOnItsTimeOnly) {
    ASSERT_TRUE(startDemoForTests());
    for (const SceneCase& c : sceneCases) {
        SCOPED_TRACE(c.name);
        // The first frame may set the clear colour the later ones start from.
        drawSceneFrame(c.draw, c.time);
        drawSceneFrame(c.draw, c.time);
        const unsigned long long played = regionHash();
        drawSceneFrame(c.draw, c.otherTime);
        // Untextured, several scenes are white from edge to edge at any time.
        if (picturesLoaded()) {
            EXPECT_NE(regionHash(), played) << "the picture does not move";
        }
        drawSceneFrame(c.draw, c.time);
        EXPECT_EQ(regionHash(), played) << "seeking back shows another picture";
    }
}

TEST(WaterSphere, CameraCirclesInsideTheSphere) {
    ASSERT_TRUE(startDemoForTests());
    float m[16];
    drawSceneFrame(drawWaterSphereScene, 0.0f);
    readModelview(m);
    expectEye(m, 0.0, 0.0, 40.0);
    expectLooksAt(m, 0.0, 0.0, 0.0);
    drawSceneFrame(drawWaterSphereScene, 30.0f);
    readModelview(m);
    expectEye(m, 37.51999907, 0.0, 13.86541271);
    expectLooksAt(m, 0.0, -19.17848549, 0.0);
    // In silence the dark sprites keep a half-size of 0.2.
    EXPECT_FLOAT_EQ(darkSpriteHalfSize(0.0f), 0.2f);
    EXPECT_FLOAT_EQ(darkSpriteHalfSize(0.5f), 0.7f);
}

TEST(WaterSphere, IntroPicturesShowOnlyInsideTheirWindows) {
    ASSERT_TRUE(startDemoForTests());
    const float starts[12] = {1, 6, 14, 20, 26, 31, 36, 42, 48, 55, 58, 62};
    const float ends[12] = {6, 14, 20, 26, 31, 36, 42, 48, 55, 58, 62, 68};
    // Over a mid-grey window, a frame changes exactly when some picture is drawn.
    auto changesFrame = [](float t) {
        DemoTime = t;
        glViewport(0, 0, 800, 600);
        glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
        unsigned long long before = regionHash(800, 600);
        drawIntroLayers();
        return regionHash(800, 600) != before;
    };
    EXPECT_FALSE(changesFrame(0.5f));
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(changesFrame(starts[i])) << "a picture at its window's exact start";
    }
    EXPECT_FALSE(changesFrame(68.0f));
    for (int i = 0; i < 12; ++i) {
        if (!layerTextures[i] || !layerMasks[i]) GTEST_SKIP() << "intro pictures not generated";
    }
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(changesFrame((starts[i] + ends[i]) / 2.0f)) << "no picture inside its window";
    }
    EXPECT_TRUE(changesFrame(67.0f));  // the twelfth runs past the opening; the director cuts it
}

TEST(SpinningModel, FlightTrackFliesInThrowsOutAndReturns) {
    // At 66.5 s the track is at time 50, a fifth of the way from key 0 to key 1: behind the camera.
    const Vec3 start = modelFlightTranslation(66.5f);
    EXPECT_NEAR(start.x, -9.045f, 1e-3f);
    EXPECT_NEAR(start.y, 0.0f, 1e-6f);
    EXPECT_NEAR(start.z, 0.236f, 1e-3f);
    const Vec3 centre = modelFlightTranslation(72.0f);
    EXPECT_FLOAT_EQ(centre.x, 0.0f);
    EXPECT_FLOAT_EQ(centre.y, 0.0f);
    EXPECT_FLOAT_EQ(centre.z, -7.0f);
    // Thrown up out of the picture by 76 s, still there for a hundredth, then below it.
    EXPECT_NEAR(modelFlightTranslation(76.0f).y, 10.0f, 1e-4f);
    EXPECT_NEAR(modelFlightTranslation(76.005f).y, 10.0f, 0.01f);
    EXPECT_NEAR(modelFlightTranslation(76.01f).y, -10.0f, 0.01f);
    EXPECT_NEAR(modelFlightTranslation(76.03f).y, -10.0f, 0.05f);
    EXPECT_NEAR(modelFlightTranslation(77.0f).y, 0.0f, 1e-4f);
    EXPECT_FLOAT_EQ(modelFlightTranslation(86.9f).z, -7.0f);
}

TEST(SpinningModel, GlowsSitOnEveryFourthTriangleAndSkipBadIndices) {
    ASSERT_TRUE(startDemoForTests());
    GlowModel glow;
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -10.0f);
    const int perSprite = countPolygons([] { drawBillboard({0.0f, 0.0f, 0.0f}, 1.1f); });
    ASSERT_GT(perSprite, 0);
    EXPECT_EQ(countPolygons([&] { drawVertexGlows(glow.model); }), 3 * perSprite);
    // A triangle with a vertex index past the model and a list entry past the triangles.
    glow.triangles[4].vertex[1] = 99;
    glow.positions[8] = 42;
    EXPECT_EQ(countPolygons([&] { drawVertexGlows(glow.model); }), perSprite);
    glow.triangles[0].vertex[0] = -3;
    EXPECT_EQ(countPolygons([&] { drawVertexGlows(glow.model); }), 0);
    EXPECT_TRUE(glStateIsBalanced());
}

TEST(SpinningModel, GlowsAppearOnlyAfter76Seconds) {
    ASSERT_TRUE(startDemoForTests());
    GlowModel glow;
    const ObjModel saved = demoModel;
    demoModel = glow.model;
    // A projection that clips nothing of the scene, so the model counts as well at y = +-10.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-50, 50, -50, 50, -50, 50);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const int perSprite = countPolygons([] { drawBillboard({0.0f, 0.0f, 0.0f}, 1.0f); });
    auto polygonsAt = [](float t) {
        return countPolygons([t] { drawSceneFrame(drawSpinningModelScene, t); });
    };
    const int without = polygonsAt(76.0f);
    EXPECT_GT(without, 0);
    EXPECT_EQ(polygonsAt(76.01f), without + 3 * perSprite);
    EXPECT_EQ(polygonsAt(75.9f), without);
    demoModel = saved;
    EXPECT_TRUE(startDemoForTests());  // the window's projection again
}

TEST(AcidSphere, PanelFlashesLightTheirThirdForAThirdOfASecond) {
    ASSERT_TRUE(startDemoForTests());
    DemoTime = 90.0f;
    // Lights (or not) panel on black and reads the middles of the three thirds of the region.
    auto flash = [](int panel, float time, unsigned char thirds[3][3]) {
        glViewport(0, 0, 512, 512);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
        drawPanelFlash(panel, time);
        readPixel(85, 256, thirds[0]);
        readPixel(256, 256, thirds[1]);
        readPixel(426, 256, thirds[2]);
    };
    unsigned char thirds[3][3];
    // 0.15 s after the flash: the value holds at 0.5.
    flash(1, 89.85f, thirds);
    EXPECT_NEAR(thirds[1][0], 64, 2);
    EXPECT_NEAR(thirds[1][1], 45, 2);
    EXPECT_EQ(thirds[1][2], 0);
    EXPECT_EQ(thirds[0][0] + thirds[2][0] + thirds[0][1] + thirds[2][1], 0);
    flash(2, 89.85f, thirds);
    EXPECT_NEAR(thirds[2][0], 64, 2);
    EXPECT_NEAR(thirds[2][1], 89, 2);
    EXPECT_EQ(thirds[1][0], 0);
    // Panel 0 is dimmer: alpha 0.5 - 0.2.
    flash(0, 89.85f, thirds);
    EXPECT_NEAR(thirds[0][0], 27, 2);
    EXPECT_NEAR(thirds[0][1], 8, 2);
    EXPECT_NEAR(thirds[0][2], 8, 2);
    EXPECT_EQ(thirds[1][0], 0);
    // Before its time and after 0.35 s nothing shows; a panel number out of range draws nothing.
    for (float time : {90.5f, 89.6f}) {
        flash(1, time, thirds);
        EXPECT_EQ(thirds[1][0] + thirds[1][1], 0) << time;
    }
    for (int panel : {-1, 3, 7}) {
        flash(panel, 89.85f, thirds);
        EXPECT_EQ(thirds[0][0] + thirds[1][0] + thirds[2][0], 0) << panel;
    }
    EXPECT_TRUE(glStateIsBalanced());
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0] + colour[1] + colour[2] + colour[3], 4.0f);
}

TEST(AcidSphere, GazeSweepsFromTheCentreAndDotsPulse) {
    ASSERT_TRUE(startDemoForTests());
    float m[16];
    drawSceneFrame(drawAcidSphereScene, 90.0f);
    readModelview(m);
    expectEye(m, 0.0, 0.0, 0.0);
    expectLooksAt(m, 17.87993312, 17.87993312, -8.96147251);
    float low = 1.0f, high = 0.0f;
    for (int i = 0; i < 200; ++i) {
        for (float t = 87.0f; t < 106.0f; t += 0.25f) {
            low = std::min(low, acidDotHalfSize(i, t));
            high = std::max(high, acidDotHalfSize(i, t));
        }
    }
    EXPECT_GE(low, 0.5f);
    EXPECT_LT(low, 0.501f);
    EXPECT_LE(high, 0.9f);
    EXPECT_GT(high, 0.899f);
}

TEST(StarDome, DiscAngleFollowsAbsoluteTimeAndCameraDrifts) {
    ASSERT_TRUE(startDemoForTests());
    EXPECT_EQ(twirlDiscAngle(106.0f), -3180.0f);
    EXPECT_EQ(std::fmod(twirlDiscAngle(106.0f) + 3600.0f, 360.0f), 60.0f);
    EXPECT_EQ(twirlDiscAngle(118.0f), -3540.0f);  // one turn every 12 s
    float m[16];
    drawSceneFrame(drawStarDomeScene, 106.0f);
    readModelview(m);
    expectEye(m, 1.26322198, 2.0, 0.75650245);
    expectLooksAt(m, 0.0, 0.0, 0.0);
}

TEST(SpriteKnots, TurnOnlyEighteenDegreesOverTheScene) {
    ASSERT_TRUE(startDemoForTests());
    EXPECT_EQ(knotRotationAngle(135.0f), 770.0f);
    EXPECT_EQ(knotRotationAngle(144.0f), 788.0f);
    // The transform the last knot leaves: 20 units ahead, turned about (1, 0, 1).
    float m[16];
    drawSceneFrame(drawKnotsScene, 135.0f);
    readModelview(m);
    EXPECT_NEAR(m[12], 0.0f, 1e-5f);
    EXPECT_NEAR(m[13], 0.0f, 1e-5f);
    EXPECT_NEAR(m[14], -20.0f, 1e-5f);
    EXPECT_NEAR(angleAboutDiagonal(m), 50.0, 1e-3);
    drawSceneFrame(drawKnotsScene, 144.0f);
    readModelview(m);
    EXPECT_NEAR(angleAboutDiagonal(m), 68.0, 1e-3);
    EXPECT_TRUE(glStateIsBalanced());
}

// Every float GL feeds back (GL_3D) while draw runs.
std::vector<GLfloat> fedBack(void (*draw)()) {
    static std::vector<GLfloat> buffer(1 << 21);
    glFeedbackBuffer(GLsizei(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    return std::vector<GLfloat>(buffer.begin(), buffer.begin() + std::max(used, 0));
}

TEST(SpriteKnots, KnotPositionsWorkedOutOnceStayRightForAnyFactors) {
    ASSERT_TRUE(startDemoForTests());
    DemoTime = 140.0f;
    const auto knotA = [] { drawSpriteKnot(1.0f, 2.0f, 3.0f, texDotSprite); };
    const std::vector<GLfloat> first = fedBack(knotA);
    ASSERT_GT(first.size(), 6000u);
    // More factor sets than the scene has knots, so earlier positions are replaced and must be
    // worked out again, not served from a table of other factors.
    const std::vector<GLfloat> second = fedBack([] { drawSpriteKnot(4.0f, 5.0f, 6.0f, texDotSprite); });
    EXPECT_NE(first, second);
    fedBack([] { drawSpriteKnot(7.0f, 8.0f, 9.0f, texDotSprite); });
    fedBack([] { drawSpriteKnot(10.0f, 11.0f, 12.0f, texDotSprite); });
    fedBack([] { drawSpriteKnot(13.0f, 14.0f, 15.0f, texDotSprite); });
    EXPECT_EQ(fedBack(knotA), first);
    EXPECT_EQ(fedBack([] { drawSpriteKnot(4.0f, 5.0f, 6.0f, texDotSprite); }), second);
    EXPECT_TRUE(glStateIsBalanced());
}

TEST(SpriteKnots, SceneWithoutTheDepthTestDrawsTheSamePicture) {
    ASSERT_TRUE(startDemoForTests());
    auto region = [] {
        std::vector<unsigned char> pixels(512 * 512 * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 512, 512, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    };
    // The three knots drawn one by one with the depth test on, as the director's state has it.
    glEnable(GL_DEPTH_TEST);
    drawSceneFrame(
        [] {
            drawSpriteKnot(5.0f, 8.0f, 15.0f, texDotSprite);
            drawSpriteKnot(8.0f, 5.0f, 18.0f, texDotSprite2);
            drawSpriteKnot(10.0f, 6.0f, 12.0f, texDotSprite3);
        },
        139.0f);
    const std::vector<unsigned char> tested = region();
    drawSceneFrame(drawKnotsScene, 139.0f);
    EXPECT_TRUE(region() == tested);
    EXPECT_GT(regionBrightness(), 512LL * 512 * 3 * 10);  // not an empty picture on both sides
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    glDisable(GL_DEPTH_TEST);
    drawSceneFrame(drawKnotsScene, 139.0f);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    glEnable(GL_DEPTH_TEST);
    EXPECT_TRUE(glStateIsBalanced());
}

TEST(SpriteKnots, SpriteHalfSizesPulseBetween08And12) {
    float low = 2.0f, high = 0.0f;
    for (float t : {135.0f, 137.3f, 139.9f, 142.1f, 143.99f}) {
        for (int i = 0; i < 6000; ++i) {
            low = std::min(low, knotSpriteHalfSize(i, t));
            high = std::max(high, knotSpriteHalfSize(i, t));
        }
    }
    EXPECT_GE(low, 0.8f);
    EXPECT_LT(low, 0.8001f);
    EXPECT_LE(high, 1.2f);
    EXPECT_GT(high, 1.1999f);
    // 1.4 t = pi / 2 puts sprite 0 at its largest, 3 pi / 2 at its smallest.
    EXPECT_FLOAT_EQ(knotSpriteHalfSize(0, 1.12199738f), 1.2f);
    EXPECT_FLOAT_EQ(knotSpriteHalfSize(0, 3.36599214f), 0.8f);
}

TEST(FloorModel, CameraRowsAndTheIdentityViewAtTheirBounds) {
    ASSERT_TRUE(startDemoForTests());
    double eye[3], centre[3];
    ASSERT_TRUE(floorCamera(147.0f, eye, centre));
    EXPECT_NEAR(eye[0], -7.688, 1e-3);
    EXPECT_EQ(eye[1], 8.0);
    EXPECT_NEAR(eye[2], 10.483, 1e-3);
    float m[16];
    drawSceneFrame(drawFloorModelScene, 147.0f);
    readModelview(m);
    expectEye(m, -7.68764788, 8.0, 10.48332322);
    expectLooksAt(m, 0.0, 0.0, 0.0);
    drawSceneFrame(drawFloorModelScene, 151.0f);  // low ellipse
    readModelview(m);
    expectEye(m, 5.21203503, 3.0, -9.3769145);
    drawSceneFrame(drawFloorModelScene, 155.0f);  // high ellipse, aimed past the model
    readModelview(m);
    expectEye(m, -6.06056482, 8.0, 9.14742351);
    expectLooksAt(m, 1.0, 0.0, 2.0);
    drawSceneFrame(drawFloorModelScene, 190.0f);  // the second window
    readModelview(m);
    expectEye(m, 3.22556517, 8.0, 12.59347957);
    // At the rows' exact bounds no camera applies: the eye stays at the origin looking down -z.
    for (float t : {150.0f, 153.5f}) {
        SCOPED_TRACE(t);
        EXPECT_FALSE(floorCamera(t, eye, centre));
        drawSceneFrame(drawFloorModelScene, t);
        readModelview(m);
        expectIdentity(m);
    }
    EXPECT_FALSE(floorCamera(158.0f, eye, centre));
    EXPECT_FALSE(floorCamera(203.0f, eye, centre));
}

TEST(FloorModel, ParticleHalfSizesRangeFrom02To12) {
    // Particle 0 where sin(T) = -1 and where sin(T) = 1.
    EXPECT_FLOAT_EQ(floorParticleHalfSize(0, 4.71238898f), 0.2f);
    EXPECT_FLOAT_EQ(floorParticleHalfSize(0, 1.57079633f), 1.2f);
    for (int i = 0; i < 220; ++i) {
        const float size = floorParticleHalfSize(i, 150.0f);
        EXPECT_GE(size, 0.2f);
        EXPECT_LE(size, 1.2f);
    }
}

TEST(CheckerTunnel, CameraStaysInsideTheTubeAndTheTubeRestoresItsMatrices) {
    ASSERT_TRUE(startDemoForTests());
    float m[16];
    drawSceneFrame(drawTunnelScene, 160.0f);
    readModelview(m);
    expectEye(m, 0.65827578, -1.98777735, -2.92688799);
    expectLooksAt(m, 0.0, 0.0, 0.0);
    // The tube works inside whatever frame the caller set and gives it back unchanged.
    glLoadIdentity();
    glTranslatef(1.0f, 2.0f, -3.0f);
    glRotatef(20.0f, 0.0f, 1.0f, 0.0f);
    float before[16], after[16];
    readModelview(before);
    glEnable(GL_TEXTURE_2D);
    drawTunnelTube(4.0f, 3.0f, 6.0f, 31.4f, texChecker);
    glDisable(GL_TEXTURE_2D);
    readModelview(after);
    EXPECT_EQ(memcmp(before, after, sizeof before), 0);
    glGetFloatv(GL_TEXTURE_MATRIX, after);
    expectIdentity(after);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glStateIsBalanced());
}

TEST(CheckerTunnel, BlobSpritesRangeFromMinus01To07) {
    EXPECT_NEAR(tunnelBlobHalfSize(0, 4.71238898f), -0.1f, 1e-6f);
    EXPECT_NEAR(tunnelBlobHalfSize(0, 1.57079633f), 0.7f, 1e-6f);
    // sin(i + t) = -0.75 makes a sprite vanish into a point.
    EXPECT_NEAR(tunnelBlobHalfSize(0, 3.98965473f), 0.0f, 1e-6f);
    EXPECT_NEAR(tunnelBlobHalfSize(3, 0.98965473f), 0.0f, 1e-6f);
}

TEST(SwayingSprites, SizesAreFixedPerSpriteBetweenHalfAndTwoAndAHalf) {
    float low = 3.0f, high = 0.0f;
    for (int i = 0; i < 200; ++i) {
        low = std::min(low, swayingSpriteHalfSize(i));
        high = std::max(high, swayingSpriteHalfSize(i));
    }
    EXPECT_NEAR(low, 0.50001f, 1e-5f);   // sprite 11: sin 11 = -0.99999
    EXPECT_NEAR(high, 2.49991f, 1e-5f);  // sprite 33: sin 33 = 0.99991
    EXPECT_FLOAT_EQ(swayingSpriteHalfSize(0), 1.5f);
}

TEST(SwayingSprites, CameraDriftsLikeTheStarDomes) {
    ASSERT_TRUE(startDemoForTests());
    float m[16];
    drawSceneFrame(drawSwayingSpritesScene, 170.0f);
    readModelview(m);
    expectEye(m, 1.35027134, 2.0, -1.99652004);
    expectLooksAt(m, 0.0, 0.0, 0.0);
}
