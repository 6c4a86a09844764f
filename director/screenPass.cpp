// screenPass.cpp
// The second stage of every frame: the square scene region of the back buffer is copied into
// screenTexture and drawn over the whole picture (while the blur program is current), in the 2D
// screen mode of geometry.h. The picture is the 800x600 window itself, or the 4:3 rectangle that
// pictureRect fits into a larger drawable.
#include "glLayer/glLayer.h"

#include "director/director.h"

unsigned int screenTexture = 0;

namespace {

// Storage for the bound texture, left undefined (nothing is uploaded): every frame's copy fills it.
void allocateScreenTexture(int width, int height) {
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
}

}  // namespace

void createScreenTexture() {
    glGenTextures(1, &screenTexture);
    glBindTexture(GL_TEXTURE_2D, screenTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    allocateScreenTexture(pictureRect.region, pictureRect.region);
}

void drawScreenCopy(int width, int height) {
    glBindTexture(GL_TEXTURE_2D, screenTexture);
    const PictureRect& p = pictureRect;
    // The storage is made again only when the region's size changed (a resized window).
    GLint heldWidth = 0, heldHeight = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &heldWidth);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &heldHeight);
    if (heldWidth != width || heldHeight != height) allocateScreenTexture(width, height);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, p.x, p.y, width, height);
    // The picture's 800x600 units now span the picture rectangle, whatever the drawable's size.
    glViewport(p.x, p.y, p.width, p.height);
    beginOrtho2DFarZero();
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glBindTexture(GL_TEXTURE_2D, screenTexture);
    // Overhangs the window by 5 units left and right; the region's top row lands at the top.
    glBegin(GL_QUADS);
    glTexCoord2f(0, 1);
    glVertex2f(-5, 0);
    glTexCoord2f(0, 0);
    glVertex2f(-5, 600);
    glTexCoord2f(1, 0);
    glVertex2f(805, 600);
    glTexCoord2f(1, 1);
    glVertex2f(805, 0);
    glEnd();
    endOrtho2D();
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
}
