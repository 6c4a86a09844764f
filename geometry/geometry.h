// geometry.h
// Vectors, 32-bit sines and cosines, keyframe tracks, the OBJ model reader with its per-vertex
// normals, and the immediate-mode drawing helpers that the scenes share (billboards, masked sprites,
// the model, the 2D screen mode).
#pragma once

#include <cmath>
#include <cstdint>

struct Vec3 {
    float x, y, z;
};

// One key of a track: a value (single numbers live in x) and its time in hundredths of a second.
struct Keyframe {
    Vec3 value;
    int32_t time;
};

Vec3 addVec3(Vec3 a, Vec3 b);
Vec3 subtractVec3(Vec3 a, Vec3 b);
void normalizeVec3(Vec3& v);  // zero (or NaN-length) vectors stay as they are
Vec3 cosineInterpolate(const Vec3& a, const Vec3& b, float t);
// Samples a track (ascending times, count >= 1) with the cosine ease between keys.
Vec3 sampleKeyframes(const Keyframe* keys, int count, float time);

// Sines and cosines of a double at 32-bit precision. Each variant rounds something different, and a
// scene keeps the one its pictures were made with. Inline on purpose: where a sine and a cosine of
// one argument meet, the compiler pairs them into one sincos call, whose last bit may differ from
// two separate calls, and the pictures were made that way.
// Rounds the result to float and gives it back as a double.
inline double sinResult32(double a) { return double(float(std::sin(a))); }
inline double cosResult32(double a) { return double(float(std::cos(a))); }
// Rounds the result to float and gives the float.
inline float sinfResult32(double a) { return float(std::sin(a)); }
inline float cosfResult32(double a) { return float(std::cos(a)); }
// Rounds the argument to float, then the result, and gives the result back as a double.
inline double sinArgResult32(double a) { return double(float(std::sin(double(float(a))))); }
inline double cosArgResult32(double a) { return double(float(std::cos(double(float(a))))); }

struct ObjTriangle {
    int32_t vertex[3];    // 1-based vertex indices as written in the file
    int32_t texcoord[3];  // 1-based texture-coordinate indices as written
};

struct ObjGroup {
    char* name;
    uint32_t triangleCount;
    uint32_t* triangleIndices;  // indices into ObjModel::triangles
    ObjGroup* next;
};

struct ObjModel {
    uint32_t vertexCount;
    Vec3* vertices;  // vertexCount + 1 slots; slot 0 unused
    Vec3* normals;   // vertexCount + 1 slots, per vertex
    uint32_t texcoordCount;
    float (*texcoords)[2];  // texcoordCount + 1 slots, null when there are none
    uint32_t triangleCount;
    ObjTriangle* triangles;
    ObjGroup* groups;  // newest first; "default" always last
};

// False when the file cannot be opened or is a folder; the model is then left as it was.
bool readObjModel(ObjModel& model, const char* path);
// Releases everything a reading allocated and empties the model.
void freeObjModel(ObjModel& model);
ObjGroup* findGroup(ObjModel& model, const char* name);
ObjGroup* findOrAddGroup(ObjModel& model, const char* name);
void computeVertexNormals(ObjModel& model);

// Whether every index of the triangle addresses a stored vertex (and texture coordinate when the
// model has them); drawing and normals skip triangles that do not.
bool isTriangleDrawable(const ObjModel& model, const ObjTriangle& triangle);

void drawBillboard(Vec3 centre, float halfSize);
// The squares of drawBillboard for count centres under the current modelview matrix, which is read
// once, drawn in order in one batch: the same picture as count drawBillboard calls.
void drawBillboards(const Vec3* centres, const float* halfSizes, int count);
// A billboard cut out by the mask texture (multiplied into the frame), then the sprite texture
// added over it; both are GL texture names.
void drawMaskedBillboard(Vec3 centre, float halfSize, unsigned int maskTexture, unsigned int spriteTexture);
void drawModel(const ObjModel& model);

// The 2D screen mode that overlays draw in: x 0..800 left to right, y 0..600 top to bottom, z from
// -1 to the far plane (1, or 0 for the FarZero variant), with both matrices pushed; endOrtho2D pops
// them.
void beginOrtho2D();
void beginOrtho2DFarZero();
void endOrtho2D();
