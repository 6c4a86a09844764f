// vectorTest.cpp
// Vector helpers, the 32-bit sines and cosines, and the cosine-eased keyframe tracks at the values
// the timing of the overlays and scenes depends on, to the digits those values are known to.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <type_traits>

#include "geometry/geometry.h"

namespace {
Keyframe key(int time, float x) { return {{x, 0, 0}, time}; }

// Whether r is the float nearest to the exact value (within half a float step of it).
bool isNearestFloat(double r, double exact) {
    const float f = float(r);
    if (double(f) != r) return false;
    const double step = double(std::nextafter(std::fabs(f), INFINITY)) - double(std::fabs(f));
    return std::fabs(r - exact) <= 0.5 * step;
}
double exactSin(double x) { return std::sin(x); }
double exactCos(double x) { return std::cos(x); }
}  // namespace

// At 1000.1 the argument moves by 2.4e-5 when rounded to float, so rounding it or not changes the
// sine and cosine far beyond one float step of the result.
TEST(RoundedTrig, EachVariantRoundsWhatItsContractSays) {
    static_assert(std::is_same<decltype(sinfResult32(0.0)), float>::value, "the f variants give floats");
    static_assert(std::is_same<decltype(sinResult32(0.0)), double>::value, "the others give doubles");
    const double a = 1000.1, rounded = double(float(a));
    ASSERT_NE(a, rounded);
    struct Variant {
        const char* name;
        double (*result)(double);
        float (*resultFloat)(double);
        double (*argResult)(double);
        double (*exact)(double);
    };
    const Variant variants[] = {{"sin", sinResult32, sinfResult32, sinArgResult32, exactSin},
                                {"cos", cosResult32, cosfResult32, cosArgResult32, exactCos}};
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        ASSERT_GT(std::fabs(v.exact(a) - v.exact(rounded)), 1e-6);  // the test value tells them apart
        // Result only: the nearest float to the function of the unrounded argument.
        EXPECT_TRUE(isNearestFloat(v.result(a), v.exact(a)));
        EXPECT_NE(v.result(a), v.exact(a));
        EXPECT_EQ(double(v.resultFloat(a)), v.result(a));
        // Argument and result: the nearest float to the function of the argument as a float.
        EXPECT_TRUE(isNearestFloat(v.argResult(a), v.exact(rounded)));
        EXPECT_EQ(v.argResult(rounded), v.result(rounded));
    }
}

TEST(Vectors, AddAndSubtractLeaveTheirOperands) {
    const Vec3 a = {1.5f, -2.0f, 3.25f};
    const Vec3 b = {0.5f, 4.0f, -1.0f};
    const Vec3 sum = addVec3(a, b);
    const Vec3 difference = subtractVec3(a, b);
    EXPECT_EQ(sum.x, 2.0f);
    EXPECT_EQ(sum.y, 2.0f);
    EXPECT_EQ(sum.z, 2.25f);
    EXPECT_EQ(difference.x, 1.0f);
    EXPECT_EQ(difference.y, -6.0f);
    EXPECT_EQ(difference.z, 4.25f);
    EXPECT_EQ(a.x, 1.5f);
    EXPECT_EQ(b.y, 4.0f);
}

TEST(Vectors, NormalizeScalesToUnitLengthAndLeavesZeroAlone) {
    Vec3 v = {3, 4, 0};
    normalizeVec3(v);
    EXPECT_FLOAT_EQ(v.x, 0.6f);
    EXPECT_FLOAT_EQ(v.y, 0.8f);
    EXPECT_EQ(v.z, 0.0f);
    Vec3 zero = {0, 0, 0};
    normalizeVec3(zero);
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.y, 0.0f);
    EXPECT_EQ(zero.z, 0.0f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Vec3 broken = {nan, 1, 2};
    normalizeVec3(broken);
    EXPECT_EQ(broken.y, 1.0f);
    EXPECT_EQ(broken.z, 2.0f);
    Vec3 draw = {3, 11, -16};  // the first direction of the start-up table
    normalizeVec3(draw);
    EXPECT_NEAR(draw.x, 0.1527f, 1e-4f);
    EXPECT_NEAR(draw.y, 0.5599f, 1e-4f);
    EXPECT_NEAR(draw.z, -0.8144f, 1e-4f);
}

