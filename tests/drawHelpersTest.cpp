// drawHelpersTest.cpp
// The shared drawing helpers observed through GL feedback: where the billboard corners land and
// which texture corner each gets, that the model draws only its valid triangles group by group
// with or without texture coordinates, and the state the masked billboard leaves.
#include <gtest/gtest.h>

#include "glLayer/glLayer.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "geometry/geometry.h"
#include "tests/glTestContext.h"

namespace {

struct FedVertex {
    float x, y, z;  // window coordinates
    float s, t;
};

// Draws with a 400x400 viewport over the cube -2..2 (window x = (x + 2) * 100) and returns every
// polygon vertex in the order GL received them.
std::vector<FedVertex> feedback(const std::function<void()>& draw) {
    static GLfloat buffer[1 << 16];
    glViewport(0, 0, 400, 400);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-2, 2, -2, 2, -2, 2);
    glMatrixMode(GL_MODELVIEW);
    glFeedbackBuffer(GLsizei(sizeof buffer / sizeof buffer[0]), GL_3D_COLOR_TEXTURE, buffer);
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    std::vector<FedVertex> vertices;
    for (GLint i = 0; i < used;) {
        const GLint token = GLint(buffer[i++]);
        if (token != GL_POLYGON_TOKEN) {
            ADD_FAILURE() << "unexpected feedback token " << token;
            break;
        }
        const int count = int(buffer[i++]);
        for (int v = 0; v < count; ++v, i += 11)
            vertices.push_back({buffer[i], buffer[i + 1], buffer[i + 2], buffer[i + 7], buffer[i + 8]});
    }
    return vertices;
}

// Whether some fed vertex lies at window (x, y) with texture coordinate (s, t).
bool hasCorner(const std::vector<FedVertex>& vertices, float x, float y, float s, float t) {
    return std::any_of(vertices.begin(), vertices.end(), [&](const FedVertex& v) {
        return std::fabs(v.x - x) < 0.01f && std::fabs(v.y - y) < 0.01f && std::fabs(v.s - s) < 1e-5f &&
               std::fabs(v.t - t) < 1e-5f;
    });
}

void expectUnitSquareFacingViewer(const std::vector<FedVertex>& vertices, float half) {
    ASSERT_FALSE(vertices.empty());
    const float lo = (2 - half) * 100, hi = (2 + half) * 100;
    EXPECT_TRUE(hasCorner(vertices, lo, lo, 0, 0));
    EXPECT_TRUE(hasCorner(vertices, hi, lo, 1, 0));
    EXPECT_TRUE(hasCorner(vertices, hi, hi, 1, 1));
    EXPECT_TRUE(hasCorner(vertices, lo, hi, 0, 1));
}

// A model of four vertices and two texture coordinates with groups "b" (newest), "a", "default".
struct SmallModel {
    Vec3 vertices[5] = {{0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    Vec3 normals[5] = {{0, 0, 0}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0.6f, 0, 0.8f}};
    float texcoords[3][2] = {{0, 0}, {0.25f, 0.5f}, {0.75f, 1}};
    ObjTriangle triangles[4] = {
        {{1, 2, 3}, {1, 2, 1}},
        {{1, 3, 4}, {1, 1, 2}},
        {{1, 3, 7}, {1, 1, 1}},  // vertex index past the end
        {{1, 2, 4}, {1, 2, 5}},  // texture-coordinate index past the end
    };
    uint32_t aList[2] = {0, 2};
    uint32_t bList[3] = {1, 3, 40};  // 40: no such triangle
    char aName[2] = "a", bName[2] = "b", defaultName[8] = "default";
    ObjGroup defaultGroup = {defaultName, 0, nullptr, nullptr};
    ObjGroup a = {aName, 2, aList, &defaultGroup};
    ObjGroup b = {bName, 3, bList, &a};
    ObjModel model = {4, vertices, normals, 2, texcoords, 4, triangles, &b};
};

}  // namespace

TEST(DrawHelpers, BillboardFacesTheViewerWhateverTheRotation) {
    ASSERT_TRUE(openTestGlContext());
    glLoadIdentity();
    expectUnitSquareFacingViewer(feedback([] { drawBillboard({0, 0, 0}, 1); }), 1);
    // Rotated 90 degrees about z: the corners turn back by the inverse rotation.
    expectUnitSquareFacingViewer(feedback([] {
                                     glRotatef(90, 0, 0, 1);
                                     drawBillboard({0, 0, 0}, 1);
                                 }),
                                 1);
    // A scale of k in the matrix scales the square by k squared (here 0.5 * 0.5).
    expectUnitSquareFacingViewer(feedback([] {
                                     glScalef(0.5f, 0.5f, 0.5f);
                                     drawBillboard({0, 0, 0}, 1);
                                 }),
                                 0.25f);
    // The centre is moved in object space.
    const auto moved = feedback([] { drawBillboard({1, 0.5f, 0}, 0.5f); });
    EXPECT_TRUE(hasCorner(moved, 250, 200, 0, 0));
    EXPECT_TRUE(hasCorner(moved, 350, 300, 1, 1));
}

