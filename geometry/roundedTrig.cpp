// roundedTrig.cpp
// Sines and cosines rounded to 32-bit floats, as the scenes' motions were first computed. Each
// variant says what it rounds; they are not interchangeable, since swapping one for another moves
// pixels.
#include <cmath>

#include "geometry/geometry.h"

double sinResult32(double a) { return double(float(std::sin(a))); }
double cosResult32(double a) { return double(float(std::cos(a))); }

float sinfResult32(double a) { return float(std::sin(a)); }
float cosfResult32(double a) { return float(std::cos(a)); }

double sinArgResult32(double a) { return double(float(std::sin(double(float(a))))); }
double cosArgResult32(double a) { return double(float(std::cos(double(float(a))))); }
