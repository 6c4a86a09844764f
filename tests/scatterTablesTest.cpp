// scatterTablesTest.cpp
// The two random tables of start-up against the never-seeded standard generator. The checks run in
// a freshly started copy of the test program (a death-test child), so draws made by other tests in
// this process cannot shift the sequence.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "assets/assets.h"

namespace {

// An independent copy of the generator: state from 1, x 214013 + 2531011, bits 16 to 30.
struct ReferenceRandom {
    uint32_t state = 1;
    int next() {
        state = state * 214013u + 2531011u;
        return int((state >> 16) & 0x7FFF);
    }
};

int failures = 0;
void check(bool ok, const char* what, int index) {
    if (!ok && failures++ < 10) fprintf(stderr, "%s at %d\n", what, index);
}

// Fills both tables as start-up does and compares every entry with the reference draws.
void checkOneStartUp(ReferenceRandom& reference) {
    makeScatterPoints();
    makeScatterDirections();
    for (int i = 0; i < SCATTER_POINT_COUNT; ++i) {
        const Vec3& p = scatterPoints[i];
        const float x = float(reference.next() % 50 - 25) * 0.5f;
        const float y = float(reference.next() % 50 - 25) * 0.5f;
        const float z = float(reference.next() % 50 - 25) * 0.5f;
        check(p.x == x && p.y == y && p.z == z, "point differs from the generator", i);
        for (float c : {p.x, p.y, p.z})
            check(c >= -12.5f && c <= 12.0f && std::fmod(c, 0.5f) == 0, "point out of range", i);
    }
    for (int i = 0; i < SCATTER_DIRECTION_COUNT; ++i) {
        const Vec3& d = scatterDirections[i];
        Vec3 drawn = {float(reference.next() % 50 - 20), float(reference.next() % 50 - 20),
                      float(reference.next() % 50 - 20)};
        const bool zero = drawn.x == 0 && drawn.y == 0 && drawn.z == 0;
        normalizeVec3(drawn);
        check(d.x == drawn.x && d.y == drawn.y && d.z == drawn.z, "direction differs", i);
        const double length = std::sqrt(double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z);
        check(zero || std::fabs(length - 1.0) < 1e-6, "direction not of unit length", i);
    }
}

void checkTablesInFreshProcess() {
    ReferenceRandom reference;
    checkOneStartUp(reference);
    const Vec3 p0 = scatterPoints[0], p1 = scatterPoints[1], d0 = scatterDirections[0];
    check(p0.x == 8.0f && p0.y == -4.0f && p0.z == 4.5f, "first point is not (8, -4, 4.5)", 0);
    check(p1.x == -12.5f && p1.y == -3.0f && p1.z == -0.5f, "second point is not (-12.5, -3, -0.5)", 1);
    check(std::fabs(d0.x - 0.1527f) < 1e-4f && std::fabs(d0.y - 0.5599f) < 1e-4f &&
              std::fabs(d0.z + 0.8144f) < 1e-4f,
          "first direction is not (3, 11, -16) normalised", 0);
    // A re-created window draws the next values, not the first ones again.
    checkOneStartUp(reference);
    check(scatterPoints[0].x != p0.x || scatterPoints[0].y != p0.y || scatterPoints[0].z != p0.z,
          "second start-up repeats the first table", 0);
    exit(failures == 0 ? 0 : 1);
}

}  // namespace

TEST(ScatterTables, FirstEntriesRangesAndContinuation) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // the child starts the program afresh
    EXPECT_EXIT(checkTablesInFreshProcess(), ::testing::ExitedWithCode(0), "");
}
