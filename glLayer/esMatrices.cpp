// esMatrices.cpp
// The modelview, projection and texture matrix stacks and the calls that build matrices: GL's
// own (translate, rotate, scale, ortho, frustum) in single precision, and GLU's perspective and
// look-at worked out in double and multiplied in single precision, as the desktop libraries do.
#include <cmath>
#include <cstring>

#include "glLayer/esState.h"

namespace {

int currentStack() {
    switch (esState.matrixMode) {
    case GL_PROJECTION:
        return STACK_PROJECTION;
    case GL_TEXTURE:
        return STACK_TEXTURE;
    default:
        return STACK_MODELVIEW;
    }
}

// Every change of a matrix draws the vertices given under the old one first.
EsMatrix& changingMatrix() {
    esUseCurrentContext();
    esDrawPending();
    return esTopMatrix(currentStack());
}

void multiplyCurrent(const EsMatrix& m) {
    EsMatrix& top = changingMatrix();
    top = esMultiply(top, m);
}

EsMatrix fromDoubles(const double* values) {
    EsMatrix r;
    for (int i = 0; i < 16; ++i) r.m[i] = float(values[i]);
    return r;
}

}  // namespace

void esMatrixMode(GLenum mode) {
    esUseCurrentContext();
    if (mode != GL_MODELVIEW && mode != GL_PROJECTION && mode != GL_TEXTURE) return esRaise(GL_INVALID_ENUM);
    esState.matrixMode = mode;
}

void esLoadIdentity() { changingMatrix() = esIdentity(); }

void esLoadMatrixf(const GLfloat* m) { memcpy(changingMatrix().m, m, 16 * sizeof(float)); }

void esMultMatrixf(const GLfloat* m) {
    EsMatrix factor;
    memcpy(factor.m, m, sizeof factor.m);
    multiplyCurrent(factor);
}

void esPushMatrix() {
    esUseCurrentContext();
    EsMatrixStack& stack = esState.stacks[currentStack()];
    if (stack.items.size() >= stack.capacity) return esRaise(GL_STACK_OVERFLOW);
    stack.items.push_back(stack.items.back());
}

void esPopMatrix() {
    esUseCurrentContext();
    EsMatrixStack& stack = esState.stacks[currentStack()];
    if (stack.items.size() <= 1) return esRaise(GL_STACK_UNDERFLOW);
    esDrawPending();
    stack.items.pop_back();
}

void esTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    float* m = changingMatrix().m;
    for (int row = 0; row < 4; ++row)
        m[12 + row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
}

void esScalef(GLfloat x, GLfloat y, GLfloat z) {
    float* m = changingMatrix().m;
    for (int row = 0; row < 4; ++row) {
        m[row] *= x;
        m[4 + row] *= y;
        m[8 + row] *= z;
    }
}

void esRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    const float s = float(std::sin(double(angle) * M_PI / 180.0));
    const float c = float(std::cos(double(angle) * M_PI / 180.0));
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length <= 1.0e-4f) return;  // no axis: GL leaves the matrix as it is
    x /= length;
    y /= length;
    z /= length;
    const float oneMinusC = 1.0f - c;
    EsMatrix r = esIdentity();
    float* m = r.m;  // m[column * 4 + row]
    m[0] = oneMinusC * x * x + c;
    m[4] = oneMinusC * x * y - z * s;
    m[8] = oneMinusC * z * x + y * s;
    m[1] = oneMinusC * x * y + z * s;
    m[5] = oneMinusC * y * y + c;
    m[9] = oneMinusC * y * z - x * s;
    m[2] = oneMinusC * z * x - y * s;
    m[6] = oneMinusC * y * z + x * s;
    m[10] = oneMinusC * z * z + c;
    multiplyCurrent(r);
}

void esOrtho(double left, double right, double bottom, double top, double zNear, double zFar) {
    if (left == right || bottom == top || zNear == zFar) return esRaise(GL_INVALID_VALUE);
    const float l = float(left), r = float(right), b = float(bottom), t = float(top);
    const float n = float(zNear), f = float(zFar);
    EsMatrix o = esIdentity();
    o.m[0] = 2.0f / (r - l);
    o.m[12] = -(r + l) / (r - l);
    o.m[5] = 2.0f / (t - b);
    o.m[13] = -(t + b) / (t - b);
    o.m[10] = -2.0f / (f - n);
    o.m[14] = -(f + n) / (f - n);
    multiplyCurrent(o);
}

void esFrustum(double left, double right, double bottom, double top, double zNear, double zFar) {
    if (zNear <= 0 || zFar <= 0 || left == right || bottom == top || zNear == zFar)
        return esRaise(GL_INVALID_VALUE);
    const float l = float(left), r = float(right), b = float(bottom), t = float(top);
    const float n = float(zNear), f = float(zFar);
    EsMatrix p = {};
    p.m[0] = 2.0f * n / (r - l);
    p.m[5] = 2.0f * n / (t - b);
    p.m[8] = (r + l) / (r - l);
    p.m[9] = (t + b) / (t - b);
    p.m[10] = -(f + n) / (f - n);
    p.m[11] = -1.0f;
    p.m[14] = -(2.0f * f * n) / (f - n);
    multiplyCurrent(p);
}

void esuPerspective(double fovy, double aspect, double zNear, double zFar) {
    const double radians = fovy / 2.0 * M_PI / 180.0;
    const double deltaZ = zFar - zNear;
    const double sine = std::sin(radians);
    if (deltaZ == 0 || sine == 0 || aspect == 0) return;
    const double cotangent = std::cos(radians) / sine;
    double m[16] = {};
    m[0] = cotangent / aspect;
    m[5] = cotangent;
    m[10] = -(zFar + zNear) / deltaZ;
    m[11] = -1.0;
    m[14] = -2.0 * zNear * zFar / deltaZ;
    multiplyCurrent(fromDoubles(m));
}

void esuLookAt(double eyeX, double eyeY, double eyeZ, double centreX, double centreY, double centreZ,
               double upX, double upY, double upZ) {
    float forward[3] = {float(centreX - eyeX), float(centreY - eyeY), float(centreZ - eyeZ)};
    float up[3] = {float(upX), float(upY), float(upZ)};
    auto normalise = [](float* v) {
        const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (length == 0.0f) return;
        for (int i = 0; i < 3; ++i) v[i] /= length;
    };
    auto cross = [](const float* a, const float* b, float* r) {
        r[0] = a[1] * b[2] - a[2] * b[1];
        r[1] = a[2] * b[0] - a[0] * b[2];
        r[2] = a[0] * b[1] - a[1] * b[0];
    };
    normalise(forward);
    float side[3];
    cross(forward, up, side);
    normalise(side);
    cross(side, forward, up);
    EsMatrix m = esIdentity();
    for (int i = 0; i < 3; ++i) {
        m.m[i * 4 + 0] = side[i];
        m.m[i * 4 + 1] = up[i];
        m.m[i * 4 + 2] = -forward[i];
    }
    multiplyCurrent(m);
    esTranslatef(float(-eyeX), float(-eyeY), float(-eyeZ));
}