TEST(Keyframes, CosineCurveKeepsItsConstant) {
    const Vec3 a = {0, 0, 0}, b = {10, 20, -10};
    EXPECT_EQ(cosineInterpolate(a, b, 0).x, 0.0f);
    EXPECT_EQ(cosineInterpolate(a, b, 1).x, 10.0f);  // w rounds to exactly 1
    const Vec3 mid = cosineInterpolate(a, b, 0.5f);
    EXPECT_NEAR(mid.x, 4.999932f, 5e-7f);  // 3.14156535, not pi: a hair short of 5
    EXPECT_LT(mid.x, 5.0f);
    EXPECT_NEAR(mid.y, 9.999863f, 1e-6f);
    EXPECT_NEAR(mid.z, -4.999932f, 5e-7f);
    EXPECT_NEAR(cosineInterpolate(a, b, 0.25f).x, 1.464442f, 5e-7f);
    // Past the ends the curve turns back toward the nearer key.
    EXPECT_LT(cosineInterpolate(a, b, 1.2f).x, 10.0f);
    EXPECT_GT(cosineInterpolate(a, b, -0.2f).x, 0.0f);
}

TEST(Keyframes, SamplingPicksTheSegmentByTruncatedTime) {
    const Keyframe one[] = {key(50, 7)};
    EXPECT_EQ(sampleKeyframes(one, 1, -100).x, 7.0f);
    EXPECT_EQ(sampleKeyframes(one, 1, 1e6f).x, 7.0f);

    const Keyframe ramp[] = {key(0, 0), key(100, 10)};
    EXPECT_NEAR(sampleKeyframes(ramp, 2, 50).x, 4.999932f, 5e-7f);
    EXPECT_NEAR(sampleKeyframes(ramp, 2, 25).x, 1.464442f, 5e-7f);
    // -0.5 truncates to 0, so the first segment is blended with u just below 0: the curve turns
    // back toward the first key.
    EXPECT_GT(sampleKeyframes(ramp, 2, -0.5f).x, 0.0f);
    EXPECT_LT(sampleKeyframes(ramp, 2, -0.5f).x, 1e-3f);
    EXPECT_EQ(sampleKeyframes(ramp, 2, 101).x, 10.0f);
    EXPECT_EQ(sampleKeyframes(ramp, 2, 5000).x, 10.0f);

    const Keyframe later[] = {key(10, 3), key(20, 5)};
    EXPECT_EQ(sampleKeyframes(later, 2, 9.99f).x, 3.0f);  // below the first key: exactly it

    // A jump between keys one unit apart; the unit at 1000 still uses the segment ending there.
    const Keyframe jump[] = {key(950, 0), key(1000, 10), key(1001, -10)};
    EXPECT_NEAR(sampleKeyframes(jump, 3, 1000.5f).x, 9.997537f, 5e-6f);
    EXPECT_EQ(sampleKeyframes(jump, 3, 1001).x, -10.0f);
    EXPECT_EQ(sampleKeyframes(jump, 3, 1002).x, -10.0f);
}

TEST(Keyframes, ExtremeTimesDoNotMisbehave) {
    const Keyframe ramp[] = {key(0, 0), key(100, 10)};
    EXPECT_EQ(sampleKeyframes(ramp, 2, 1e30f).x, 10.0f);
    EXPECT_EQ(sampleKeyframes(ramp, 2, -1e30f).x, 0.0f);
    EXPECT_EQ(sampleKeyframes(ramp, 2, std::numeric_limits<float>::quiet_NaN()).x, 0.0f);
}
