// glLayerTest.cpp
// The fixed-function behaviour the scenes rely on, measured in pixels and feedback on a real
// context. The same tests run in the desktop build (where they describe the driver) and in the
// GLES build (where they hold the layer to it): how quads and quad strips are split, linear fog by eye
// distance, sphere-map generation from an unnormalised normal, the texture matrix, GLU's sphere and cylinder,
// the matrix stacks' depths, RGB read-back alignment, mipmap level sizes, the attribute stack and the
// shader-object extensions.
#include <gtest/gtest.h>

#include "glLayer/glLayer.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "tests/glTestContext.h"

namespace {

const int kSide = 64;  // the test viewport, kSide x kSide pixels in the window's corner

class GlLayer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(openTestGlContext());
        while (glGetError() != GL_NO_ERROR) {
        }
        glViewport(0, 0, kSide, kSide);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        plainFixedFunction();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1, 1, -1, 1, 0, 100);  // eye-space z from 0 to -100 is in view
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    void TearDown() override {
        plainFixedFunction();
        glMatrixMode(GL_MODELVIEW);
        if (texture) glDeleteTextures(1, &texture);
    }

    // No texturing, fog or coordinate generation, and an identity texture matrix.
    static void plainFixedFunction() {
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_FOG);
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
    }

    static void quad(float x0, float y0, float x1, float y1, float z) {
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex3f(x0, y0, z);
        glTexCoord2f(1, 0);
        glVertex3f(x1, y0, z);
        glTexCoord2f(1, 1);
        glVertex3f(x1, y1, z);
        glTexCoord2f(0, 1);
        glVertex3f(x0, y1, z);
        glEnd();
    }

    static void pixel(int x, int y, unsigned char rgb[3]) {
        glFinish();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    }

    // A 16x1 nearest-filtered, repeating ramp: texel i has red i * 16.
    void bindRamp() {
        unsigned char ramp[16 * 3] = {};
        for (int i = 0; i < 16; ++i) ramp[i * 3] = static_cast<unsigned char>(i * 16);
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 16, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, ramp);
        glEnable(GL_TEXTURE_2D);
        glColor4f(1, 1, 1, 1);
    }

    GLuint texture = 0;
};

TEST_F(GlLayer, QuadsAndQuadStripsSplitAsTheDriverSplitsThem) {
    // Only the first corner is red. A lone quad (a b c d) is split along a-c, so the point beyond
    // the b-d diagonal still gets a's share, (1 - x) / 2 in the triangle (a b c).
    glBegin(GL_QUADS);
    glColor3f(1, 0, 0);
    glVertex2f(-1, -1);
    glColor3f(0, 0, 0);
    glVertex2f(1, -1);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    glEnd();
    unsigned char quadPixel[3];
    pixel(44, 36, quadPixel);  // x = 0.39, y = 0.14
    EXPECT_NEAR(quadPixel[0], (1.0 - (44.5 / 32.0 - 1.0)) / 2.0 * 255.0, 3.0);
    // Once any quad drawn with it (one glBegin or several, until the state changes) reaches
    // outside the view, the driver clips them all and splits along b-d instead: the same point,
    // beyond that diagonal, gets nothing of a.
    glClear(GL_COLOR_BUFFER_BIT);
    for (float x0 : {-1.0f, 0.9f}) {
        glBegin(GL_QUADS);
        glColor3f(1, 0, 0);
        glVertex2f(x0, -1);
        glColor3f(0, 0, 0);
        glVertex2f(x0 + 2, -1);
        glVertex2f(x0 + 2, 1);
        glVertex2f(x0, 1);
        glEnd();
    }
    unsigned char runPixel[3];
    pixel(44, 36, runPixel);  // not under the second quad, which starts at x = 0.9
    EXPECT_EQ(runPixel[0], 0);
    // A strip's quad (v0 v1 v3 v2) is split along v0-v3 likewise: the same point gets v0's share
    // (a split along v1-v2 would give it none).
    glClear(GL_COLOR_BUFFER_BIT);
    glBegin(GL_QUAD_STRIP);
    glColor3f(1, 0, 0);
    glVertex2f(-1, -1);
    glColor3f(0, 0, 0);
    glVertex2f(-1, 1);
    glVertex2f(1, -1);
    glVertex2f(1, 1);
    glEnd();
    unsigned char stripPixel[3];
    pixel(44, 36, stripPixel);
    EXPECT_NEAR(stripPixel[0], quadPixel[0], 1.0);
    EXPECT_GT(stripPixel[0], 60);
}

