// acidSphere.cpp
// 87 to 106 s: the camera stands at the centre of an acid-textured sphere and sweeps its gaze
// around through 200 pulsing masked dot sprites; at thirteen fixed times one vertical third of the
// picture flashes in colour for about a third of a second.
#include "glLayer/glLayer.h"

#include "assets/assets.h"
#include "scenes/scenes.h"

namespace {

struct FlashRow {
    float time;  // music time of the flash, s
    int panel;
};

const FlashRow flashSchedule[13] = {
    {87.025f, 0}, {87.924f, 2}, {88.073f, 1}, {89.425f, 0}, {90.324f, 1},  {90.494f, 2},  {96.625f, 2},
    {97.525f, 1}, {97.695f, 0}, {99.024f, 1}, {99.924f, 2}, {100.094f, 0}, {100.824f, 2},
};

// A flash's strength in x, hundredths of a second after its time: up to 0.5, held, back to 0.
const Keyframe flashTrack[4] = {
    {{0.0f, 0.0f, 0.0f}, 0},
    {{0.5f, 0.0f, 0.0f}, 5},
    {{0.5f, 0.0f, 0.0f}, 25},
    {{0.0f, 0.0f, 0.0f}, 35},
};

struct Panel {
    float left, right;  // x in the 800x600 screen space
    float red, green, blue;
    float alphaOffset;  // added to the flash value
};

// Panel 0 is dimmer: below a flash value of 0.2 its alpha is negative and clamps to 0.
const Panel panels[3] = {
    {0.0f, 266.0f, 0.35f, 0.1f, 0.1f, -0.2f},
    {266.0f, 532.0f, 0.5f, 0.35f, 0.0f, 0.0f},
    {532.0f, 800.0f, 0.5f, 0.7f, 0.0f, 0.0f},
};

}  // namespace

float acidDotHalfSize(int i, float t) {
    const float argument = float(1.2 * double(t) + i);
    return float(0.7 + 0.2 * sinResult32(argument));
}

void drawPanelFlash(int panel, float time) {
    beginOrtho2D();
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const float value = sampleKeyframes(flashTrack, 4, (DemoTime - time) * 100.0f).x;
    if (panel >= 0 && panel < 3) {
        const Panel& p = panels[panel];
        glColor4f(p.red, p.green, p.blue, value + p.alphaOffset);
        glBegin(GL_QUADS);
        glVertex2f(p.left, 0.0f);
        glVertex2f(p.left, 600.0f);
        glVertex2f(p.right, 600.0f);
        glVertex2f(p.right, 0.0f);
        glEnd();
    }
    glDisable(GL_BLEND);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    endOrtho2D();
}

void drawAcidSphereScene() {
    const float t = DemoTime;
    glLoadIdentity();
    const double gazeSin = 20.0 * sinResult32(double(t));
    gluLookAt(0.0, 0.0, 0.0, gazeSin, gazeSin, 20.0 * cosResult32(double(t)), 0.0, 1.0, 0.0);

    glEnable(GL_TEXTURE_2D);
    glPushMatrix();
    glBindTexture(GL_TEXTURE_2D, sceneTextures[texAcid02]);
    if (sceneQuadric) gluSphere(sceneQuadric, 20.0, 32, 32);
    glPopMatrix();

    glPushMatrix();
    for (int i = 0; i < 200; ++i) {
        drawMaskedBillboard(scatterPoints[i], acidDotHalfSize(i, t), sceneTextures[texDotMask],
                            sceneTextures[texDotSprite]);
    }
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);

    for (const FlashRow& row : flashSchedule) drawPanelFlash(row.panel, row.time);
}
