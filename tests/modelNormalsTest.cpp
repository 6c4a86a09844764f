// modelNormalsTest.cpp
// Per-vertex normals: face normals weighted by area, winding decides the side, shared vertices
// blend, and sums of zero (unused vertices, slot 0, faces that cancel) come out as (0, 0, 0).
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <vector>

#include "geometry/geometry.h"

namespace {

// A model built in memory: the given positions (slot 0 left empty) and triangles, all in the
// group "default".
struct TestModel {
    std::vector<Vec3> vertices;
    std::vector<Vec3> normals;
    std::vector<ObjTriangle> triangles;
    std::vector<uint32_t> indices;
    ObjGroup group = {};
    ObjModel model = {};

    TestModel(std::initializer_list<Vec3> positions, std::initializer_list<std::vector<int>> corners) {
        vertices.push_back({0, 0, 0});
        vertices.insert(vertices.end(), positions);
        normals.assign(vertices.size(), Vec3{9, 9, 9});
        for (const auto& c : corners) {
            triangles.push_back({{c[0], c[1], c[2]}, {0, 0, 0}});
            indices.push_back(uint32_t(indices.size()));
        }
        static char name[] = "default";
        group = {name, uint32_t(indices.size()), indices.data(), nullptr};
        model.vertexCount = uint32_t(vertices.size() - 1);
        model.vertices = vertices.data();
        model.normals = normals.data();
        model.triangleCount = uint32_t(triangles.size());
        model.triangles = triangles.data();
        model.groups = &group;
        computeVertexNormals(model);
    }
};

void expectVec3(const Vec3& v, float x, float y, float z) {
    EXPECT_NEAR(v.x, x, 1e-6f);
    EXPECT_NEAR(v.y, y, 1e-6f);
    EXPECT_NEAR(v.z, z, 1e-6f);
}

}  // namespace

TEST(ModelNormals, OneTriangleFacesItsWinding) {
    TestModel ccw({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{1, 2, 3}});
    for (int v = 1; v <= 3; ++v) expectVec3(ccw.normals[v], 0, 0, 1);
    TestModel cw({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{1, 3, 2}});
    for (int v = 1; v <= 3; ++v) expectVec3(cw.normals[v], 0, 0, -1);
}

TEST(ModelNormals, RightAngleEdgeBlendsByArea) {
    // The edge from vertex 1 to 2 along x is shared by a face in the xy plane (normal +z) and
    // one in the xz plane (normal -y).
    const float h = std::sqrt(0.5f);
    TestModel equal({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{1, 2, 3}, {1, 2, 4}});
    expectVec3(equal.normals[1], 0, -h, h);
    expectVec3(equal.normals[2], 0, -h, h);
    expectVec3(equal.normals[3], 0, 0, 1);   // only the floor touches it
    expectVec3(equal.normals[4], 0, -1, 0);  // only the wall
    // Twice the floor: the shared normal leans toward the floor's own.
    TestModel unequal({{0, 0, 0}, {1, 0, 0}, {0, 2, 0}, {0, 0, 1}}, {{1, 2, 3}, {1, 2, 4}});
    const Vec3& n = unequal.normals[1];
    EXPECT_GT(n.z, -n.y);
    EXPECT_NEAR(n.z, 2.0f / std::sqrt(5.0f), 1e-6f);
    EXPECT_NEAR(n.y, -1.0f / std::sqrt(5.0f), 1e-6f);
}

TEST(ModelNormals, ZeroSumsAndBadTrianglesGiveZeroNormals) {
    // Slot 0, an unused vertex 4, and two faces that cancel at vertices 1 to 3; the triangle with
    // an index past the vertices is skipped.
    TestModel model({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}},
                    {{1, 2, 3}, {1, 3, 2}, {1, 2, 9}, {0, 1, 2}});
    for (int v = 0; v <= 4; ++v) expectVec3(model.normals[v], 0, 0, 0);
    // A degenerate triangle (two corners the same) adds nothing.
    TestModel degenerate({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{1, 2, 2}, {1, 2, 3}});
    expectVec3(degenerate.normals[1], 0, 0, 1);
    expectVec3(degenerate.normals[3], 0, 0, 1);
}
