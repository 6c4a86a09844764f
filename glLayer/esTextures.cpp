// esTextures.cpp
// Textures and pixels on ES: the layer keeps each texture's level sizes and format (ES cannot be
// asked for them), builds mipmaps with glGenerateMipmap, and reads RGB pixels back by reading
// RGBA (all that WebGL 2 reads) and packing them to the asked row alignment.
#include <cstring>
#include <map>
#include <vector>

#include "glLayer/esState.h"

namespace {

struct TextureLevels {
    GLint internalFormat = 0;
    GLint width[16] = {};
    GLint height[16] = {};
};
std::map<GLuint, TextureLevels>& texturesKept = *new std::map<GLuint, TextureLevels>();  // never destroyed

bool hasAlpha(GLint format) {
    return format == GL_RGBA || format == GL_RGBA8 || format == GL_LUMINANCE_ALPHA;
}

void keepLevel(GLint level, GLint internalFormat, GLsizei width, GLsizei height) {
    if (level < 0 || level >= 16) return;
    TextureLevels& t = texturesKept[esState.boundTexture];
    if (level == 0) t.internalFormat = internalFormat;
    t.width[level] = width;
    t.height[level] = height;
}

}  // namespace

void esForgetTextures() { texturesKept.clear(); }

void esTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const void* pixels) {
    esUseCurrentContext();
    esDrawPending();
    glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
    // The driver's error is handed on through glGetError; only an accepted level is kept.
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR)
        esRaise(error);
    else if (target == GL_TEXTURE_2D)
        keepLevel(level, internalFormat, width, height);
}

void esTexParameteri(GLenum target, GLenum name, GLint value) {
    esDrawPending();
    glTexParameteri(target, name, value);
}

void esGetTexLevelParameteriv(GLenum target, GLint level, GLenum name, GLint* value) {
    esUseCurrentContext();
    *value = 0;
    auto found = texturesKept.find(esState.boundTexture);
    if (target != GL_TEXTURE_2D || found == texturesKept.end() || level < 0 || level >= 16) return;
    const TextureLevels& t = found->second;
    switch (name) {
    case GL_TEXTURE_WIDTH:
        *value = t.width[level];
        break;
    case GL_TEXTURE_HEIGHT:
        *value = t.height[level];
        break;
    case GL_TEXTURE_INTERNAL_FORMAT:
        *value = t.internalFormat;
        break;
    case GL_TEXTURE_RED_SIZE:
    case GL_TEXTURE_GREEN_SIZE:
    case GL_TEXTURE_BLUE_SIZE:
        *value = t.width[level] > 0 ? 8 : 0;
        break;
    case GL_TEXTURE_ALPHA_SIZE:
        *value = t.width[level] > 0 && hasAlpha(t.internalFormat) ? 8 : 0;
        break;
    default:
        esRaise(GL_INVALID_ENUM);
    }
}

void esDeleteTextures(GLsizei count, const GLuint* textures) {
    esUseCurrentContext();
    esDrawPending();
    for (GLsizei i = 0; i < count; ++i) {
        texturesKept.erase(textures[i]);
        if (textures[i] == esState.boundTexture) esState.boundTexture = 0;
    }
    glDeleteTextures(count, textures);
}

void esCopyTexSubImage2D(GLenum target, GLint level, GLint xOffset, GLint yOffset, GLint x, GLint y,
                         GLsizei width, GLsizei height) {
    esDrawPending();
    glCopyTexSubImage2D(target, level, xOffset, yOffset, x, y, width, height);
}

void esPixelStorei(GLenum name, GLint value) {
    esUseCurrentContext();
    if (name == GL_PACK_ALIGNMENT) esState.packAlignment = value;
    glPixelStorei(name, value);
}

void esReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels) {
    esUseCurrentContext();
    esDrawPending();
    if (format != GL_RGB || type != GL_UNSIGNED_BYTE) {
        glReadPixels(x, y, width, height, format, type, pixels);
        return;
    }
    if (width <= 0 || height <= 0) return;
    // RGBA rows are always 4-byte aligned; read them tightly, then pack to the caller's alignment.
    std::vector<unsigned char> rgba(size_t(width) * size_t(height) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glPixelStorei(GL_PACK_ALIGNMENT, esState.packAlignment);
    const size_t alignment = esState.packAlignment > 0 ? size_t(esState.packAlignment) : 4;
    const size_t rowBytes = (size_t(width) * 3 + alignment - 1) / alignment * alignment;
    unsigned char* out = static_cast<unsigned char*>(pixels);
    for (GLsizei row = 0; row < height; ++row) {
        const unsigned char* source = rgba.data() + size_t(row) * size_t(width) * 4;
        unsigned char* target = out + size_t(row) * rowBytes;
        for (GLsizei column = 0; column < width; ++column)
            memcpy(target + column * 3, source + column * 4, 3);
    }
}

GLint esuBuild2DMipmaps(GLenum target, GLint components, GLint width, GLint height, GLenum format,
                        GLenum type, const void* data) {
    esUseCurrentContext();
    if (width < 1 || height < 1) return GLU_INVALID_VALUE;
    if (format != GL_RGB && format != GL_RGBA && format != GL_LUMINANCE && format != GL_LUMINANCE_ALPHA &&
        format != GL_ALPHA)
        return GLU_INVALID_ENUM;
    // ES takes the unsized format that matches the data's.
    (void)components;
    esTexImage2D(target, 0, GLint(format), width, height, 0, format, type, data);
    glGenerateMipmap(target);
    for (GLint level = 1, w = width, h = height; level < 16 && (w > 1 || h > 1); ++level) {
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
        keepLevel(level, GLint(format), w, h);
    }
    return 0;
}

const GLubyte* esuErrorString(GLenum code) {
    const char* text = nullptr;
    switch (code) {
    case GL_NO_ERROR:
        text = "no error";
        break;
    case GL_INVALID_ENUM:
    case GLU_INVALID_ENUM:
        text = "invalid enumerant";
        break;
    case GL_INVALID_VALUE:
    case GLU_INVALID_VALUE:
        text = "invalid value";
        break;
    case GL_INVALID_OPERATION:
        text = "invalid operation";
        break;
    case GL_STACK_OVERFLOW:
        text = "stack overflow";
        break;
    case GL_STACK_UNDERFLOW:
        text = "stack underflow";
        break;
    case GL_OUT_OF_MEMORY:
    case GLU_OUT_OF_MEMORY:
        text = "out of memory";
        break;
    case GL_INVALID_FRAMEBUFFER_OPERATION:
        text = "invalid framebuffer operation";
        break;
    default:
        break;
    }
    return reinterpret_cast<const GLubyte*>(text);
}
