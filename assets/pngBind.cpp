// pngBind.cpp
// pngBind: a PNG file decoded by the platform (8-bit RGB, or RGBA when the file has alpha or tRNS)
// uploaded as a GL texture with its mipmap chain. A faulty file gives 0, leaves no texture and
// prints nothing.
#include "glLayer/glLayer.h"

#include <cstdlib>
#include <cstring>

#include "assets/assets.h"
#include "platform/platform.h"

namespace {

// Drops the alpha byte of every pixel, in place.
void stripAlpha(unsigned char* pixels, size_t pixelCount) {
    for (size_t i = 0; i < pixelCount; ++i) memmove(pixels + i * 3, pixels + i * 4, 3);
}

}  // namespace

// mipmap: 0 uploads one level, any other value (PNG_BUILDMIPMAPS) builds the whole chain, scaled
// to powers of two by GLU. trans: PNG_ALPHA keeps the file's alpha (RGBA texture); any other value
// uploads RGB. info, when given, gets the size, the file's bits per sample and the texture's alpha
// bits (8 or 0).
unsigned int pngBind(const char* filename, int mipmap, int trans, pngInfo* info, int wrapst, int minfilter,
                     int magfilter) {
    PngImage image;
    if (!readPngFile(filename, &image)) return 0;
    bool alpha = image.hasAlpha;
    if (alpha && trans != PNG_ALPHA) {
        stripAlpha(image.pixels, size_t(image.width) * image.height);
        alpha = false;
    }
    const GLenum format = alpha ? GL_RGBA : GL_RGB;

    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapst);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrapst);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minfilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magfilter);
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);  // RGB rows are not padded to 4 bytes
    bool uploaded;
    if (mipmap != 0) {
        uploaded = gluBuild2DMipmaps(GL_TEXTURE_2D, GLint(format), GLint(image.width), GLint(image.height),
                                     format, GL_UNSIGNED_BYTE, image.pixels) == 0;
    } else {
        glTexImage2D(GL_TEXTURE_2D, 0, GLint(format), GLsizei(image.width), GLsizei(image.height), 0, format,
                     GL_UNSIGNED_BYTE, image.pixels);
        GLint storedWidth = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &storedWidth);
        uploaded = storedWidth == GLint(image.width);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    free(image.pixels);
    if (!uploaded) {
        glDeleteTextures(1, &name);
        return 0;
    }
    if (info) {
        info->Width = image.width;
        info->Height = image.height;
        info->Depth = unsigned(image.fileBitDepth);
        info->Alpha = alpha ? 8 : 0;
    }
    return name;
}
