// shaderProgram.cpp
// ShaderProgram: one GL program object, the units attached to it, linking and relinking, switching
// it on and off, and setting uniforms by name on the program currently in use.
#include <cstdio>
#include <cstdlib>

#include "external/qrx/shaderEntryPoints.h"

ShaderProgram::ShaderProgram()
    : handle(0),
      infoLog(nullptr),
      linked(false),
      units(nullptr),
      unitCount(0),
      unitCapacity(0),
      ownsUnits(false) {
    qrx::checkShaderExtensions();
    if (loadShaderEntryPoints()) handle = qrx::glCreateProgramObjectARB();
    linked = false;
}

ShaderProgram::~ShaderProgram() {
    free(infoLog);
    // A handle of 0 belonged to a context that has gone (see releaseContextObjects).
    const bool gl = shaderEntryPointsReady && handle != 0 && qrx::glContextIsCurrent();
    for (size_t i = 0; i < unitCount; ++i) {
        if (gl) {
            qrx::glDetachObjectARB(handle, units[i]->handle);
            reportGlErrors(qrx::sourceFileText, __LINE__);
        }
        if (ownsUnits) delete units[i];
    }
    if (gl) {
        qrx::glDeleteObjectARB(handle);
        reportGlErrors(qrx::sourceFileText, __LINE__);
    }
    free(units);
}

void ShaderProgram::attachUnit(ShaderUnit* unit) {
    if (!shaderEntryPointsReady || !unit) return;
    if (!unit->compiled) {
        printf("**warning** please compile program before adding object! trying to compile now...\n");
        if (!unit->compileUnit()) {
            printf("...compile ERROR!\n");
            return;
        }
        printf("...ok!\n");
    }
    qrx::appendPointer(&units, &unitCount, &unitCapacity, unit);
}

bool ShaderProgram::linkProgram() {
    if (!shaderEntryPointsReady) return false;
    if (linked) {
        printf("**warning** Object is already linked, trying to link again\n");
        fflush(stdout);
        for (size_t i = 0; i < unitCount; ++i) {
            qrx::glDetachObjectARB(handle, units[i]->handle);
            reportGlErrors(qrx::sourceFileText, __LINE__);
        }
    }
    for (size_t i = 0; i < unitCount; ++i) {
        qrx::glAttachObjectARB(handle, units[i]->handle);
        reportGlErrors(qrx::sourceFileText, __LINE__);
    }
    qrx::glLinkProgramARB(handle);
    reportGlErrors(qrx::sourceFileText, __LINE__);
    GLint status = 0;
    qrx::glGetObjectParameterivARB(handle, GL_OBJECT_LINK_STATUS_ARB, &status);
    reportGlErrors(qrx::sourceFileText, __LINE__);
    if (status != 0) {
        linked = true;
        return true;
    }
    printf("**linker error**\n");
    return false;
}

const char* ShaderProgram::programInfoLog() {
    return qrx::queryInfoLog(handle, &infoLog, "(e0002) not a valid object");
}

void ShaderProgram::bindProgram() {
    if (!shaderEntryPointsReady || handle == 0 || !linked) return;
    qrx::glUseProgramObjectARB(handle);
    reportGlErrors(qrx::sourceFileText, __LINE__);
}

void ShaderProgram::unbindProgram() {
    if (!shaderEntryPointsReady) return;
    qrx::glUseProgramObjectARB(0);
    reportGlErrors(qrx::sourceFileText, __LINE__);
}

int ShaderProgram::uniformLocation(const char* name) {
    // Without the entry points there is nothing to ask.
    if (!shaderEntryPointsReady || !name) return -1;
    const GLint location = qrx::glGetUniformLocationARB(handle, name);
    reportGlErrors(qrx::sourceFileText, __LINE__);
    if (location == -1) printf("Error: can't find uniform variable \"%s\"\n", name);
    return location;
}

bool ShaderProgram::setUniformFloat(const char* name, float value) {
    if (!shaderEntryPointsReady) return false;
    const int location = uniformLocation(name);
    if (location == -1) return false;
    qrx::glUniform1fARB(location, value);
    return true;
}

bool ShaderProgram::setUniformInt(const char* name, int value) {
    if (!shaderEntryPointsReady) return false;
    const int location = uniformLocation(name);
    if (location == -1) return false;
    qrx::glUniform1iARB(location, value);
    return true;
}
