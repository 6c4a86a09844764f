// objReaderFuzz.cpp
// Fuzz target for the OBJ reader. The reader takes a path, so each input is written to an
// in-memory file (memfd) and read through /proc/self/fd. It is read twice into one model, as a
// re-created window does, and everything the drawing and normals code may touch is then visited:
// a triangle that passes isTriangleDrawable must address only stored vertices, normals and
// texture coordinates, and every group index must address a stored triangle.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>

#include "geometry/geometry.h"
#include "tests/fuzz/fuzzTarget.h"

namespace {

// Kept between inputs: every reading replaces the arrays of the one before.
ObjModel model = {};

const char* inputPath(const uint8_t* data, size_t size) {
    static int fd = -1;
    static char path[64];
    if (fd < 0) {
        fd = memfd_create("objReaderFuzz", 0);
        if (fd < 0) {
            perror("memfd_create");
            return nullptr;
        }
        snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    }
    if (ftruncate(fd, 0) != 0) return nullptr;
    size_t written = 0;
    while (written < size) {
        const ssize_t n = pwrite(fd, data + written, size - written, off_t(written));
        if (n <= 0) return nullptr;
        written += size_t(n);
    }
    return path;
}

struct Counts {
    uint32_t vertices, texcoords, triangles, groups;
};

Counts countsOf(const ObjModel& m) {
    Counts c = {m.vertexCount, m.texcoordCount, m.triangleCount, 0};
    for (const ObjGroup* g = m.groups; g; g = g->next) ++c.groups;
    return c;
}

// Reads what drawModel and computeVertexNormals read, so that an out-of-bounds index shows up
// under AddressSanitizer; returns a sum so the reads are not optimised away.
float visitModel(const ObjModel& m) {
    float sum = 0;
    const bool textured = m.texcoordCount > 0 && m.texcoords;
    for (const ObjGroup* group = m.groups; group; group = group->next) {
        FUZZ_CHECK(group->name != nullptr);
        for (uint32_t k = 0; k < group->triangleCount; ++k) {
            const uint32_t index = group->triangleIndices[k];
            FUZZ_CHECK(index < m.triangleCount);
            const ObjTriangle& triangle = m.triangles[index];
            if (!isTriangleDrawable(m, triangle)) continue;
            for (int j = 0; j < 3; ++j) {
                const Vec3& p = m.vertices[triangle.vertex[j]];
                const Vec3& n = m.normals[triangle.vertex[j]];
                sum += p.x + p.y + p.z + n.x + n.y + n.z;
                FUZZ_CHECK(std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z));
                if (textured) {
                    const float* uv = m.texcoords[triangle.texcoord[j]];
                    sum += uv[0] + uv[1];
                }
            }
        }
    }
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* path = inputPath(data, size);
    if (!path) return 0;
    FUZZ_CHECK(readObjModel(model, path));
    const Counts first = countsOf(model);
    FUZZ_CHECK(readObjModel(model, path));
    const Counts second = countsOf(model);
    // The second reading starts from an emptied model, so it finds exactly what the first found.
    FUZZ_CHECK(first.vertices == second.vertices && first.texcoords == second.texcoords &&
               first.triangles == second.triangles && first.groups == second.groups);
    FUZZ_CHECK(model.vertices != nullptr && model.normals != nullptr);
    FUZZ_CHECK((model.texcoordCount == 0) == (model.texcoords == nullptr));
    FUZZ_CHECK(findGroup(model, "default") != nullptr);
    volatile float sink = visitModel(model);
    (void)sink;
    return 0;
}
