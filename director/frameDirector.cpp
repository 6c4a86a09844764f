// frameDirector.cpp
// One frame: read the music time it will be presented at, draw the scheduled scene into the square
// region (512x512 in an 800x600 picture), pass it through the blur program over the picture, draw
// the overlays and keep the spectrum for the next frame. The presentation is over on the first
// frame past 203 s.
#include "glLayer/glLayer.h"

#include <cstring>

#include "assets/assets.h"
#include "director/director.h"
#include "external/qrx/shaderLibrary"
#include "scenes/scenes.h"

const SceneWindow sceneSchedule[] = {
    {-1e30f, 66.5f, drawWaterSphereScene, "water sphere"},
    {66.5f, 87.0f, drawSpinningModelScene, "spinning model"},
    {87.0f, 106.0f, drawAcidSphereScene, "acid sphere"},
    {106.0f, 125.0f, drawStarDomeScene, "star dome"},
    {135.0f, 144.0f, drawKnotsScene, "sprite knots"},
    {144.0f, 157.0f, drawFloorModelScene, "floor model"},
    {157.0f, 168.0f, drawTunnelScene, "checker tunnel"},
    {168.0f, 182.5f, drawSwayingSpritesScene, "swaying sprites"},
    {182.5f, kPresentationEnd, drawFloorModelScene, "floor model again"},
};
const int sceneScheduleCount = int(sizeof sceneSchedule / sizeof sceneSchedule[0]);

void setViewport(int width, int height) { glViewport(pictureRect.x, pictureRect.y, width, height); }

int sceneIndexAt(float t) {
    for (int i = 0; i < sceneScheduleCount; ++i) {
        if (sceneSchedule[i].lower < t && t < sceneSchedule[i].upper) return i;
    }
    return -1;
}

unsigned overlaysAt(float t) {
    unsigned overlays = 0;
    if (t < 66.5f) overlays |= OVERLAY_INTRO;
    if (125.0f < t && t < 135.0f) overlays |= OVERLAY_LOGO;
    if (135.0f < t && t < 144.0f) overlays |= OVERLAY_KEEP;
    if (144.0f < t && t < 157.0f) overlays |= OVERLAY_MEANWHILE;
    if (168.0f < t && t < 182.5f) overlays |= OVERLAY_SCROLLER;
    return overlays;
}

namespace {

// The post pass. Without a program (its load failed) the copy is drawn by the fixed pipeline.
void postPass(float t) {
    if (blurProgram) {
        blurProgram->bindProgram();
        blurProgram->setUniformInt("texture", 0);
        blurProgram->setUniformFloat("slider", 0.0065f);
        blurProgram->setUniformFloat("strength", 0.0f);
        blurProgram->setUniformFloat("time", t);
        // At exactly 183 s the uniform is left as it was.
        if (t < 183.0f) {
            blurProgram->setUniformFloat("glitch", 0.0f);
        } else if (t > 183.0f) {
            blurProgram->setUniformFloat("glitch", SpectrumBands[4] * 40.0f);
        }
    }
    drawScreenCopy(pictureRect.region, pictureRect.region);
    if (blurProgram) blurProgram->unbindProgram();
}

void drawOverlays(float t) {
    unsigned overlays = overlaysAt(t);
    if (overlays & OVERLAY_INTRO) drawIntroLayers();
    if (overlays & OVERLAY_LOGO) {
        drawAdditiveOverlay(texGroupLogo, 1.0f - SpectrumBands[4]);
        drawProgressBar(125.0f);
    }
    if (overlays & OVERLAY_KEEP) drawMaskedLayer(12, 136.0f, 143.0f);
    if (overlays & OVERLAY_MEANWHILE) drawMaskedLayer(13, 144.0f, 157.0f);
    if (overlays & OVERLAY_SCROLLER) drawScroller((t - 168.0f) * 190.0f);
    fadeFromBlack(106.0f, 5.0f);
    fadeFromBlack(135.0f, 3.0f);
    fadeFromBlack(144.0f, 1.0f);
    fadeFromBlack(168.0f, 3.0f);
    fadeFromBlack(182.5f, 2.0f);
    fadeToBlack(197.0f, 3.0f);
    drawLetterbox();
}

}  // namespace

int renderFrame() {
    DemoTime = float(musicFrameTimeMs() / 1000.0);
    const float t = DemoTime;
    setViewport(pictureRect.region, pictureRect.region);
    glColor3f(1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    clearOutsidePicture();
    int scene = sceneIndexAt(t);  // the windows never overlap: at most one scene runs
    if (scene >= 0) sceneSchedule[scene].draw();
    postPass(t);
    if (t > kPresentationEnd) return 0;
    drawOverlays(t);
    memcpy(SpectrumBands, musicSpectrum(), sizeof SpectrumBands);
    return 1;
}
