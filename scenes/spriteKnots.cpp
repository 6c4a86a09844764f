// spriteKnots.cpp
// 135 to 144 s: three closed space curves, each traced by 6000 green-tinted glow sprites, tumble
// slowly together in front of the camera while the sprites pulse in size. 18,000 billboards a
// frame, the heaviest scene of the run.
#include "glLayer/glLayer.h"

#include <cmath>

#include "assets/assets.h"
#include "scenes/scenes.h"

namespace {

enum { KNOT_SPRITES = 6000 };

// Point i of the knot with shape factors a, b, c. The curve parameter steps by 6.28 / 60 (not
// 2 pi / 60), so the beads of successive laps lie side by side.
Vec3 knotPoint(int i, float a, float b, float c) {
    const float u = float(i * 6.28 / 60.0);
    const float u3 = 3.0f * u;
    const float u4 = 4.0f * u;
    const double uu = double(u);
    Vec3 p;
    p.x = 3.0f * (a * (cosfResult32(uu) + cosfResult32(u3)) + cosfResult32(2.0 * uu) + cosfResult32(u4));
    p.y = 3.0f * (b * sinfResult32(uu) + 10.0f * sinfResult32(u3));
    p.z = 3.0f * (4.0f * sinfResult32(u4) + c * sinfResult32(u3) * sinfResult32(2.5 * uu) -
                  2.0f * sinfResult32(6.0 * uu));
    return p;
}

struct KnotTable {
    bool filled = false;
    float a = 0, b = 0, c = 0;
    Vec3 points[KNOT_SPRITES];
};

// The 6000 positions of the knot (a, b, c), from the slot of tables that holds them or, when none
// does yet, worked out into a free slot (or, with every slot taken, the last one, refilled).
const Vec3* knotTable(KnotTable* tables, float a, float b, float c) {
    KnotTable* slot = &tables[2];
    for (int k = 0; k < 3; ++k) {
        if (tables[k].filled && tables[k].a == a && tables[k].b == b && tables[k].c == c)
            return tables[k].points;
        if (!tables[k].filled) {
            slot = &tables[k];
            break;
        }
    }
    for (int i = 0; i < KNOT_SPRITES; ++i) slot->points[i] = knotPoint(i, a, b, c);
    slot->a = a;
    slot->b = b;
    slot->c = c;
    slot->filled = true;
    return slot->points;
}

}  // namespace

float knotRotationAngle(float t) { return 2.0f * t + 500.0f; }

// The pulse's sine is the C library's single-precision one (sinf of a float), not a rounded double.
float knotSpriteHalfSize(int i, float t) {
    const float argument = float(1.4 * double(t) + i);
    return float(0.6 + 0.4 + 0.2 * double(std::sin(argument)));
}

void drawSpriteKnot(float a, float b, float c, int textureSlot) {
    const float t = DemoTime;
    // No camera: the eye stays at the origin looking down -z; every knot gets this same transform.
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -20.0f);
    glRotatef(knotRotationAngle(t), 1.0f, 0.0f, 1.0f);

    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, sceneTextures[textureSlot]);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDepthMask(GL_FALSE);
    glColor4f(0.3f, 0.5f, 0.3f, 0.8f);

    // The positions depend only on the knot's factors, so each knot's table is worked out once;
    // every sprite shares one modelview matrix, so the 6000 squares go to the driver as one batch.
    static KnotTable tables[3];
    const Vec3* points = knotTable(tables, a, b, c);
    static float halfSizes[KNOT_SPRITES];
    for (int i = 0; i < KNOT_SPRITES; ++i) halfSizes[i] = knotSpriteHalfSize(i, t);
    drawBillboards(points, halfSizes, KNOT_SPRITES);

    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
}

void drawKnotsScene() {
    // The director has just cleared the depth buffer and the knots write no depth, so every sprite
    // fragment would pass the depth test: drawing them without it gives the same picture and saves
    // a depth read for each of the run's heaviest fill of fragments.
    const bool depthTest = glIsEnabled(GL_DEPTH_TEST);
    glDisable(GL_DEPTH_TEST);
    drawSpriteKnot(5.0f, 8.0f, 15.0f, texDotSprite);
    drawSpriteKnot(8.0f, 5.0f, 18.0f, texDotSprite2);
    drawSpriteKnot(10.0f, 6.0f, 12.0f, texDotSprite3);
    if (depthTest) glEnable(GL_DEPTH_TEST);
}
