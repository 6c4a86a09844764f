// sceneTestSupport.cpp
// Shared steps of the scene tests (see sceneTestSupport.h).
#include <gtest/gtest.h>

#include "tests/sceneTestSupport.h"

#include "glLayer/glLayer.h"

#include <cmath>
#include <vector>

#include "app/app.h"
#include "assets/assets.h"
#include "director/director.h"
#include "platform/platform.h"
#include "tests/glTestContext.h"

bool startDemoForTests(bool fresh) {
    static bool started = false;
    if (!openTestGlContext()) return false;
    if (started && !fresh) {
        resizeScene(800, 600);
        return true;
    }
    audioSetOffline(true);
    resizeScene(800, 600);
    started = initDemo(createScreenTexture);
    return started;
}

void drawSceneFrame(void (*scene)(), float t) {
    DemoTime = t;
    setViewport(512, 512);
    glColor3f(1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene();
}

void readModelview(float m[16]) { glGetFloatv(GL_MODELVIEW_MATRIX, m); }

void eyeOfView(const float m[16], double eye[3]) {
    // The eye is -R^T t for the rotation R (upper 3x3) and translation t of the view.
    for (int j = 0; j < 3; ++j) {
        eye[j] = 0.0;
        for (int i = 0; i < 3; ++i) eye[j] -= double(m[j * 4 + i]) * double(m[12 + i]);
    }
}

void gazeOfView(const float m[16], double gaze[3]) {
    // The view looks down its -z axis: minus the third row of R.
    gaze[0] = -double(m[2]);
    gaze[1] = -double(m[6]);
    gaze[2] = -double(m[10]);
}

long long regionBrightness() {
    static std::vector<unsigned char> pixels(512 * 512 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 512, 512, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    long long sum = 0;
    for (unsigned char c : pixels) sum += c;
    return sum;
}

void readPixel(int x, int y, unsigned char rgb[3]) {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
}

int countPolygons(const std::function<void()>& draw) {
    static std::vector<GLfloat> buffer(1 << 20);
    glFeedbackBuffer(GLsizei(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    if (used < 0) return -1;  // overflow
    int polygons = 0;
    for (GLint k = 0; k < used;) {
        const GLint token = GLint(buffer[k]);
        if (token == GL_POLYGON_TOKEN) {
            const GLint vertices = GLint(buffer[k + 1]);
            ++polygons;
            k += 2 + vertices * 3;
        } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
                   token == GL_COPY_PIXEL_TOKEN) {
            k += 1 + 3;
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            k += 1 + 6;
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            k += 2;
        } else {
            return -1;
        }
    }
    return polygons;
}

::testing::AssertionResult glStateIsBalanced() {
    GLint modelview = 0, projection = 0, texture = 0, mode = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelview);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projection);
    glGetIntegerv(GL_TEXTURE_STACK_DEPTH, &texture);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    const GLenum error = glGetError();
    if (modelview != 1 || projection != 1 || texture != 1 || mode != GL_MODELVIEW || error != GL_NO_ERROR) {
        return ::testing::AssertionFailure()
               << "stack depths modelview " << modelview << ", projection " << projection << ", texture "
               << texture << "; matrix mode 0x" << std::hex << mode << "; GL error 0x" << error;
    }
    return ::testing::AssertionSuccess();
}
