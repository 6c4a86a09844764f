// waterSphere.cpp
// The opening (0 to 66.5 s): the camera circles inside a water-textured sphere while a swarm of
// blinking glow sprites and a swarm of dark, spectrum-sized sprites drift through its middle.
#include "glLayer/glLayer.h"

#include <cmath>

#include "assets/assets.h"
#include "scenes/scenes.h"

namespace {

// Place and blink of sprite i of either swarm (its index sets every phase); the alpha runs from
// 0 to 2 and the pipeline clamps it to 1.
Vec3 swarmPosition(int i, float t, float* alpha) {
    const Vec3& p = scatterPoints[i];
    const float f = float(i);
    Vec3 q;
    q.x = 3.8f * cosfResult32(f - t / 4.0f) * cosfResult32(f + t / 280.0f) + 3.0f * p.x;
    q.y = 5.0f * sinfResult32(f + t / 6.0f) * sinfResult32(f - t / 290.0f) + 2.0f * p.y;
    q.z = 4.0f * cosfResult32(f + t / 4.0f) * sinfResult32(f + t / 320.0f) + 3.0f * p.z;
    *alpha = 1.0f - cosfResult32(f + 2.0f * t);
    return q;
}

// Draws sprites first..last-1 of the swarms with the texture and blend factors given.
void drawSwarm(int first, int last, unsigned texture, GLenum source, GLenum destination, float halfSize,
               float t) {
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(source, destination);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPushMatrix();
    for (int i = first; i < last; ++i) {
        float alpha;
        Vec3 centre = swarmPosition(i, t, &alpha);
        glColor4f(1.0f, 1.0f, 1.0f, alpha);
        drawBillboard(centre, halfSize);
    }
    glPopMatrix();
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
}

}  // namespace

float darkSpriteHalfSize(float band19) { return band19 + 0.2f; }

void drawWaterSphereScene() {
    const float t = DemoTime;
    glLoadIdentity();
    gluLookAt(40.0 * std::sin(double(t / 4.0f)), 0.0, 40.0 * std::cos(double(t / 4.0f)), 0.0,
              20.0 * std::sin(double(t / 6.0f)), 0.0, 0.0, 1.0, 0.0);
    // Takes effect at the next frame's clear.
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);

    glEnable(GL_TEXTURE_2D);
    glPushMatrix();
    glBindTexture(GL_TEXTURE_2D, sceneTextures[texWater]);
    if (sceneQuadric) gluSphere(sceneQuadric, 40.0, 32, 32);
    glPopMatrix();

    drawSwarm(0, 300, sceneTextures[texParticle], GL_SRC_ALPHA, GL_ONE, 0.5f, t);
    drawSwarm(300, 600, sceneTextures[texPart4], GL_DST_COLOR, GL_ZERO, darkSpriteHalfSize(SpectrumBands[19]),
              t);
    glDisable(GL_TEXTURE_2D);
}
