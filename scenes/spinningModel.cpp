// spinningModel.cpp
// 66.5 to 87 s: the OBJ model, sphere-mapped with the particle texture, spins over a drifting,
// wobbling checkerboard. A keyframe track flies it in, throws it out at the top at 75.5 s and
// brings it back from below; from 76 s glow sprites on a shell around it follow spectrum band 19.
#include "glLayer/glLayer.h"

#include "assets/assets.h"
#include "scenes/scenes.h"

namespace {

// The model's flight, in hundredths of a second from 66 s. The value's x moves it vertically and
// its y horizontally (see modelFlightTranslation).
const Keyframe modelFlightTrack[7] = {
    {{0.0f, -10.0f, 8.0f}, 0},  {{0.0f, 0.0f, 0.0f}, 250},   {{0.0f, 0.0f, 0.0f}, 300},
    {{0.0f, 0.0f, 0.0f}, 950},  {{10.0f, 0.0f, 0.0f}, 1000}, {{-10.0f, 0.0f, 0.0f}, 1001},
    {{0.0f, 0.0f, 0.0f}, 1100},
};

}  // namespace

Vec3 modelFlightTranslation(float t) {
    const float trackTime = float((t - 66.0f) * 100.0f);
    Vec3 p = sampleKeyframes(modelFlightTrack, 7, trackTime);
    return {p.y, p.x, p.z - 7.0f};
}

void drawScrollingChecker() {
    const float t = DemoTime;
    const float s = float(t * 0.25f);
    const float v = float(cosfResult32(double(t / 15.0f)) + sinfResult32(double(t / 5.0f)));

    // Written at depth 1 (the far plane), so it hides nothing drawn later.
    beginOrtho2DFarZero();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, sceneTextures[texChecker]);
    glBegin(GL_QUADS);
    glTexCoord2f(1.0f - s, v + 0.0f);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(1.0f - s, v + 0.7f);
    glVertex2f(0.0f, 600.0f);
    glTexCoord2f(0.0f - s, v + 0.7f);
    glVertex2f(800.0f, 600.0f);
    glTexCoord2f(0.0f - s, v);
    glVertex2f(800.0f, 0.0f);
    glEnd();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDisable(GL_TEXTURE_2D);
    endOrtho2D();
}

void drawVertexGlows(const ObjModel& model) {
    for (const ObjGroup* group = model.groups; group; group = group->next) {
        for (uint32_t position = 0; position < group->triangleCount; position += 4) {
            const uint32_t index = group->triangleIndices[position];
            if (index >= model.triangleCount) continue;
            const ObjTriangle& triangle = model.triangles[index];
            if (!isTriangleDrawable(model, triangle)) continue;
            const Vec3& v = model.vertices[triangle.vertex[0]];
            const Vec3 centre = {float(1.4 * v.x), float(1.4 * v.y), float(1.4 * v.z)};
            drawBillboard(centre, 1.1f);
        }
    }
}

void drawSpinningModelScene() {
    const float t = DemoTime;
    drawScrollingChecker();
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, sceneTextures[texParticle2]);
    glPushMatrix();
    const Vec3 offset = modelFlightTranslation(t);
    glTranslatef(offset.x, offset.y, offset.z);
    glRotatef(t * 50.0f, 0.0f, 0.0f, 1.0f);
    glRotatef(t * 5.0f, 0.0f, 1.0f, 0.0f);
    glScalef(0.2f, 0.2f, 0.2f);

    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    drawModel(demoModel);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDepthMask(GL_FALSE);
    glColor4f(1.0f, 1.0f, 1.0f, SpectrumBands[19]);
    if (t > 76.0f) drawVertexGlows(demoModel);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glPopMatrix();
    // Texturing stays on and the blend function at (GL_SRC_ALPHA, GL_ONE); the post pass sets its own.
}
