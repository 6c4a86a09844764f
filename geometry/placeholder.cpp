// placeholder.cpp: geometry stand-ins until the real modules land (delete when they do).
#include "geometry/geometry.h"

Vec3 addVec3(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 subtractVec3(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
void normalizeVec3(Vec3&) {}
Vec3 cosineInterpolate(const Vec3& a, const Vec3&, float) { return a; }
Vec3 sampleKeyframes(const Keyframe* keys, int, float) { return keys[0].value; }
bool readObjModel(ObjModel&, const char*) { return false; }
ObjGroup* findGroup(ObjModel&, const char*) { return nullptr; }
ObjGroup* findOrAddGroup(ObjModel&, const char*) { return nullptr; }
void computeVertexNormals(ObjModel&) {}
bool isTriangleDrawable(const ObjModel&, const ObjTriangle&) { return false; }
void drawBillboard(Vec3, float) {}
void drawMaskedBillboard(Vec3, float, int, int) {}
void drawModel(const ObjModel&) {}
