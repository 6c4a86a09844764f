// floorModel.cpp
// 144 to 157 s and 182.5 to 203 s: a camera circles the sphere-mapped model hovering over a large
// checkerboard floor that fades into black fog, while 220 soft particles drift around it. The fog
// range is not set here: it is whatever was set last (30-40 from start-up, 20-30 after the tunnel).
#include "glLayer/glLayer.h"

#include "assets/assets.h"
#include "scenes/scenes.h"

namespace {

// Where particle i is at music time t.
Vec3 particlePosition(int i, float t) {
    const double c = double(float(i));
    const double q = double(t) * 0.25;
    const double time = double(t);
    const Vec3& p = scatterPoints[i];
    Vec3 v;
    v.x = float(cosArgResult32(c - q) * double(3.8f) * cosArgResult32(time / 280.0 + c) + double(p.x));
    v.y = float(sinArgResult32(time / 6.0 + c) * 5.0 * sinArgResult32(c - time / 290.0) + double(p.y) * 0.5);
    v.z = float(cosArgResult32(c + q) * 4.0 * sinArgResult32(time / 320.0 + c) + double(p.z));
    return v;
}

// The floor: the 80x80 square y = -2 with the checker six times each way, corner (-40, -40) at
// texture coordinate (6, 6) and (40, 40) at (0, 0). It is drawn as a grid of 16x16 cells of 5x5
// units rather than one quad because it reaches behind the eye: Mesa fogs by |z| of the eye per
// vertex, and a polygon whose corners lie on both sides of the eye then gets far distances mixed
// into its near part (the whole floor turned black). Cells that small stay within fog-free range
// where they cross.
void drawFloor() {
    const int cells = 16;
    const float step = 80.0f / cells;
    glBegin(GL_QUADS);
    glNormal3f(0.0f, -1.0f, 0.0f);
    for (int row = 0; row < cells; ++row) {
        const float z0 = -40.0f + row * step, z1 = z0 + step;
        for (int column = 0; column < cells; ++column) {
            const float x0 = -40.0f + column * step, x1 = x0 + step;
            const float xs[4] = {x0, x1, x1, x0};
            const float zs[4] = {z0, z0, z1, z1};
            for (int k = 0; k < 4; ++k) {
                glTexCoord2f((40.0f - xs[k]) / 80.0f * 6.0f, (40.0f - zs[k]) / 80.0f * 6.0f);
                glVertex3f(xs[k], -2.0f, zs[k]);
            }
        }
    }
    glEnd();
}

}  // namespace

bool floorCamera(float t, double eye[3], double centre[3]) {
    double e[3], c[3] = {0.0, 0.0, 0.0};
    if ((144.0f < t && t < 150.0f) || (160.0f < t && t < kPresentationEnd)) {
        // High circle, radius 13.
        const float angle = t / 6.0f;
        e[0] = 13.0 * sinArgResult32(angle);
        e[1] = 8.0;
        e[2] = 13.0 * cosArgResult32(angle);
    } else if (150.0f < t && t < 153.5f) {
        // Low ellipse.
        const float angle = t / 5.0f;
        e[0] = 15.0 * cosArgResult32(angle);
        e[1] = 3.0;
        e[2] = 10.0 * sinArgResult32(angle);
    } else if (153.5f < t && t < 157.0f) {
        // High ellipse aimed past the model.
        const float angle = t / 5.0f;
        e[0] = 15.0 * sinArgResult32(angle);
        e[1] = 8.0;
        e[2] = 10.0 * cosArgResult32(angle);
        c[0] = 1.0;
        c[2] = 2.0;
    } else {
        return false;
    }
    for (int k = 0; k < 3; ++k) {
        eye[k] = e[k];
        centre[k] = c[k];
    }
    return true;
}

float floorParticleHalfSize(int i, float t) {
    return float(sinArgResult32(double(float(i)) + double(t)) * 0.5 + 0.2 + 0.5);
}

void drawFloorModelScene() {
    const float t = DemoTime;
    glLoadIdentity();
    double eye[3], centre[3];
    if (floorCamera(t, eye, centre)) {
        gluLookAt(eye[0], eye[1], eye[2], centre[0], centre[1], centre[2], 0.0, 1.0, 0.0);
    }
    // Takes effect at the next frame's clear.
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);

    glEnable(GL_TEXTURE_2D);
    glEnable(GL_FOG);
    glPushMatrix();
    glBindTexture(GL_TEXTURE_2D, sceneTextures[texChecker]);
    drawFloor();
    glPopMatrix();
    glDisable(GL_FOG);

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, sceneTextures[texParticle]);
    glPushMatrix();
    glTranslatef(0.0f, 1.5f, 0.0f);
    glScalef(0.5f, 0.5f, 0.5f);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    drawModel(demoModel);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glPopMatrix();

    // Added without depth writes, tested against the floor and the model, not fogged.
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glBindTexture(GL_TEXTURE_2D, sceneTextures[texParticle]);
    glPushMatrix();
    for (int i = 0; i < 220; ++i) {
        glColor4f(1.0f, 1.0f, 1.0f, 0.7f);
        drawBillboard(particlePosition(i, t), floorParticleHalfSize(i, t));
    }
    glPopMatrix();
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    // The current colour stays (1, 1, 1, 0.7); the director sets white before the next scene.
}
