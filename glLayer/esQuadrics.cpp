// esQuadrics.cpp
// GLU's filled sphere and cylinder through the layer's immediate mode, with GLU's orientation
// (outside), smooth normals and texture coordinates: around the axis, slice i is at angle
// 2 pi i / slices from +y towards +x with s = 1 - i / slices; a sphere's stack j is at polar angle
// pi j / stacks from +z with t = 1 - j / stacks; a cylinder's runs along z from 0 with t = j / stacks.
#include <cmath>
#include <vector>

#include "glLayer/esState.h"

struct GLUquadric {
    GLenum normals;
    bool textureCoords;
};

GLUquadric* esuNewQuadric() { return new GLUquadric{GLU_SMOOTH, false}; }
void esuDeleteQuadric(GLUquadric* quadric) { delete quadric; }
void esuQuadricNormals(GLUquadric* quadric, GLenum normals) {
    if (quadric) quadric->normals = normals;
}
void esuQuadricTexture(GLUquadric* quadric, GLboolean textureCoords) {
    if (quadric) quadric->textureCoords = textureCoords != GL_FALSE;
}

namespace {

// Sine and cosine of the slices' angles, the last equal to the first so the seam closes exactly.
void sliceAngles(int slices, std::vector<float>* sines, std::vector<float>* cosines) {
    sines->resize(size_t(slices) + 1);
    cosines->resize(size_t(slices) + 1);
    for (int i = 0; i < slices; ++i) {
        const double angle = 2.0 * M_PI * i / slices;
        (*sines)[size_t(i)] = float(std::sin(angle));
        (*cosines)[size_t(i)] = float(std::cos(angle));
    }
    (*sines)[size_t(slices)] = (*sines)[0];
    (*cosines)[size_t(slices)] = (*cosines)[0];
}

}  // namespace

void esuSphere(GLUquadric* quadric, double radius, GLint slices, GLint stacks) {
    if (!quadric || slices < 2 || stacks < 1 || radius < 0.0) return;
    std::vector<float> sines, cosines;
    sliceAngles(slices, &sines, &cosines);
    const float r = float(radius);
    for (int j = 0; j < stacks; ++j) {
        const double upper = M_PI * j / stacks, lower = M_PI * (j + 1) / stacks;
        const float sinUpper = float(std::sin(upper)), cosUpper = float(std::cos(upper));
        const float sinLower = float(std::sin(lower)), cosLower = float(std::cos(lower));
        esBegin(GL_QUAD_STRIP);
        for (int i = 0; i <= slices; ++i) {
            const float s = 1.0f - float(i) / float(slices);
            const float x = sines[size_t(i)], y = cosines[size_t(i)];
            // GLU gives each pair lower stack first, which sets the diagonal its quads are split on.
            if (quadric->normals != GLU_NONE) esNormal3f(x * sinLower, y * sinLower, cosLower);
            if (quadric->textureCoords) esTexCoord2f(s, 1.0f - float(j + 1) / float(stacks));
            esVertex3f(x * sinLower * r, y * sinLower * r, cosLower * r);
            if (quadric->normals != GLU_NONE) esNormal3f(x * sinUpper, y * sinUpper, cosUpper);
            if (quadric->textureCoords) esTexCoord2f(s, 1.0f - float(j) / float(stacks));
            esVertex3f(x * sinUpper * r, y * sinUpper * r, cosUpper * r);
        }
        esEnd();
    }
}

void esuCylinder(GLUquadric* quadric, double base, double top, double height, GLint slices, GLint stacks) {
    if (!quadric || slices < 2 || stacks < 1 || base < 0.0 || top < 0.0 || height < 0.0) return;
    std::vector<float> sines, cosines;
    sliceAngles(slices, &sines, &cosines);
    // The side's normal leans along z when the radii differ.
    const double delta = base - top;
    const double length = std::sqrt(delta * delta + height * height);
    const float radial = length > 0.0 ? float(height / length) : 1.0f;
    const float along = length > 0.0 ? float(delta / length) : 0.0f;
    for (int j = 0; j < stacks; ++j) {
        const float zLow = float(j * height / stacks), zHigh = float((j + 1) * height / stacks);
        const float rLow = float(base - delta * j / stacks), rHigh = float(base - delta * (j + 1) / stacks);
        esBegin(GL_QUAD_STRIP);
        for (int i = 0; i <= slices; ++i) {
            const float s = 1.0f - float(i) / float(slices);
            const float x = sines[size_t(i)], y = cosines[size_t(i)];
            if (quadric->normals != GLU_NONE) esNormal3f(x * radial, y * radial, along);
            if (quadric->textureCoords) esTexCoord2f(s, float(j) / float(stacks));
            esVertex3f(x * rLow, y * rLow, zLow);
            if (quadric->textureCoords) esTexCoord2f(s, float(j + 1) / float(stacks));
            esVertex3f(x * rHigh, y * rHigh, zHigh);
        }
        esEnd();
    }
}
