// startup.cpp
// The start-up sequence that every opening of the display window runs inside its new GL context:
// assets first, then the fixed GL state, the random tables, the quadric, the screen texture (made
// by the director's function that the caller passes), and the music last, so that playback begins
// only when everything is loaded. A kept context (F1 on Wayland) runs it again: the pictures and
// the blur program it still holds are kept, not made a second time.
#include "glLayer/glLayer.h"

#include "assets/assets.h"
#include "external/qrx/shaderLibrary"

Vec3 scatterPoints[SCATTER_POINT_COUNT];
Vec3 scatterDirections[SCATTER_DIRECTION_COUNT];
GLUquadric* sceneQuadric = nullptr;
ShaderProgram* blurProgram = nullptr;
ObjModel demoModel = {};

namespace {
// The standard generator's state; never seeded, so every run draws the same tables, and a second
// start-up continues where the first one stopped.
uint32_t randomState = 1;
}  // namespace

int drawRandom() {
    randomState = randomState * 214013u + 2531011u;
    return int((randomState >> 16) & 0x7FFF);
}

void makeScatterPoints() {
    for (Vec3& p : scatterPoints) {
        p.x = float(drawRandom() % 50 - 25) * 0.5f;
        p.y = float(drawRandom() % 50 - 25) * 0.5f;
        p.z = float(drawRandom() % 50 - 25) * 0.5f;
    }
}

void makeScatterDirections() {
    for (Vec3& d : scatterDirections) {
        d.x = float(drawRandom() % 50 - 20);
        d.y = float(drawRandom() % 50 - 20);
        d.z = float(drawRandom() % 50 - 20);
        normalizeVec3(d);
    }
}

bool initDemo(void (*makeScreenTexture)()) {
    glEnable(GL_TEXTURE_2D);
    loadTextures();
    readObjModel(demoModel, dataFile("data/3d/deformed2.obj").c_str());
    const std::string shaders = glLayerShaderFolder;
    // A program of a context that went away was unlinked by the library (releaseContextObjects).
    if (!blurProgram || !blurProgram->linked) {
        blurProgram = shaderLibrary.loadProgramPair(dataFile((shaders + "default.vert").c_str()).c_str(),
                                                    dataFile((shaders + "blur.frag").c_str()).c_str());
    }
    glDisable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    const GLfloat fogColour[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glFogfv(GL_FOG_COLOR, fogColour);
    glFogf(GL_FOG_START, 30.0f);
    glFogf(GL_FOG_END, 40.0f);
    glHint(GL_FOG_HINT, GL_NICEST);
    makeScatterPoints();
    makeScatterDirections();
    // A quadric is plain memory, not a GL object, so the one of an earlier start-up is freed here
    // rather than left to grow with every re-created window.
    if (sceneQuadric) gluDeleteQuadric(sceneQuadric);
    sceneQuadric = gluNewQuadric();
    gluQuadricNormals(sceneQuadric, GLU_SMOOTH);
    gluQuadricTexture(sceneQuadric, GL_TRUE);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    makeScreenTexture();
    startMusic();
    activateSpectrum();
    return true;
}
