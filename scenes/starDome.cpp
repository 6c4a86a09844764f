// starDome.cpp
// 106 to 125 s: inside a star-textured dome a square twirl picture turns flat on the ground plane
// under a still cloud of 150 tiny masked sprites, while the camera drifts around the centre at a
// fixed height, always looking at it.
#include "glLayer/glLayer.h"

#include "assets/assets.h"
#include "scenes/scenes.h"

float twirlDiscAngle(float t) { return -30.0f * t; }

void drawStarDomeScene() {
    const float t = DemoTime;
    glLoadIdentity();
    gluLookAt(2.0 * sinResult32(double(t / 8.0f)), 2.0, 2.0 * cosResult32(double(t / 6.0f)), 0.0, 0.0, 0.0,
              0.0, 1.0, 0.0);

    glEnable(GL_TEXTURE_2D);
    glPushMatrix();
    glBindTexture(GL_TEXTURE_2D, sceneTextures[texStars]);
    if (sceneQuadric) gluSphere(sceneQuadric, 25.0, 32, 32);
    glPopMatrix();

    // The disc is added to the dome with depth writes left on.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glPushMatrix();
    glRotatef(twirlDiscAngle(t), 0.0f, 1.0f, 0.0f);
    glBindTexture(GL_TEXTURE_2D, sceneTextures[texTwirl]);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-2.0f, 0.0f, -2.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-2.0f, 0.0f, 2.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(2.0f, 0.0f, 2.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(2.0f, 0.0f, -2.0f);
    glEnd();
    glPopMatrix();

    // The cloud hangs still: its places do not depend on time.
    glPushMatrix();
    for (int i = 0; i < 150; ++i) {
        const Vec3& p = scatterPoints[i];
        const Vec3 centre = {0.125f * p.x, 0.125f * p.y + 1.0f, 0.125f * p.z};
        drawMaskedBillboard(centre, 0.04f, sceneTextures[texEMask], sceneTextures[texESprite]);
    }
    glPopMatrix();
    glDisable(GL_BLEND);
}
