// billboardCornersTest.cpp
// The order in which a billboard sends its four corners: (centre - right) - up with texture
// corner (0, 0), then + right - up with (1, 0), + right + up with (1, 1), and + up - right with
// (0, 1), read back vertex by vertex from GL feedback.
#include <gtest/gtest.h>

#include "glLayer/glLayer.h"

#include <cmath>
#include <vector>

#include "geometry/geometry.h"
#include "tests/glTestContext.h"

namespace {

struct Corner {
    float x, y, s, t;
};

// The vertices of the one quad drawn, in the order GL received them: a 400x400 viewport over the
// cube -2..2, so window x = (x + 2) * 100.
std::vector<Corner> quadCorners(Vec3 centre, float halfSize) {
    static GLfloat buffer[1024];
    glViewport(0, 0, 400, 400);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-2, 2, -2, 2, -2, 2);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glShadeModel(GL_SMOOTH);
    glFeedbackBuffer(GLsizei(sizeof buffer / sizeof buffer[0]), GL_3D_COLOR_TEXTURE, buffer);
    glRenderMode(GL_FEEDBACK);
    drawBillboard(centre, halfSize);
    const GLint used = glRenderMode(GL_RENDER);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    // GL_3D_COLOR_TEXTURE in RGBA mode: x, y, z, r, g, b, a, s, t, r, q per vertex.
    std::vector<std::vector<Corner>> polygons;
    for (GLint i = 0; i < used;) {
        if (GLint(buffer[i]) != GL_POLYGON_TOKEN) {
            ADD_FAILURE() << "unexpected feedback token " << buffer[i];
            return {};
        }
        const int count = int(buffer[i + 1]);
        std::vector<Corner> polygon;
        for (int v = 0; v < count; ++v) {
            const GLfloat* p = buffer + i + 2 + v * 11;
            polygon.push_back({p[0], p[1], p[7], p[8]});
        }
        polygons.push_back(polygon);
        i += 2 + count * 11;
    }
    // One quad comes back as one polygon of four vertices, or as the triangles (1 2 3) (1 3 4)
    // or (1 2 4) (2 3 4) of its corners; either way the corners' order is recovered.
    if (polygons.size() == 1) return polygons[0];
    if (polygons.size() == 2 && polygons[0].size() == 3 && polygons[1].size() == 3) {
        const auto same = [](const Corner& a, const Corner& b) {
            return std::fabs(a.x - b.x) < 1e-3f && std::fabs(a.y - b.y) < 1e-3f && a.s == b.s && a.t == b.t;
        };
        const auto& a = polygons[0];
        const auto& b = polygons[1];
        if (same(a[0], b[0]) && same(a[2], b[1])) return {a[0], a[1], a[2], b[2]};
        if (same(a[1], b[0]) && same(a[2], b[2])) return {a[0], a[1], b[1], a[2]};
    }
    ADD_FAILURE() << "the quad came back as " << polygons.size() << " polygons of an unknown split";
    return {};
}

}  // namespace

TEST(BillboardCorners, SentCounterClockwiseFromTheLowerLeft) {
    ASSERT_TRUE(openTestGlContext());
    // Centre (0.5, -0.25, 0), half-size 1: window x from 150 to 350, y from 75 to 275.
    const std::vector<Corner> corners = quadCorners({0.5f, -0.25f, 0.0f}, 1.0f);
    const Corner expected[4] = {
        {150, 75, 0, 0},
        {350, 75, 1, 0},
        {350, 275, 1, 1},
        {150, 275, 0, 1},
    };
    ASSERT_EQ(corners.size(), 4u);
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k + 1);
        EXPECT_NEAR(corners[size_t(k)].x, expected[k].x, 0.01f);
        EXPECT_NEAR(corners[size_t(k)].y, expected[k].y, 0.01f);
        EXPECT_EQ(corners[size_t(k)].s, expected[k].s);
        EXPECT_EQ(corners[size_t(k)].t, expected[k].t);
    }
}
