// esFeedback.cpp
// GL's feedback mode for the layer's triangles (ES has none): each batched triangle is taken to
// clip space, clipped against the six planes of the view volume and written as one
// GL_POLYGON_TOKEN polygon in window coordinates, with colour and texture coordinate as the
// feedback type asks. Texture coordinates are the texture matrix's (no sphere-map generation).
#include <cstring>
#include <vector>

#include "glLayer/esState.h"

namespace {

GLenum renderMode = GL_RENDER;
GLenum feedbackType = GL_3D;
GLfloat* feedbackBuffer = nullptr;
GLsizei feedbackSize = 0;
GLint written = 0;
bool overflowed = false;

// A vertex on its way through clipping: clip-space position, colour and texture coordinate.
struct ClipVertex {
    float v[12];  // x y z w, r g b a, s t r q
};

ClipVertex mix(const ClipVertex& a, const ClipVertex& b, float t) {
    ClipVertex r;
    for (int i = 0; i < 12; ++i) r.v[i] = a.v[i] + (b.v[i] - a.v[i]) * t;
    return r;
}

// Signed distance of p inside plane k (x >= -w, x <= w, y >= -w, y <= w, z >= -w, z <= w).
float inside(const ClipVertex& p, int k) {
    const float coordinate = p.v[k / 2];
    return k % 2 == 0 ? p.v[3] + coordinate : p.v[3] - coordinate;
}

std::vector<ClipVertex> clip(std::vector<ClipVertex> polygon) {
    for (int k = 0; k < 6 && !polygon.empty(); ++k) {
        std::vector<ClipVertex> out;
        for (size_t i = 0; i < polygon.size(); ++i) {
            const ClipVertex& a = polygon[i];
            const ClipVertex& b = polygon[(i + 1) % polygon.size()];
            const float da = inside(a, k), db = inside(b, k);
            if (da >= 0) out.push_back(a);
            if ((da >= 0) != (db >= 0)) out.push_back(mix(a, b, da / (da - db)));
        }
        polygon.swap(out);
    }
    return polygon;
}

void put(GLfloat value) {
    if (written < feedbackSize)
        feedbackBuffer[written++] = value;
    else
        overflowed = true;
}

void transform(const EsMatrix& m, const float* in, float* out) {
    for (int row = 0; row < 4; ++row)
        out[row] = m.m[row] * in[0] + m.m[4 + row] * in[1] + m.m[8 + row] * in[2] + m.m[12 + row] * in[3];
}

}  // namespace

bool esFeedbackActive() { return renderMode == GL_FEEDBACK; }

void esFeedbackBuffer(GLsizei size, GLenum type, GLfloat* buffer) {
    if (renderMode == GL_FEEDBACK || size < 0) return esRaise(GL_INVALID_OPERATION);
    feedbackType = type;
    feedbackBuffer = buffer;
    feedbackSize = size;
}

GLint esRenderMode(GLenum mode) {
    esUseCurrentContext();
    esDrawPending();
    GLint result = 0;
    if (renderMode == GL_FEEDBACK) result = overflowed ? -1 : written;
    if (mode == GL_FEEDBACK && !feedbackBuffer) {
        esRaise(GL_INVALID_OPERATION);
        return 0;
    }
    renderMode = mode == GL_FEEDBACK ? GL_FEEDBACK : GL_RENDER;
    written = 0;
    overflowed = false;
    return result;
}

void esFeedBatch() {
    const EsMatrix& modelView = esTopMatrix(STACK_MODELVIEW);
    const EsMatrix modelViewProjection = esMultiply(esTopMatrix(STACK_PROJECTION), modelView);
    const EsMatrix& textureMatrix = esTopMatrix(STACK_TEXTURE);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const bool colour = feedbackType == GL_3D_COLOR || feedbackType == GL_3D_COLOR_TEXTURE ||
                        feedbackType == GL_4D_COLOR_TEXTURE;
    const bool texture = feedbackType == GL_3D_COLOR_TEXTURE || feedbackType == GL_4D_COLOR_TEXTURE;
    for (size_t i = 0; i + 2 < esBatch.indices.size(); i += 3) {
        std::vector<ClipVertex> polygon(3);
        for (int corner = 0; corner < 3; ++corner) {
            const EsVertex& v = esBatch.vertices[esBatch.indices[i + size_t(corner)]];
            ClipVertex& c = polygon[size_t(corner)];
            transform(modelViewProjection, v.position, c.v);
            for (int k = 0; k < 4; ++k) c.v[4 + k] = v.colour[k] < 0 ? 0 : v.colour[k] > 1 ? 1 : v.colour[k];
            transform(textureMatrix, v.texCoord, c.v + 8);
        }
        polygon = clip(polygon);
        if (polygon.size() < 3) continue;
        put(GLfloat(GL_POLYGON_TOKEN));
        put(GLfloat(polygon.size()));
        for (const ClipVertex& c : polygon) {
            const float w = c.v[3];
            put(GLfloat(viewport[0] + (c.v[0] / w + 1.0f) * 0.5f * float(viewport[2])));
            put(GLfloat(viewport[1] + (c.v[1] / w + 1.0f) * 0.5f * float(viewport[3])));
            if (feedbackType != GL_2D) put((c.v[2] / w + 1.0f) * 0.5f);
            if (feedbackType == GL_4D_COLOR_TEXTURE) put(1.0f / w);
            if (colour)
                for (int k = 4; k < 8; ++k) put(c.v[k]);
            if (texture)
                for (int k = 8; k < 12; ++k) put(c.v[k]);
        }
    }
}
