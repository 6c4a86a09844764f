// knotModel.cpp
// The model: a trefoil knot tube whose thickness swells and narrows smoothly along its length,
// written as OBJ text with positions, texture coordinates, normals and one group per lobe.
// Faces wind counter-clockwise seen from outside. Nearly flat quads stay quads; quads bent more
// than a little are written as two triangles split along their shorter diagonal, so the surface
// follows the tube more closely where it curves hardest.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/datagen/datagen.h"

namespace {

const int ringCount = 180;  // rings along the knot
const int sideCount = 16;   // vertices around each ring
const double twoPi = 6.283185307179586;

struct Point {
    double x, y, z;
};
Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Point operator*(Point a, double k) { return {a.x * k, a.y * k, a.z * k}; }
double dot(Point a, Point b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Point cross(Point a, Point b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double length(Point a) { return std::sqrt(dot(a, a)); }
Point unit(Point a) { return a * (1.0 / length(a)); }

// The (2, 3) torus knot, flattened a little so the strands pass well clear of each other.
Point knotCentre(double t) {
    const double ring = 2.6 + 1.3 * std::cos(3.0 * t);
    return {ring * std::cos(2.0 * t), ring * std::sin(2.0 * t), 1.3 * 1.3 * std::sin(3.0 * t)};
}

// Tube radius: swells six times along the knot, with a slow ripple that winds around it.
double tubeRadius(double t, double angle) {
    return 0.75 * (1.0 + 0.2 * std::sin(6.0 * t + 0.4) + 0.05 * std::cos(3.0 * angle + 9.0 * t));
}

struct Mesh {
    std::vector<Point> positions;  // ring-major: ring * sideCount + side
    std::vector<Point> centres;    // knot centre of each ring
    std::vector<Point> normals;    // area-weighted vertex normals
};

// Rings of vertices around the knot, each ring oriented by a parallel-transported frame whose
// leftover twist after one lap is spread evenly so the last ring meets the first.
Mesh buildRings() {
    std::vector<Point> tangents(ringCount), frameNormals(ringCount);
    for (int i = 0; i < ringCount; ++i) {
        const double t = twoPi * i / ringCount, h = 1e-4;
        tangents[i] = unit(knotCentre(t + h) - knotCentre(t - h));
    }
    frameNormals[0] = unit(cross(tangents[0], {0, 0, 1}));
    for (int i = 1; i <= ringCount; ++i) {
        const Point previous = frameNormals[i - 1];
        const Point tangent = tangents[i % ringCount];
        const Point projected = unit(previous - tangent * dot(previous, tangent));
        if (i < ringCount)
            frameNormals[i] = projected;
        else {
            // Angle from the transported normal back to the first ring's normal, about the tangent.
            const Point first = frameNormals[0];
            const double twist = std::atan2(dot(cross(projected, first), tangent), dot(projected, first));
            for (int k = 0; k < ringCount; ++k) {
                const double a = twist * k / ringCount;
                const Point n = frameNormals[k], b = cross(tangents[k], n);
                frameNormals[k] = n * std::cos(a) + b * std::sin(a);
            }
        }
    }
    Mesh mesh;
    for (int i = 0; i < ringCount; ++i) {
        const double t = twoPi * i / ringCount;
        const Point centre = knotCentre(t);
        const Point n = frameNormals[i], b = cross(tangents[i], n);
        mesh.centres.push_back(centre);
        for (int j = 0; j < sideCount; ++j) {
            const double angle = twoPi * j / sideCount;
            const Point out = n * std::cos(angle) + b * std::sin(angle);
            mesh.positions.push_back(centre + out * tubeRadius(t, angle));
        }
    }
    return mesh;
}

int vertexIndex(int ring, int side) { return (ring % ringCount) * sideCount + (side % sideCount); }

// One face: 0-based vertex indices and matching texture-coordinate indices.
struct Face {
    int count;
    int vertex[4];
    int texcoord[4];
};

// Quads outward-wound (around the ring first, then along the knot), or two triangles where the
// quad bends: when a corner lies off the plane of the other three by more than 2.5 % of the
// diagonal.
std::vector<Face> buildFaces(const Mesh& mesh) {
    std::vector<Face> faces;
    for (int i = 0; i < ringCount; ++i) {
        for (int j = 0; j < sideCount; ++j) {
            const int v[4] = {vertexIndex(i, j), vertexIndex(i, j + 1), vertexIndex(i + 1, j + 1),
                              vertexIndex(i + 1, j)};
            const int tc[4] = {i * (sideCount + 1) + j, i * (sideCount + 1) + j + 1,
                               (i + 1) * (sideCount + 1) + j + 1, (i + 1) * (sideCount + 1) + j};
            const Point p0 = mesh.positions[v[0]], p1 = mesh.positions[v[1]];
            const Point p2 = mesh.positions[v[2]], p3 = mesh.positions[v[3]];
            const Point planeNormal = unit(cross(p1 - p0, p2 - p0));
            const double diagonal02 = length(p2 - p0), diagonal13 = length(p3 - p1);
            const double bend = std::fabs(dot(p3 - p0, planeNormal)) / diagonal02;
            if (bend < 0.025) {
                faces.push_back({4, {v[0], v[1], v[2], v[3]}, {tc[0], tc[1], tc[2], tc[3]}});
            } else if (diagonal02 <= diagonal13) {
                faces.push_back({3, {v[0], v[1], v[2], 0}, {tc[0], tc[1], tc[2], 0}});
                faces.push_back({3, {v[0], v[2], v[3], 0}, {tc[0], tc[2], tc[3], 0}});
            } else {
                faces.push_back({3, {v[1], v[2], v[3], 0}, {tc[1], tc[2], tc[3], 0}});
                faces.push_back({3, {v[1], v[3], v[0], 0}, {tc[1], tc[3], tc[0], 0}});
            }
        }
    }
    return faces;
}

// Area-weighted vertex normals from the faces (fans from the first corner, as a reader splits).
void computeNormals(Mesh& mesh, const std::vector<Face>& faces) {
    mesh.normals.assign(mesh.positions.size(), {0, 0, 0});
    for (const Face& face : faces) {
        for (int k = 1; k + 1 < face.count; ++k) {
            const Point p0 = mesh.positions[face.vertex[0]];
            const Point n =
                cross(mesh.positions[face.vertex[k]] - p0, mesh.positions[face.vertex[k + 1]] - p0);
            for (int c : {0, k, k + 1}) mesh.normals[face.vertex[c]] = mesh.normals[face.vertex[c]] + n;
        }
    }
    for (Point& n : mesh.normals) n = unit(n);
}

}  // namespace

bool writeKnotModel(const std::string& path, std::string& error) {
    Mesh mesh = buildRings();
    const std::vector<Face> faces = buildFaces(mesh);
    computeNormals(mesh, faces);

    std::string text;
    char line[160];
    auto append = [&](int written) { text.append(line, static_cast<size_t>(written)); };
    append(std::snprintf(line, sizeof line,
                         "# kestrane model: a trefoil knot tube\n# %zu vertices, %zu faces\n",
                         mesh.positions.size(), faces.size()));
    for (const Point& p : mesh.positions)
        append(std::snprintf(line, sizeof line, "v %.5f %.5f %.5f\n", p.x, p.y, p.z));
    for (int i = 0; i <= ringCount; ++i)
        for (int j = 0; j <= sideCount; ++j)
            append(
                std::snprintf(line, sizeof line, "vt %.5f %.5f\n", 6.0 * i / ringCount, 1.0 * j / sideCount));
    for (const Point& n : mesh.normals)
        append(std::snprintf(line, sizeof line, "vn %.5f %.5f %.5f\n", n.x, n.y, n.z));

    // One group per lobe: the knot's three-fold turn splits the rings into three equal runs.
    const int ringsPerLobe = ringCount / 3;
    for (int lobe = 0; lobe < 3; ++lobe) {
        append(std::snprintf(line, sizeof line, "g lobe%d\n", lobe + 1));
        for (const Face& face : faces) {
            int lowestRing = ringCount;
            for (int c = 0; c < face.count; ++c)
                lowestRing = std::min(lowestRing, face.texcoord[c] / (sideCount + 1));
            if (lowestRing / ringsPerLobe != lobe) continue;
            text += "f";
            for (int c = 0; c < face.count; ++c)
                append(std::snprintf(line, sizeof line, " %d/%d/%d", face.vertex[c] + 1, face.texcoord[c] + 1,
                                     face.vertex[c] + 1));
            text += "\n";
        }
    }

    const std::string temporary = path + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        error = "cannot create " + temporary;
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        error = "cannot write " + path;
        return false;
    }
    return true;
}