TEST(DrawHelpers, BatchedBillboardsAreTheSquaresOfSingleBillboards) {
    ASSERT_TRUE(openTestGlContext());
    const Vec3 centres[3] = {{0, 0, 0}, {1, -0.5f, 0.25f}, {-1, 1, -0.5f}};
    const float halfSizes[3] = {0.5f, 0.25f, 0.75f};
    auto underRotation = [](const std::function<void()>& draw) {
        return feedback([&] {
            glRotatef(30, 1, 0, 1);
            glScalef(0.8f, 0.8f, 0.8f);
            draw();
        });
    };
    const auto single = underRotation([&] {
        for (int i = 0; i < 3; ++i) drawBillboard(centres[i], halfSizes[i]);
    });
    const auto batched = underRotation([&] { drawBillboards(centres, halfSizes, 3); });
    ASSERT_EQ(single.size(), batched.size());
    ASSERT_FALSE(single.empty());
    for (size_t i = 0; i < single.size(); ++i) {
        EXPECT_EQ(single[i].x, batched[i].x);
        EXPECT_EQ(single[i].y, batched[i].y);
        EXPECT_EQ(single[i].z, batched[i].z);
        EXPECT_EQ(single[i].s, batched[i].s);
        EXPECT_EQ(single[i].t, batched[i].t);
    }
    EXPECT_TRUE(feedback([&] { drawBillboards(centres, halfSizes, 0); }).empty());
}

TEST(DrawHelpers, MaskedBillboardLeavesItsState) {
    ASSERT_TRUE(openTestGlContext());
    glLoadIdentity();
    glColor4f(1, 1, 1, 1);
    GLuint textures[2] = {};  // mask, sprite: GL names, bound as given
    glGenTextures(2, textures);
    const auto vertices = feedback([&] { drawMaskedBillboard({0, 0, 0}, 1, textures[0], textures[1]); });
    EXPECT_EQ(vertices.size() % 2, 0u);  // two passes of the same square
    expectUnitSquareFacingViewer(vertices, 1);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), textures[1]);  // the sprite's pass comes last
    glDeleteTextures(2, textures);
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_TRUE(depthWrites);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint source = 0, destination = 0;
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    EXPECT_EQ(source, GL_SRC_ALPHA);
    EXPECT_EQ(destination, GL_ONE);
}

TEST(DrawHelpers, ModelDrawsValidTrianglesGroupByGroup) {
    ASSERT_TRUE(openTestGlContext());
    glLoadIdentity();
    SmallModel small;
    const auto vertices = feedback([&] { drawModel(small.model); });
    // Group b first (triangle 1), then a (triangle 0); the three bad entries are skipped.
    ASSERT_EQ(vertices.size(), 6u);
    EXPECT_TRUE(hasCorner({vertices.begin(), vertices.begin() + 3}, 300, 300, 0.25f, 0.5f));
    EXPECT_TRUE(hasCorner({vertices.begin(), vertices.begin() + 3}, 200, 300, 0.75f, 1));
    EXPECT_TRUE(hasCorner({vertices.begin() + 3, vertices.end()}, 300, 200, 0.75f, 1));
    // Normals come from the vertex index: the last vertex drawn is vertex 3.
    GLfloat normal[3];
    glGetFloatv(GL_CURRENT_NORMAL, normal);
    EXPECT_FLOAT_EQ(normal[2], 1.0f);
}

TEST(DrawHelpers, ModelWithoutTexcoordsSendsNone) {
    ASSERT_TRUE(openTestGlContext());
    glLoadIdentity();
    SmallModel small;
    small.model.texcoordCount = 0;
    small.model.texcoords = nullptr;
    const auto vertices = feedback([&] {
        glTexCoord2f(0.3f, 0.7f);
        drawModel(small.model);
    });
    // Without texture coordinates the triangle with a bad one is valid again.
    ASSERT_EQ(vertices.size(), 9u);
    for (const FedVertex& v : vertices) {
        EXPECT_FLOAT_EQ(v.s, 0.3f);
        EXPECT_FLOAT_EQ(v.t, 0.7f);
    }
    // An empty model draws nothing and does not touch its missing arrays.
    ObjModel empty = {};
    EXPECT_TRUE(feedback([&] { drawModel(empty); }).empty());
}