TEST_F(GlLayer, LinearFogFollowsTheEyeDistance) {
    glEnable(GL_FOG);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    const GLfloat black[4] = {0, 0, 0, 1};
    glFogfv(GL_FOG_COLOR, black);
    glFogf(GL_FOG_START, 20.0f);
    glFogf(GL_FOG_END, 30.0f);
    glColor3f(1, 1, 1);
    const float distances[] = {15.0f, 22.0f, 25.0f, 29.0f, 35.0f};
    for (float distance : distances) {
        glClear(GL_COLOR_BUFFER_BIT);
        quad(-1, -1, 1, 1, -distance);
        unsigned char rgb[3];
        pixel(32, 32, rgb);
        const double f = std::min(1.0, std::max(0.0, (30.0 - distance) / 10.0));
        EXPECT_NEAR(rgb[1], 255.0 * f, 1.0) << "at distance " << distance;
    }
    GLfloat start = 0, end = 0;
    glGetFloatv(GL_FOG_START, &start);
    glGetFloatv(GL_FOG_END, &end);
    EXPECT_EQ(start, 20.0f);
    EXPECT_EQ(end, 30.0f);
}

// s of the sphere map for an eye-space point p and normal n, as GL works it out (n as given).
double sphereMapS(const double p[3], const double n[3]) {
    const double length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    const double u[3] = {p[0] / length, p[1] / length, p[2] / length};
    const double nu = n[0] * u[0] + n[1] * u[1] + n[2] * u[2];
    const double r[3] = {u[0] - 2 * n[0] * nu, u[1] - 2 * n[1] * nu, u[2] - 2 * n[2] * nu};
    const double m = 2.0 * std::sqrt(r[0] * r[0] + r[1] * r[1] + (r[2] + 1) * (r[2] + 1));
    return r[0] / m + 0.5;
}

TEST_F(GlLayer, SphereMapTakesTheNormalUnnormalised) {
    bindRamp();
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    // A small square around (0.5, 0, -1) whose normal is four units long.
    glNormal3f(0, 0, 4);
    glBegin(GL_QUADS);
    glVertex3f(0.45f, -0.05f, -1);
    glVertex3f(0.55f, -0.05f, -1);
    glVertex3f(0.55f, 0.05f, -1);
    glVertex3f(0.45f, 0.05f, -1);
    glEnd();
    unsigned char rgb[3];
    pixel(48, 32, rgb);
    const double centre[3] = {0.5, 0, -1};
    const double given[3] = {0, 0, 4}, unit[3] = {0, 0, 1};
    const int texel = int(sphereMapS(centre, given) * 16);
    ASSERT_NE(texel, int(sphereMapS(centre, unit) * 16)) << "the case does not tell the two apart";
    EXPECT_EQ(rgb[0], texel * 16);
}

TEST_F(GlLayer, TextureMatrixMovesTheCoordinates) {
    bindRamp();
    quad(-1, -1, 1, 1, -1);
    unsigned char plain[3];
    pixel(9, 32, plain);  // s = 9.5 / 64
    glMatrixMode(GL_TEXTURE);
    glTranslatef(0.5f, 0, 0);
    glMatrixMode(GL_MODELVIEW);
    quad(-1, -1, 1, 1, -1);
    unsigned char moved[3];
    pixel(9, 32, moved);
    EXPECT_EQ(plain[0], 2 * 16);
    EXPECT_EQ(moved[0], 10 * 16);
    GLfloat m[16];
    glGetFloatv(GL_TEXTURE_MATRIX, m);
    EXPECT_EQ(m[12], 0.5f);
}

