// esImmediate.cpp
// glBegin/glEnd: vertices are recorded with the current colour, texture coordinate and normal
// into one batch, and each finished primitive adds its triangles. Quads are split along the
// diagonal from their second to their fourth vertex, as the desktop driver splits them, so that
// colours and texture coordinates interpolate the same way; an unfinished primitive is dropped.
#include <cstring>

#include "glLayer/esState.h"

EsBatch& esBatch = *new EsBatch();  // never destroyed, as the state

namespace {

GLenum primitive = GL_TRIANGLES;
size_t primitiveStart = 0;  // index of the open primitive's first vertex

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
    case GL_QUADS:
        for (size_t i = 0; i + 3 < count; i += 4) {
            const size_t a = first + i, b = a + 1, c = a + 2, d = a + 3;
            addTriangle(a, b, d);
            addTriangle(b, c, d);
        }
        return count - count % 4;
    case GL_QUAD_STRIP:
        if (count < 4) return 0;
        // Quad k of the strip is (2k, 2k+1, 2k+3, 2k+2), split as a quad is.
        for (size_t k = 0; 2 * k + 3 < count; ++k) {
            const size_t a = first + 2 * k, b = a + 1, c = a + 3, d = a + 2;
            addTriangle(a, b, d);
            addTriangle(b, c, d);
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

}  // namespace

void esBegin(GLenum mode) {
    esUseCurrentContext();
    if (esBatch.insidePrimitive) return esRaise(GL_INVALID_OPERATION);
    if (mode != GL_TRIANGLES && mode != GL_QUADS && mode != GL_QUAD_STRIP && mode != GL_TRIANGLE_STRIP &&
        mode != GL_TRIANGLE_FAN)
        return esRaise(GL_INVALID_ENUM);
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
