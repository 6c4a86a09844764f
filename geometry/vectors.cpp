// vectors.cpp
// Vec3 arithmetic. Each result component is rounded to a 32-bit float; the sum of squares in
// normalizeVec3 is formed in double and rounded once, so the length does not depend on the order
// in which a compiler happens to round intermediate sums.
#include "geometry/geometry.h"

#include <cmath>

Vec3 addVec3(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

Vec3 subtractVec3(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

void normalizeVec3(Vec3& v) {
    const double x = v.x, y = v.y, z = v.z;
    const float squared = float((x * x + y * y) + z * z);
    const float length = float(std::sqrt(double(squared)));
    if (!(length > 0.0f)) return;  // zero, or not a number: left as it was
    v.x /= length;
    v.y /= length;
    v.z /= length;
}