// Every vertex GL feeds back (GL_3D_COLOR_TEXTURE) while draw runs, as object x y z and s t under
// a 400x400 viewport over the cube -2..2.
struct Fed {
    double x, y, z, s, t;
};
template <typename Draw>
std::vector<Fed> fedBack(Draw draw) {
    static std::vector<GLfloat> buffer(1 << 18);
    glViewport(0, 0, 400, 400);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-2, 2, -2, 2, -2, 2);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glFeedbackBuffer(GLsizei(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    std::vector<Fed> out;
    for (GLint k = 0; k < used;) {
        if (GLint(buffer[size_t(k)]) != GL_POLYGON_TOKEN) {
            ADD_FAILURE() << "unexpected token " << buffer[size_t(k)];
            break;
        }
        const int count = int(buffer[size_t(k) + 1]);
        for (int v = 0; v < count; ++v) {
            const GLfloat* p = &buffer[size_t(k) + 2 + size_t(v) * 11];
            out.push_back({p[0] / 100.0 - 2.0, p[1] / 100.0 - 2.0, -(2.0 * p[2] - 1.0) * 2.0, p[7], p[8]});
        }
        k += 2 + count * 11;
    }
    return out;
}

// s of GLU's quadrics at a point: 1 at +y, falling towards +x; 0 and 1 are the same seam.
double quadricS(double x, double y) {
    double turn = std::atan2(x, y) / (2.0 * M_PI);
    if (turn < 0) turn += 1.0;
    return 1.0 - turn;
}

bool sameS(double a, double b) {
    const double d = std::fabs(a - b);
    return d < 2e-3 || std::fabs(d - 1.0) < 2e-3;
}

TEST_F(GlLayer, QuadricsHaveGlusOrientationAndTextureCoordinates) {
    GLUquadric* quadric = gluNewQuadric();
    gluQuadricNormals(quadric, GLU_SMOOTH);
    gluQuadricTexture(quadric, GL_TRUE);
    const std::vector<Fed> sphere = fedBack([&] { gluSphere(quadric, 1.5, 8, 6); });
    const std::vector<Fed> cylinder = fedBack([&] { gluCylinder(quadric, 1.0, 1.0, 1.5, 8, 3); });
    gluDeleteQuadric(quadric);
    glViewport(0, 0, kSide, kSide);
    ASSERT_GE(sphere.size(), size_t(8 * 6 * 3));
    ASSERT_GE(cylinder.size(), size_t(8 * 3 * 3));
    int checked = 0;
    for (const Fed& v : sphere) {
        EXPECT_NEAR(std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z), 1.5, 0.01);
        EXPECT_NEAR(v.t, 1.0 - std::acos(std::max(-1.0, std::min(1.0, v.z / 1.5))) / M_PI, 2e-3);
        if (std::hypot(v.x, v.y) > 0.01) {  // away from the poles, where s is any
            EXPECT_TRUE(sameS(v.s, quadricS(v.x, v.y))) << v.x << " " << v.y << " " << v.s;
        }
        ++checked;
    }
    for (const Fed& v : cylinder) {
        EXPECT_NEAR(std::hypot(v.x, v.y), 1.0, 0.01);
        EXPECT_NEAR(v.t, v.z / 1.5, 2e-3);
        EXPECT_TRUE(sameS(v.s, quadricS(v.x, v.y))) << v.x << " " << v.y << " " << v.s;
        ++checked;
    }
    EXPECT_GT(checked, 200);
}

