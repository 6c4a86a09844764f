// modelNormals.cpp
// Smooth per-vertex normals from the geometry alone: every face adds its unnormalised normal (so
// larger faces weigh more) to its three vertices, then each sum is normalised. Float results, with
// the products of one expression formed in double before rounding.
#include "geometry/geometry.h"

#include <cmath>

namespace {

Vec3 faceNormal(const Vec3& p0, const Vec3& p1, const Vec3& p2) {
    const Vec3 e1 = subtractVec3(p1, p0);
    const Vec3 e2 = subtractVec3(p2, p0);
    return {float(double(e1.y) * e2.z - double(e1.z) * e2.y),
            float(double(e1.z) * e2.x - double(e1.x) * e2.z),
            float(double(e1.x) * e2.y - double(e1.y) * e2.x)};
}

void addInto(Vec3& sum, const Vec3& n) {
    sum.x += n.x;
    sum.y += n.y;
    sum.z += n.z;
}

}  // namespace

void computeVertexNormals(ObjModel& model) {
    if (!model.normals || !model.vertices) return;
    for (uint32_t i = 0; i <= model.vertexCount; ++i) model.normals[i] = {0, 0, 0};
    for (const ObjGroup* group = model.groups; group; group = group->next) {
        for (uint32_t k = 0; k < group->triangleCount; ++k) {
            const uint32_t index = group->triangleIndices[k];
            if (index >= model.triangleCount) continue;
            const ObjTriangle& triangle = model.triangles[index];
            if (!isTriangleDrawable(model, triangle)) continue;
            const Vec3 n = faceNormal(model.vertices[triangle.vertex[0]], model.vertices[triangle.vertex[1]],
                                      model.vertices[triangle.vertex[2]]);
            for (int j = 0; j < 3; ++j) addInto(model.normals[triangle.vertex[j]], n);
        }
    }
    for (uint32_t i = 0; i <= model.vertexCount; ++i) {
        Vec3& n = model.normals[i];
        const double x = n.x, y = n.y, z = n.z;
        const float length = float(std::sqrt(double(float((x * x + y * y) + z * z))));
        const float f = 1.0f / length;
        n = {n.x * f, n.y * f, n.z * f};
        // A zero sum (slot 0, an unused vertex, faces that cancel) or a non-finite one would give
        // NaN or infinity here; such a vertex gets the zero normal instead.
        if (!std::isfinite(n.x) || !std::isfinite(n.y) || !std::isfinite(n.z)) n = {0, 0, 0};
    }
}
