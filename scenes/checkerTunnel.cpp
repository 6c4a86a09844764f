// checkerTunnel.cpp
// 157 to 168 s: the camera swings around the middle of a long glowing tube whose checker texture
// streams along it and fades into black fog at both ends, while two small balls of glowing
// particles circle each other at the centre. Leaves the fog range at 20-30 for later scenes.
#include "glLayer/glLayer.h"

#include "assets/assets.h"
#include "scenes/scenes.h"

namespace {

// One ball: the 220 directions on a sphere of radius 0.5 around (x, 0, 0). The billboards take
// their axes from the scaled matrix, so each sprite shows at a quarter of its half-size.
void drawBlob(float x, float t) {
    glPushMatrix();
    glTranslatef(x, 0.0f, 0.0f);
    glScalef(0.5f, 0.5f, 0.5f);
    for (int i = 0; i < 220; ++i) {
        glColor4f(1.0f, 1.0f, 1.0f, 0.7f);
        drawBillboard(scatterDirections[i], tunnelBlobHalfSize(i, t));
    }
    glPopMatrix();
}

void setTextureMatrixIdentity() {
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, 0.0f);
    glMatrixMode(GL_MODELVIEW);
}

}  // namespace

float tunnelBlobHalfSize(int i, float t) {
    const float argument = float(i) + t;
    return float(0.3 + 0.4 * sinResult32(double(argument)));
}

void drawTunnelTube(float radius, float texScaleS, float texScaleT, float texShiftT, int textureSlot) {
    glPushMatrix();
    glTranslatef(0.0f, 0.0f, -40.0f);
    glBindTexture(GL_TEXTURE_2D, sceneTextures[textureSlot]);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor4f(1.0f, 1.0f, 1.0f, 0.8f);

    // The cylinder's (u around, v along) is used as (scaleS u, scaleT (v + shiftT)).
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glScalef(texScaleS, texScaleT, 0.0f);
    glTranslatef(0.0f, texShiftT, 0.0f);
    glMatrixMode(GL_MODELVIEW);

    if (sceneQuadric) gluCylinder(sceneQuadric, radius, radius, 80.0, 32, 32);
    glDisable(GL_BLEND);
    setTextureMatrixIdentity();
    glPopMatrix();
}

void drawTunnelScene() {
    const float t = DemoTime;
    glLoadIdentity();
    gluLookAt(3.0 * sinResult32(double(t)), 2.0 * sinResult32(double(t / 2.0f)), 3.0 * cosResult32(double(t)),
              0.0, 0.0, 0.0, 0.0, 1.0, 0.0);

    glEnable(GL_TEXTURE_2D);
    glEnable(GL_FOG);
    glFogf(GL_FOG_START, 20.0f);
    glFogf(GL_FOG_END, 40.0f);
    drawTunnelTube(4.0f, 3.0f, 6.0f, t / 5.0f, texChecker);
    glDisable(GL_FOG);
    // Left behind on purpose: the floor scene's second window fogs over this range.
    glFogf(GL_FOG_START, 20.0f);
    glFogf(GL_FOG_END, 30.0f);

    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glPushMatrix();
    glRotatef(-30.0f * t, 0.0f, 1.0f, 0.0f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glBindTexture(GL_TEXTURE_2D, sceneTextures[texParticle]);
    drawBlob(-1.0f, t);
    drawBlob(1.0f, t);
    glPopMatrix();
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}
