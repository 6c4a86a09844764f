// pictureRect.cpp
// Where the 4:3 picture lies in a drawable of any size: the largest centred 4:3 rectangle, the
// scene region scaled with it (512 pixels at a height of 600), and the black outside it. At
// 800x600 the picture is the whole drawable and the region 512, so nothing is drawn differently.
#include <GL/gl.h>

#include <cmath>

#include "director/director.h"

PictureRect pictureRect = fitPictureRect(800, 600);

PictureRect fitPictureRect(int drawableWidth, int drawableHeight) {
    PictureRect picture;
    picture.drawableWidth = drawableWidth > 0 ? drawableWidth : 1;
    picture.drawableHeight = drawableHeight > 0 ? drawableHeight : 1;
    const long long w = picture.drawableWidth;
    const long long h = picture.drawableHeight;
    if (w * 3 >= h * 4) {  // wider than 4:3: the full height, black pillars left and right
        picture.height = int(h);
        picture.width = int(std::lround(double(h) * 4.0 / 3.0));
    } else {  // taller: the full width, black bars above and below
        picture.width = int(w);
        picture.height = int(std::lround(double(w) * 3.0 / 4.0));
    }
    if (picture.width < 1) picture.width = 1;
    if (picture.height < 1) picture.height = 1;
    picture.x = int((w - picture.width) / 2);
    picture.y = int((h - picture.height) / 2);
    picture.scale = double(picture.height) / 600.0;
    picture.region = int(std::lround(512.0 * picture.scale));
    if (picture.region < 1) picture.region = 1;
    return picture;
}

void fitPicture(int drawableWidth, int drawableHeight) {
    pictureRect = fitPictureRect(drawableWidth, drawableHeight);
}

void clearOutsidePicture() {
    const PictureRect& p = pictureRect;
    if (p.width == p.drawableWidth && p.height == p.drawableHeight) return;
    // The clear colour is scene state that carries to the next frame: keep it.
    GLfloat kept[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, kept);
    glClearColor(0, 0, 0, 1);
    glEnable(GL_SCISSOR_TEST);
    const int right = p.x + p.width;
    const int top = p.y + p.height;
    if (p.x > 0) {
        glScissor(0, 0, p.x, p.drawableHeight);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    if (right < p.drawableWidth) {
        glScissor(right, 0, p.drawableWidth - right, p.drawableHeight);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    if (p.y > 0) {
        glScissor(0, 0, p.drawableWidth, p.y);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    if (top < p.drawableHeight) {
        glScissor(0, top, p.drawableWidth, p.drawableHeight - top);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);
    glClearColor(kept[0], kept[1], kept[2], kept[3]);
}
