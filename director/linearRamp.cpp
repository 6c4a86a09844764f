// linearRamp.cpp
// Progress through a time span: 0 before it, 1 from its end, linear in between.
#include "director/director.h"

float linearRamp(float start, float end, float t) {
    if (start > t) return 0.0f;
    if (!(end > t)) return 1.0f;
    return float((double(t) - double(start)) / (double(end) - double(start)));
}