TEST_F(GlLayer, MatrixStacksHoldGlsDepths) {
    const GLenum modes[3] = {GL_MODELVIEW, GL_PROJECTION, GL_TEXTURE};
    const GLenum limits[3] = {GL_MAX_MODELVIEW_STACK_DEPTH, GL_MAX_PROJECTION_STACK_DEPTH,
                              GL_MAX_TEXTURE_STACK_DEPTH};
    const GLint mesaDepths[3] = {32, 32, 10};  // the desktop driver's, which the layer copies
    for (int i = 0; i < 3; ++i) {
        GLint limit = 0;
        glGetIntegerv(limits[i], &limit);
        EXPECT_EQ(limit, mesaDepths[i]) << "stack " << i;
        glMatrixMode(modes[i]);
        int pushed = 0;
        while (pushed < 100) {
            glPushMatrix();
            if (glGetError() != GL_NO_ERROR) break;
            ++pushed;
        }
        EXPECT_EQ(pushed, limit - 1) << "stack " << i;
        for (int k = 0; k < pushed; ++k) glPopMatrix();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        glPopMatrix();
        EXPECT_EQ(glGetError(), GLenum(GL_STACK_UNDERFLOW));
    }
    glMatrixMode(GL_MODELVIEW);
}

TEST_F(GlLayer, RgbReadBackKeepsTheRowAlignment) {
    glClearColor(0.2f, 0.4f, 0.6f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    unsigned char rows[2 * 12];
    memset(rows, 0xEE, sizeof rows);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, 3, 2, GL_RGB, GL_UNSIGNED_BYTE, rows);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int row = 0; row < 2; ++row) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(rows[row * 12 + x * 3], 51);
            EXPECT_EQ(rows[row * 12 + x * 3 + 1], 102);
            EXPECT_EQ(rows[row * 12 + x * 3 + 2], 153);
        }
        for (int pad = 9; pad < 12; ++pad) EXPECT_EQ(rows[row * 12 + pad], 0xEE) << "padding written";
    }
}

TEST_F(GlLayer, MipmapLevelSizesAndFormatAreKept) {
    std::vector<unsigned char> rgba(8 * 4 * 4, 200), rgb(8 * 4 * 3, 100);
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    ASSERT_EQ(gluBuild2DMipmaps(GL_TEXTURE_2D, 4, 8, 4, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data()), 0);
    const int widths[4] = {8, 4, 2, 1}, heights[4] = {4, 2, 1, 1};
    for (int level = 0; level < 4; ++level) {
        GLint w = 0, h = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
        EXPECT_EQ(w, widths[level]) << "level " << level;
        EXPECT_EQ(h, heights[level]) << "level " << level;
    }
    GLint alpha = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alpha);
    EXPECT_EQ(alpha, 8);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 8, 4, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alpha);
    EXPECT_EQ(alpha, 0);
}

TEST_F(GlLayer, AttributeStackRestoresWhatTheScenesChange) {
    glBlendFunc(GL_ONE, GL_ZERO);
    glFogf(GL_FOG_END, 30.0f);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glEnable(GL_FOG);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    glFogf(GL_FOG_END, 77.0f);
    glClearColor(1, 1, 1, 1);
    glPopAttrib();
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint source = 0;
    glGetIntegerv(GL_BLEND_SRC, &source);
    EXPECT_EQ(source, GL_ONE);
    GLfloat end = 0, clear[4] = {};
    glGetFloatv(GL_FOG_END, &end);
    EXPECT_EQ(end, 30.0f);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 0.0f);
}

TEST_F(GlLayer, ShaderObjectExtensionsAreNamed) {
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    ASSERT_NE(extensions, nullptr);
    for (const char* name : {"GL_ARB_shader_objects", "GL_ARB_vertex_shader", "GL_ARB_fragment_shader",
                             "GL_ARB_shading_language_100"})
        EXPECT_NE(strstr(extensions, name), nullptr) << name;
}

}  // namespace
