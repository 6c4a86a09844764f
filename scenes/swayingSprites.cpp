// swayingSprites.cpp
// 168 to 182.5 s: 200 dark sprites of fixed sizes multiplied into a white picture sway from side
// to side, seen by a camera that drifts slowly around them. The white clear colour it sets stays
// in force until a scene sets another.
#include "glLayer/glLayer.h"

#include "assets/assets.h"
#include "scenes/scenes.h"

float swayingSpriteHalfSize(int i) { return float(1.5 + double(sinfResult32(double(i)))); }

void drawSwayingSpritesScene() {
    const float t = DemoTime;
    glLoadIdentity();
    gluLookAt(2.0 * double(sinfResult32(double(t / 8.0f))), 2.0, 2.0 * double(cosfResult32(double(t / 6.0f))),
              0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glEnable(GL_TEXTURE_2D);
    // Takes effect at the next frame's clear (the first frame is covered by the fade from black).
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);

    // Light parts of the texture leave the white as it is; dark parts darken it.
    glPushMatrix();
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    glBindTexture(GL_TEXTURE_2D, sceneTextures[texPart4]);
    for (int i = 0; i < 200; ++i) {
        const Vec3& p = scatterPoints[i];
        const Vec3 centre = {p.x + 4.0f * sinfResult32(double(t + p.z)), p.y, p.z};
        drawBillboard(centre, swayingSpriteHalfSize(i));
    }
    glPopMatrix();
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}
