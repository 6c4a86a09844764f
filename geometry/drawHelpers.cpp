// drawHelpers.cpp
// Immediate-mode drawing shared by the scenes: camera-facing billboards (the modelview matrix is
// read back on every call, or once for a batch under one matrix), masked sprites drawn as a multiply pass
// then an additive pass, and the OBJ model group by group. Triangles with indices outside the model's arrays
// are skipped. Also the 2D screen mode that the overlays and some scenes draw in.
#include "glLayer/glLayer.h"

#include "geometry/geometry.h"

namespace {
Vec3 scaled(float x, float y, float z, float s) { return {x * s, y * s, z * s}; }
}  // namespace

namespace {
// The square of one billboard from the first two rows of the modelview matrix m (the eye's x and y
// axes in object space, unnormalised: a scale in the matrix scales the square a second time).
void emitBillboard(const GLfloat* m, Vec3 centre, float halfSize) {
    const Vec3 right = scaled(m[0], m[4], m[8], halfSize);
    const Vec3 up = scaled(m[1], m[5], m[9], halfSize);
    const Vec3 corner1 = subtractVec3(subtractVec3(centre, right), up);
    const Vec3 corner2 = subtractVec3(addVec3(centre, right), up);
    const Vec3 corner3 = addVec3(addVec3(centre, right), up);
    const Vec3 corner4 = subtractVec3(addVec3(centre, up), right);
    glTexCoord2s(0, 0);
    glVertex3fv(&corner1.x);
    glTexCoord2s(1, 0);
    glVertex3fv(&corner2.x);
    glTexCoord2s(1, 1);
    glVertex3fv(&corner3.x);
    glTexCoord2s(0, 1);
    glVertex3fv(&corner4.x);
}
}  // namespace

void drawBillboard(Vec3 centre, float halfSize) {
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    glBegin(GL_QUADS);
    emitBillboard(m, centre, halfSize);
    glEnd();
}

void drawBillboards(const Vec3* centres, const float* halfSizes, int count) {
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    glBegin(GL_QUADS);
    for (int i = 0; i < count; ++i) emitBillboard(m, centres[i], halfSizes[i]);
    glEnd();
}

void drawMaskedBillboard(Vec3 centre, float halfSize, unsigned int maskTexture, unsigned int spriteTexture) {
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    // The mask multiplies the frame (white keeps it, black cuts it out), then the sprite is added.
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    glBindTexture(GL_TEXTURE_2D, maskTexture);
    drawBillboard(centre, halfSize);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glBindTexture(GL_TEXTURE_2D, spriteTexture);
    drawBillboard(centre, halfSize);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}

void drawModel(const ObjModel& model) {
    const bool textured = model.texcoordCount > 0 && model.texcoords;
    for (const ObjGroup* group = model.groups; group; group = group->next) {
        glBegin(GL_TRIANGLES);  // even for an empty group
        for (uint32_t k = 0; k < group->triangleCount; ++k) {
            const uint32_t index = group->triangleIndices[k];
            if (index >= model.triangleCount) continue;
            const ObjTriangle& triangle = model.triangles[index];
            if (!isTriangleDrawable(model, triangle)) continue;
            for (int j = 0; j < 3; ++j) {
                if (textured) glTexCoord2fv(model.texcoords[triangle.texcoord[j]]);
                glNormal3fv(&model.normals[triangle.vertex[j]].x);
                const Vec3& p = model.vertices[triangle.vertex[j]];
                glVertex3f(p.x, p.y, p.z);
            }
        }
        glEnd();
    }
}

namespace {
void beginOrtho(double farPlane) {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 800, 600, 0, -1, farPlane);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}
}  // namespace

void beginOrtho2D() { beginOrtho(1); }

// The same mode with z = 0 on the far plane.
void beginOrtho2DFarZero() { beginOrtho(0); }

void endOrtho2D() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}
