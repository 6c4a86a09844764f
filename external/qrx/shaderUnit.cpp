// shaderUnit.cpp
// ShaderUnit: one GL shader object, its source text read from a file, compiling and the compiler
// log. A unit whose compile failed keeps its GL object (it is deleted only once compiled).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "external/qrx/shaderEntryPoints.h"

ShaderUnit::ShaderUnit(int shaderKind)
    : kind(0), handle(0), source(nullptr), infoLog(nullptr), compiled(false), ownsSource(false) {
    loadShaderEntryPoints();
    kind = shaderKind;
    if (!shaderEntryPointsReady) return;
    if (kind == SHADER_VERTEX || kind == SHADER_FRAGMENT) {
        handle = qrx::glCreateShaderObjectARB(kind == SHADER_VERTEX ? GL_VERTEX_SHADER_ARB
                                                                    : GL_FRAGMENT_SHADER_ARB);
        reportGlErrors(qrx::sourceFileText, __LINE__);
    }
}

ShaderUnit::~ShaderUnit() {
    free(infoLog);
    if (ownsSource) free(source);
    if (compiled && shaderEntryPointsReady && qrx::glContextIsCurrent()) {
        qrx::glDeleteObjectARB(handle);
        reportGlErrors(qrx::sourceFileText, __LINE__);
    }
}

int ShaderUnit::readSourceFile(const char* path) {
    FILE* file = path ? fopen(path, "r") : nullptr;
    if (!file) return -1;
    long size = -1;
    if (fseek(file, 0, SEEK_END) == 0) size = ftell(file);
    if (size < 0 || fseek(file, 0, SEEK_SET) != 0) {
        fclose(file);
        return -1;
    }
    if (size == 0) {
        fclose(file);
        return -2;
    }
    // Something that opens but cannot be read (a directory reports a huge size) is refused
    // before any memory is set aside for it.
    const int first = fgetc(file);
    if (first == EOF || ungetc(first, file) == EOF) {
        fclose(file);
        return -1;
    }
    char* text = static_cast<char*>(malloc(size_t(size) + 1));
    if (!text) {
        fclose(file);
        return -3;
    }
    // Text mode may translate line ends, so the text can come out shorter than the file.
    long i = 0;
    int c;
    while (i < size && (c = fgetc(file)) != EOF) text[i++] = char(c);
    text[i] = '\0';
    // A read error part way leaves the previous source in place.
    bool failed = ferror(file) != 0;
    fclose(file);
    if (failed) {
        free(text);
        return -1;
    }
    if (ownsSource) free(source);
    source = text;
    ownsSource = true;
    return 0;
}

bool ShaderUnit::compileUnit() {
    if (!shaderEntryPointsReady) return false;
    compiled = false;
    if (!source) return false;
    const GLcharARB* text = source;
    const GLint length = GLint(strlen(source));
    qrx::glShaderSourceARB(handle, 1, &text, &length);
    reportGlErrors(qrx::sourceFileText, __LINE__);
    qrx::glCompileShaderARB(handle);
    reportGlErrors(qrx::sourceFileText, __LINE__);
    GLint status = 0;
    qrx::glGetObjectParameterivARB(handle, GL_OBJECT_COMPILE_STATUS_ARB, &status);
    reportGlErrors(qrx::sourceFileText, __LINE__);
    compiled = status != 0;
    return compiled;
}

const char* ShaderUnit::unitInfoLog() {
    return qrx::queryInfoLog(handle, &infoLog, "(e0001) not a valid program object");
}
