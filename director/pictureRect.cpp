// pictureRect.cpp
// Where the 4:3 picture lies in a drawable of any size: the largest centred 4:3 rectangle within
// the GL's limits, the scene region scaled with it (512 pixels at a height of 600), and the black
// outside it. At 800x600 the picture is the whole drawable and the region 512.
#include "glLayer/glLayer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

bool fitPictureRectWithin(int drawableWidth, int drawableHeight, int maxViewportWidth, int maxViewportHeight,
                          int maxTexture, PictureRect* picture) {
    *picture = fitPictureRect(drawableWidth, drawableHeight);
    if (picture->width <= maxViewportWidth && picture->height <= maxViewportHeight &&
        picture->region <= maxTexture)
        return false;
    // The region is 512/600 of the height: a height up to maxTexture * 600 / 512 keeps it a texture.
    const long long heightForTexture = (long long)maxTexture * 600 / 512;
    const int width = std::min(picture->drawableWidth, maxViewportWidth);
    const int height =
        int(std::min<long long>({picture->drawableHeight, maxViewportHeight, heightForTexture}));
    PictureRect limited = fitPictureRect(width, height);
    limited.drawableWidth = picture->drawableWidth;
    limited.drawableHeight = picture->drawableHeight;
    limited.x = (limited.drawableWidth - limited.width) / 2;
    limited.y = (limited.drawableHeight - limited.height) / 2;
    *picture = limited;
    return true;
}

void fitPicture(int drawableWidth, int drawableHeight) {
    GLint viewport[2] = {0, 0}, texture = 0;
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &texture);
    if (viewport[0] <= 0 || viewport[1] <= 0 || texture <= 0) {  // no context: nothing to keep within
        pictureRect = fitPictureRect(drawableWidth, drawableHeight);
        return;
    }
    static int saidWidth = 0, saidHeight = 0;  // the drawable last reported, said once per size
    if (fitPictureRectWithin(drawableWidth, drawableHeight, viewport[0], viewport[1], texture,
                             &pictureRect) &&
        (drawableWidth != saidWidth || drawableHeight != saidHeight)) {
        saidWidth = drawableWidth;
        saidHeight = drawableHeight;
        fprintf(stderr,
                "kestrane: the %dx%d drawable is beyond this GL's limits (viewport %dx%d, texture %d); "
                "the picture is drawn at %dx%d in its middle\n",
                drawableWidth, drawableHeight, int(viewport[0]), int(viewport[1]), int(texture),
                pictureRect.width, pictureRect.height);
    }
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
