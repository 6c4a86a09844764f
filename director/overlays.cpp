// overlays.cpp
// The flat layers drawn over the finished frame in the 800x600 screen mode: fades from and to
// black, letterbox bars, masked title pictures that flicker in (the opening's twelve one after
// another), the additive group logo, the progress bar and the scroller. Stateless: each draws
// from its arguments and DemoTime alone.
#include "glLayer/glLayer.h"

#include "assets/assets.h"
#include "director/director.h"
#include "geometry/geometry.h"

namespace {

// Weight of a masked layer's picture, in hundredths of a second from its start.
const Keyframe layerFlickerTrack[4] = {
    {{0.0f, 0, 0}, 0}, {{0.5f, 0, 0}, 20}, {{0.2f, 0, 0}, 30}, {{1.0f, 0, 0}, 50}};
// Right edge of the red progress bar over its ten seconds.
const Keyframe barLengthTrack[2] = {{{205.0f, 0, 0}, 0}, {{635.0f, 0, 0}, 1000}};
// Picture windows of the intro, in seconds: picture n shows while start < t < end.
const float introWindows[12][2] = {
    {1, 6},   {6, 14},  {14, 20}, {20, 26}, {26, 31}, {31, 36},
    {36, 42}, {42, 48}, {48, 55}, {55, 58}, {58, 62}, {62, 68},
};

// 1024x512 anchored at the top left; the texture's -1..0 range covers it once (GL_REPEAT).
void drawPictureQuad() {
    glBegin(GL_QUADS);
    glTexCoord2f(-1, 0);
    glVertex2f(0, 0);
    glTexCoord2f(-1, 1);
    glVertex2f(0, 512);
    glTexCoord2f(0, 1);
    glVertex2f(1024, 512);
    glTexCoord2f(0, 0);
    glVertex2f(1024, 0);
    glEnd();
}

void drawStripQuad() {
    glBegin(GL_QUADS);
    glTexCoord2f(-1, 0);
    glVertex2f(0, 0);
    glTexCoord2f(-1, 1);
    glVertex2f(0, 256);
    glTexCoord2f(0, 1);
    glVertex2f(2048, 256);
    glTexCoord2f(0, 0);
    glVertex2f(2048, 0);
    glEnd();
}

void drawRectangle(float left, float top, float right, float bottom) {
    glBegin(GL_QUADS);
    glVertex2f(left, top);
    glVertex2f(left, bottom);
    glVertex2f(right, bottom);
    glVertex2f(right, top);
    glEnd();
}

// A black full-window quad of the given alpha.
void drawBlackVeil(float alpha) {
    beginOrtho2D();
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0, 0, 0, alpha);
    drawRectangle(0, 0, 800, 600);
    glColor4f(1, 1, 1, 1);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    endOrtho2D();
}

// One textured pass of a masked picture: the quad drawn with the given texture, blend factors and
// alpha, at an offset in screen units.
void drawTexturedPass(unsigned int texture, GLenum sourceFactor, GLenum destinationFactor, float alpha,
                      void (*quad)(), float x, float y) {
    beginOrtho2D();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glEnable(GL_BLEND);
    glBlendFunc(sourceFactor, destinationFactor);
    glColor4f(1, 1, 1, alpha);
    glTranslatef(x, y, 0);
    quad();
    glColor4f(1, 1, 1, 1);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    endOrtho2D();
}

}  // namespace

float progressBarRight(float start, float t) {
    return sampleKeyframes(barLengthTrack, 2, (t - start) * 100.0f).x;
}

float layerFlickerAlpha(float start, float t) {
    return sampleKeyframes(layerFlickerTrack, 4, (t - start) * 100.0f).x;
}

void fadeFromBlack(float start, float duration) {
    const float t = DemoTime;
    if (!(t > start)) return;
    const float alpha = 1.0f - linearRamp(start, start + duration, t);
    // A finished fade would blend a fully transparent quad over the whole window on every frame
    // to the end: it changes no pixel and no later depth test, so it is skipped for its fill cost.
    if (alpha <= 0.0f) return;
    drawBlackVeil(alpha);
}

void fadeToBlack(float start, float duration) {
    const float t = DemoTime;
    if (!(t > start)) return;
    drawBlackVeil(linearRamp(start, start + duration, t));
}

// Moved to z = 1, the near plane, so the bars pass the depth test everywhere.
void drawLetterbox() {
    beginOrtho2D();
    glTranslatef(0, 0, 1);
    glColor4f(0, 0, 0, 1);
    drawRectangle(0, 0, 800, 80);
    drawRectangle(0, 520, 800, 600);
    glColor3f(1, 1, 1);
    endOrtho2D();
}

// At z = 0 on the far plane: the picture shows only where the depth buffer holds its cleared value.
void drawAdditiveOverlay(int textureIndex, float alpha) {
    beginOrtho2DFarZero();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, sceneTextures[textureIndex]);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor4f(1, 1, 1, alpha);
    drawPictureQuad();
    glColor4f(1, 1, 1, 1);
    glDisable(GL_TEXTURE_2D);
    endOrtho2D();
    glDisable(GL_BLEND);
}

// Leaves the current colour red; the fades drawn after it in the frame reset it to white.
void drawProgressBar(float start) {
    beginOrtho2D();
    glColor4f(0, 0, 0, 1);
    glTranslatef(0, 470, 0);
    drawRectangle(200, 0, 640, 32);
    endOrtho2D();
    const float right = progressBarRight(start, DemoTime);
    beginOrtho2D();
    glColor4f(1, 0, 0, 1);
    glTranslatef(0, 473, 0);
    drawRectangle(205, 0, right, 25);
    endOrtho2D();
}

// A 2048x256 strip at y 128 whose left edge is at 812 - distance; nothing is clipped here.
void drawScroller(float distance) {
    const float x0 = 812.0f - distance;
    drawTexturedPass(layerMasks[14], GL_DST_COLOR, GL_ZERO, 1.0f, drawStripQuad, x0, 128);
    drawTexturedPass(layerTextures[14], GL_SRC_ALPHA, GL_ONE, 1.0f, drawStripQuad, x0, 128);
}

// The mask applies at full strength from the first frame; the picture's weight flickers in.
void drawMaskedLayer(int index, float start, float end) {
    const float t = DemoTime;
    const float alpha = layerFlickerAlpha(start, t);
    if (!(start < t && t < end)) return;
    drawTexturedPass(layerMasks[index], GL_DST_COLOR, GL_ZERO, 1.0f, drawPictureQuad, 0, 0);
    drawTexturedPass(layerTextures[index], GL_SRC_ALPHA, GL_ONE, alpha, drawPictureQuad, 0, 0);
}

void drawIntroLayers() {
    for (int i = 0; i < 12; ++i) drawMaskedLayer(i, introWindows[i][0], introWindows[i][1]);
}
