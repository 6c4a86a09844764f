// esImmediate.cpp
// glBegin/glEnd: vertices are recorded with the current colour, texture coordinate and normal
// into one batch, and each finished primitive adds its triangles. Quads and quad strips are split
// as the desktop driver (Mesa's llvmpipe) splits them, so that colours and texture coordinates
// interpolate the same way. It draws consecutive quads as one run until the state changes, and
// splits each quad (a b c d) along a-c when the whole run lies inside the view volume, along b-d
// when any vertex of it lies outside (its clipping path); each quad (v0 v1 v3 v2) of a strip along
// v0-v3. An unfinished primitive is dropped.
#include <cstring>

#include "glLayer/esState.h"

EsBatch& esBatch = *new EsBatch();  // never destroyed, as the state

namespace {

GLenum primitive = GL_TRIANGLES;
size_t primitiveStart = 0;  // index of the open primitive's first vertex
size_t quadRunStart = 0;    // first vertex of the run of quads not split yet
bool quadRunOpen = false;

void addTriangle(size_t a, size_t b, size_t c) {
    esBatch.indices.push_back(GLuint(a));
    esBatch.indices.push_back(GLuint(b));
    esBatch.indices.push_back(GLuint(c));
}

void addVertex(float x, float y, float z) {
    if (!esBatch.insidePrimitive) return;  // a vertex outside glBegin/glEnd is ignored
    EsVertex v;
    v.position[0] = x;
    v.position[1] = y;
    v.position[2] = z;
    v.position[3] = 1.0f;
    memcpy(v.colour, esState.colour, sizeof v.colour);
    memcpy(v.texCoord, esState.texCoord, sizeof v.texCoord);
    memcpy(v.normal, esState.normal, sizeof v.normal);
    esBatch.vertices.push_back(v);
}

// The triangles of the primitive of count vertices starting at first; returns the vertices used.
size_t addPrimitive(GLenum mode, size_t first, size_t count) {
    switch (mode) {
    case GL_TRIANGLES:
        for (size_t i = 0; i + 2 < count; i += 3) addTriangle(first + i, first + i + 1, first + i + 2);
        return count - count % 3;
    case GL_QUADS:  // split when the run ends (finishQuadRun)
        if (!quadRunOpen) quadRunStart = first;
        quadRunOpen = true;
        return count - count % 4;
    case GL_QUAD_STRIP:
        if (count < 4) return 0;
        // Quad k of the strip is (2k, 2k+1, 2k+3, 2k+2), split as a quad is.
        for (size_t k = 0; 2 * k + 3 < count; ++k) {
            const size_t a = first + 2 * k;
            addTriangle(a, a + 1, a + 3);
            addTriangle(a, a + 3, a + 2);
        }
        return count - count % 2;
    case GL_TRIANGLE_STRIP:
        for (size_t i = 0; i + 2 < count; ++i) {
            if (i % 2 == 0)
                addTriangle(first + i, first + i + 1, first + i + 2);
            else
                addTriangle(first + i + 1, first + i, first + i + 2);
        }
        return count >= 3 ? count : 0;
    case GL_TRIANGLE_FAN:
        for (size_t i = 1; i + 1 < count; ++i) addTriangle(first, first + i, first + i + 1);
        return count >= 3 ? count : 0;
    default:
        return 0;
    }
}

// Whether vertices first..last-1 all lie inside the view volume of the current matrices.
bool insideViewVolume(size_t first, size_t last) {
    const EsMatrix m = esMultiply(esTopMatrix(STACK_PROJECTION), esTopMatrix(STACK_MODELVIEW));
    for (size_t i = first; i < last; ++i) {
        const float* p = esBatch.vertices[i].position;
        float c[4];
        for (int row = 0; row < 4; ++row)
            c[row] = m.m[row] * p[0] + m.m[4 + row] * p[1] + m.m[8 + row] * p[2] + m.m[12 + row] * p[3];
        if (c[0] < -c[3] || c[0] > c[3] || c[1] < -c[3] || c[1] > c[3] || c[2] < -c[3] || c[2] > c[3])
            return false;
    }
    return true;
}

}  // namespace

void esFinishQuadRun() {
    if (!quadRunOpen) return;
    quadRunOpen = false;
    const size_t quads = (esBatch.vertices.size() - quadRunStart) / 4;
    const bool inside = insideViewVolume(quadRunStart, esBatch.vertices.size());
    for (size_t q = 0; q < quads; ++q) {
        const size_t a = quadRunStart + 4 * q;
        if (inside) {
            addTriangle(a, a + 1, a + 2);
            addTriangle(a, a + 2, a + 3);
        } else {
            addTriangle(a, a + 1, a + 3);
            addTriangle(a + 1, a + 2, a + 3);
        }
    }
}

void esBegin(GLenum mode) {
    esUseCurrentContext();
    if (esBatch.insidePrimitive) return esRaise(GL_INVALID_OPERATION);
    if (mode != GL_TRIANGLES && mode != GL_QUADS && mode != GL_QUAD_STRIP && mode != GL_TRIANGLE_STRIP &&
        mode != GL_TRIANGLE_FAN)
        return esRaise(GL_INVALID_ENUM);
    if (mode != GL_QUADS) esFinishQuadRun();
    primitive = mode;
    primitiveStart = esBatch.vertices.size();
    esBatch.insidePrimitive = true;
}

void esEnd() {
    if (!esBatch.insidePrimitive) return esRaise(GL_INVALID_OPERATION);
    esBatch.insidePrimitive = false;
    const size_t count = esBatch.vertices.size() - primitiveStart;
    const size_t used = addPrimitive(primitive, primitiveStart, count);
    esBatch.vertices.resize(primitiveStart + used);
}

void esVertex2f(GLfloat x, GLfloat y) { addVertex(x, y, 0.0f); }
void esVertex3f(GLfloat x, GLfloat y, GLfloat z) { addVertex(x, y, z); }
void esVertex3fv(const GLfloat* v) { addVertex(v[0], v[1], v[2]); }

void esColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    esState.colour[0] = r;
    esState.colour[1] = g;
    esState.colour[2] = b;
    esState.colour[3] = a;
}
void esColor3f(GLfloat r, GLfloat g, GLfloat b) { esColor4f(r, g, b, 1.0f); }
void esColor4fv(const GLfloat* v) { esColor4f(v[0], v[1], v[2], v[3]); }

void esTexCoord2f(GLfloat s, GLfloat t) {
    esState.texCoord[0] = s;
    esState.texCoord[1] = t;
    esState.texCoord[2] = 0.0f;
    esState.texCoord[3] = 1.0f;
}
void esTexCoord2fv(const GLfloat* v) { esTexCoord2f(v[0], v[1]); }
void esTexCoord2s(GLshort s, GLshort t) { esTexCoord2f(GLfloat(s), GLfloat(t)); }

void esNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    esState.normal[0] = x;
    esState.normal[1] = y;
    esState.normal[2] = z;
}
void esNormal3fv(const GLfloat* v) { esNormal3f(v[0], v[1], v[2]); }
