// shaderLibrary.cpp
// ShaderLibrary: loads vertex/fragment source pairs into linked programs and owns them until
// process exit; also the GL error reporter and the info-log query that every class uses.
#include "glLayer/glLayer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "external/qrx/shaderEntryPoints.h"

ShaderLibrary shaderLibrary;

int reportGlErrors(const char* file, int line) {
    // GL keeps at most one flag per error kind, so a real report is a handful of lines; the bound
    // only guards against a broken driver that never stops answering with an error.
    const int mostLines = 32;
    int pending = 0;
    GLenum code = glGetError();
    for (int lines = 0; code != GL_NO_ERROR && lines < mostLines; ++lines) {
        const GLubyte* text = gluErrorString(code);
        printf("GL Error #%u(%s)  in File %s at line: %d\n", unsigned(code),
               text ? reinterpret_cast<const char*>(text) : "", file ? file : "", line);
        fflush(stdout);
        pending = 1;
        code = glGetError();
    }
    return pending;
}

namespace qrx {

const char* queryInfoLog(unsigned int handle, char** infoLog, const char* noHandleText) {
    if (!shaderEntryPointsReady) return "(e0000) GLSL not enabled";
    if (handle == 0) return noHandleText;
    GLint length = 0;
    glGetObjectParameterivARB(handle, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
    reportGlErrors(sourceFileText, __LINE__);
    if (length > 1) {
        free(*infoLog);
        *infoLog = static_cast<char*>(malloc(size_t(length)));
        if (!*infoLog) {
            printf("ERROR: Could not allocate compiler_log buffer\n");
            return "(e0003) out of memory";
        }
        GLsizei written = 0;
        glGetInfoLogARB(handle, length, &written, *infoLog);
        reportGlErrors(sourceFileText, __LINE__);
        // The driver terminates the log; this keeps a short answer terminated as well.
        (*infoLog)[written >= 0 && written < length ? written : length - 1] = '\0';
    }
    // An older log is returned again when the driver now reports none.
    return *infoLog ? *infoLog : "(e0004) unknown compiler error";
}

}  // namespace qrx

ShaderLibrary::ShaderLibrary() : programs(nullptr), programCount(0), programCapacity(0) {}

ShaderLibrary::~ShaderLibrary() {
    while (programCount > 0) {
        ShaderProgram* first = programs[0];
        memmove(programs, programs + 1, (programCount - 1) * sizeof programs[0]);
        --programCount;
        delete first;
    }
    free(programs);
    programs = nullptr;
    programCapacity = 0;
}

void ShaderLibrary::releaseContextObjects() {
    for (size_t i = 0; i < programCount; ++i) {
        ShaderProgram* program = programs[i];
        program->handle = 0;
        program->linked = false;
        for (size_t u = 0; u < program->unitCount; ++u) {
            program->units[u]->handle = 0;
            program->units[u]->compiled = false;
        }
    }
}

ShaderProgram* ShaderLibrary::loadProgramPair(const char* vertexPath, const char* fragmentPath) {
    ShaderProgram* program = new ShaderProgram();
    ShaderUnit* vertex = new ShaderUnit(SHADER_VERTEX);
    ShaderUnit* fragment = new ShaderUnit(SHADER_FRAGMENT);
    bool ok = true;
    if (vertexPath && vertex->readSourceFile(vertexPath) != 0) {
        printf("error: can't load vertex shader!\n");
        ok = false;
    } else if (fragmentPath && fragment->readSourceFile(fragmentPath) != 0) {
        printf("error: can't load fragment shader!\n");
        ok = false;
    }
    if (ok && vertexPath && !vertex->compileUnit()) {
        printf("***COMPILER ERROR (Vertex Shader):\n%s\n", vertex->unitInfoLog());
        fflush(stdout);
        ok = false;
    }
    if (ok && fragmentPath && !fragment->compileUnit()) {
        printf("***COMPILER ERROR (Fragment Shader):\n%s\n", fragment->unitInfoLog());
        fflush(stdout);
        ok = false;
    }
    if (ok) {
        if (vertexPath) program->attachUnit(vertex);
        if (fragmentPath) program->attachUnit(fragment);
        if (!program->linkProgram()) {
            printf("**LINKER ERROR\n%s\n", program->programInfoLog());
            fflush(stdout);
            ok = false;
        }
    }
    if (!ok) {
        delete program;
        delete vertex;
        delete fragment;
        return nullptr;
    }
    // Should the array fail to grow, the program still works; it is then never freed.
    qrx::appendPointer(&programs, &programCount, &programCapacity, program);
    program->ownsUnits = true;
    // A unit for a path that was not given was never attached, so the program would not free it.
    if (!vertexPath) delete vertex;
    if (!fragmentPath) delete fragment;
    return program;
}
