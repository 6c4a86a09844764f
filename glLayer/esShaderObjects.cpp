// esShaderObjects.cpp
// The ARB shader-object entry points on ES's core shader calls. ARB names shaders and programs
// in one space, as core GL and ES also do, so each object call asks ES which kind the name is.
// Linking binds the layer's attribute locations first, so that the program's own shaders are fed
// from immediate mode like the layer's. Also the lookup that hands these to the shader library.
#include <cstring>

#include "glLayer/esState.h"
#include "platform/platform.h"

// Declared in glLayer.h, which the layer's own files do not include (it renames the GL calls).
extern const char* const glLayerShaderFolder = "data/shaders/es/";
extern const char* const glLayerPathName = "GLES layer";

namespace {

GLenum coreParameter(GLenum name) {
    switch (name) {
    case GL_OBJECT_DELETE_STATUS_ARB:
        return GL_DELETE_STATUS;
    case GL_OBJECT_COMPILE_STATUS_ARB:
        return GL_COMPILE_STATUS;
    case GL_OBJECT_LINK_STATUS_ARB:
        return GL_LINK_STATUS;
    case GL_OBJECT_VALIDATE_STATUS_ARB:
        return GL_VALIDATE_STATUS;
    case GL_OBJECT_INFO_LOG_LENGTH_ARB:
        return GL_INFO_LOG_LENGTH;
    case GL_OBJECT_ATTACHED_OBJECTS_ARB:
        return GL_ATTACHED_SHADERS;
    case GL_OBJECT_ACTIVE_UNIFORMS_ARB:
        return GL_ACTIVE_UNIFORMS;
    case GL_OBJECT_ACTIVE_UNIFORM_MAX_LENGTH_ARB:
        return GL_ACTIVE_UNIFORM_MAX_LENGTH;
    case GL_OBJECT_SHADER_SOURCE_LENGTH_ARB:
        return GL_SHADER_SOURCE_LENGTH;
    case GL_OBJECT_ACTIVE_ATTRIBUTES_ARB:
        return GL_ACTIVE_ATTRIBUTES;
    case GL_OBJECT_ACTIVE_ATTRIBUTE_MAX_LENGTH_ARB:
        return GL_ACTIVE_ATTRIBUTE_MAX_LENGTH;
    default:
        return name;
    }
}

void deleteObject(GLhandleARB object) {
    esDrawPending();
    if (glIsProgram(object)) {
        esForgetProgram(object);
        glDeleteProgram(object);
    } else if (glIsShader(object)) {
        glDeleteShader(object);
    } else if (object != 0) {
        esRaise(GL_INVALID_VALUE);
    }
}

GLhandleARB handleOf(GLenum name) {
    if (name != GL_PROGRAM_OBJECT_ARB) {
        esRaise(GL_INVALID_ENUM);
        return 0;
    }
    return esState.userProgram;
}

GLhandleARB createShader(GLenum kind) { return glCreateShader(kind); }
GLhandleARB createProgram() { return glCreateProgram(); }
void detach(GLhandleARB program, GLhandleARB shader) { glDetachShader(program, shader); }
void attach(GLhandleARB program, GLhandleARB shader) { glAttachShader(program, shader); }
void shaderSource(GLhandleARB shader, GLsizei count, const GLcharARB** text, const GLint* lengths) {
    glShaderSource(shader, count, text, lengths);
}
void compileShader(GLhandleARB shader) { glCompileShader(shader); }

void linkProgram(GLhandleARB program) {
    esDrawPending();
    esForgetProgram(program);
    if (glIsProgram(program)) esBindAttributeLocations(program);
    glLinkProgram(program);
}

void useProgram(GLhandleARB program) {
    esUseCurrentContext();
    esDrawPending();
    if (program != 0 && !glIsProgram(program)) return esRaise(GL_INVALID_VALUE);
    esState.userProgram = program;
    esUseProgram(program);
}

void validateProgram(GLhandleARB program) { glValidateProgram(program); }

void objectParameteriv(GLhandleARB object, GLenum name, GLint* value) {
    const bool program = glIsProgram(object);
    if (!program && !glIsShader(object)) return esRaise(GL_INVALID_VALUE);
    if (name == GL_OBJECT_TYPE_ARB) {
        *value = GLint(program ? GL_PROGRAM_OBJECT_ARB : GL_SHADER_OBJECT_ARB);
    } else if (name == GL_OBJECT_SUBTYPE_ARB) {
        if (program) return esRaise(GL_INVALID_ENUM);
        glGetShaderiv(object, GL_SHADER_TYPE, value);
    } else if (program) {
        glGetProgramiv(object, coreParameter(name), value);
    } else {
        glGetShaderiv(object, coreParameter(name), value);
    }
}

void objectParameterfv(GLhandleARB object, GLenum name, GLfloat* value) {
    GLint integer = 0;
    objectParameteriv(object, name, &integer);
    *value = GLfloat(integer);
}

void infoLog(GLhandleARB object, GLsizei size, GLsizei* length, GLcharARB* log) {
    if (glIsProgram(object))
        glGetProgramInfoLog(object, size, length, log);
    else if (glIsShader(object))
        glGetShaderInfoLog(object, size, length, log);
    else
        esRaise(GL_INVALID_VALUE);
}

void attachedObjects(GLhandleARB program, GLsizei most, GLsizei* count, GLhandleARB* objects) {
    glGetAttachedShaders(program, most, count, objects);
}
GLint uniformLocation(GLhandleARB program, const GLcharARB* name) {
    return glGetUniformLocation(program, name);
}
void activeUniform(GLhandleARB program, GLuint index, GLsizei most, GLsizei* length, GLint* size,
                   GLenum* type, GLcharARB* name) {
    glGetActiveUniform(program, index, most, length, size, type, name);
}
void uniformfv(GLhandleARB program, GLint location, GLfloat* values) {
    glGetUniformfv(program, location, values);
}
void uniformiv(GLhandleARB program, GLint location, GLint* values) {
    glGetUniformiv(program, location, values);
}
void shaderSourceOf(GLhandleARB shader, GLsizei most, GLsizei* length, GLcharARB* text) {
    glGetShaderSource(shader, most, length, text);
}
void bindAttribute(GLhandleARB program, GLuint index, const GLcharARB* name) {
    glBindAttribLocation(program, index, name);
}
void activeAttribute(GLhandleARB program, GLuint index, GLsizei most, GLsizei* length, GLint* size,
                     GLenum* type, GLcharARB* name) {
    glGetActiveAttrib(program, index, most, length, size, type, name);
}
GLint attributeLocation(GLhandleARB program, const GLcharARB* name) {
    return glGetAttribLocation(program, name);
}

// A uniform is set on the program in use: pending vertices are drawn with the old value first, and
// the program is made current in ES (the layer may have had its own in use).
void beforeUniform() {
    esDrawPending();
    esUseProgram(esState.userProgram);
}
void uniform1f(GLint l, GLfloat a) { beforeUniform(), glUniform1f(l, a); }
void uniform2f(GLint l, GLfloat a, GLfloat b) { beforeUniform(), glUniform2f(l, a, b); }
void uniform3f(GLint l, GLfloat a, GLfloat b, GLfloat c) { beforeUniform(), glUniform3f(l, a, b, c); }
void uniform4f(GLint l, GLfloat a, GLfloat b, GLfloat c, GLfloat d) {
    beforeUniform(), glUniform4f(l, a, b, c, d);
}
void uniform1i(GLint l, GLint a) { beforeUniform(), glUniform1i(l, a); }
void uniform2i(GLint l, GLint a, GLint b) { beforeUniform(), glUniform2i(l, a, b); }
void uniform3i(GLint l, GLint a, GLint b, GLint c) { beforeUniform(), glUniform3i(l, a, b, c); }
void uniform4i(GLint l, GLint a, GLint b, GLint c, GLint d) { beforeUniform(), glUniform4i(l, a, b, c, d); }
void uniform1fv(GLint l, GLsizei n, const GLfloat* v) { beforeUniform(), glUniform1fv(l, n, v); }
void uniform2fv(GLint l, GLsizei n, const GLfloat* v) { beforeUniform(), glUniform2fv(l, n, v); }
void uniform3fv(GLint l, GLsizei n, const GLfloat* v) { beforeUniform(), glUniform3fv(l, n, v); }
void uniform4fv(GLint l, GLsizei n, const GLfloat* v) { beforeUniform(), glUniform4fv(l, n, v); }
void uniform1iv(GLint l, GLsizei n, const GLint* v) { beforeUniform(), glUniform1iv(l, n, v); }
void uniform2iv(GLint l, GLsizei n, const GLint* v) { beforeUniform(), glUniform2iv(l, n, v); }
void uniform3iv(GLint l, GLsizei n, const GLint* v) { beforeUniform(), glUniform3iv(l, n, v); }
void uniform4iv(GLint l, GLsizei n, const GLint* v) { beforeUniform(), glUniform4iv(l, n, v); }
void matrix2fv(GLint l, GLsizei n, GLboolean t, const GLfloat* v) {
    beforeUniform(), glUniformMatrix2fv(l, n, t, v);
}
void matrix3fv(GLint l, GLsizei n, GLboolean t, const GLfloat* v) {
    beforeUniform(), glUniformMatrix3fv(l, n, t, v);
}
void matrix4fv(GLint l, GLsizei n, GLboolean t, const GLfloat* v) {
    beforeUniform(), glUniformMatrix4fv(l, n, t, v);
}

struct NamedEntryPoint {
    const char* name;
    void* address;
};

template <typename F>
void* address(F f) {
    return reinterpret_cast<void*>(f);
}

const NamedEntryPoint entryPoints[] = {
    {"glBindAttribLocationARB", address(bindAttribute)},
    {"glGetActiveAttribARB", address(activeAttribute)},
    {"glGetAttribLocationARB", address(attributeLocation)},
    {"glDeleteObjectARB", address(deleteObject)},
    {"glGetHandleARB", address(handleOf)},
    {"glDetachObjectARB", address(detach)},
    {"glCreateShaderObjectARB", address(createShader)},
    {"glShaderSourceARB", address(shaderSource)},
    {"glCompileShaderARB", address(compileShader)},
    {"glCreateProgramObjectARB", address(createProgram)},
    {"glAttachObjectARB", address(attach)},
    {"glLinkProgramARB", address(linkProgram)},
    {"glUseProgramObjectARB", address(useProgram)},
    {"glValidateProgramARB", address(validateProgram)},
    {"glGetObjectParameterfvARB", address(objectParameterfv)},
    {"glGetObjectParameterivARB", address(objectParameteriv)},
    {"glGetInfoLogARB", address(infoLog)},
    {"glGetAttachedObjectsARB", address(attachedObjects)},
    {"glGetUniformLocationARB", address(uniformLocation)},
    {"glGetActiveUniformARB", address(activeUniform)},
    {"glGetUniformfvARB", address(uniformfv)},
    {"glGetUniformivARB", address(uniformiv)},
    {"glGetShaderSourceARB", address(shaderSourceOf)},
    {"glUniform1fARB", address(uniform1f)},
    {"glUniform2fARB", address(uniform2f)},
    {"glUniform3fARB", address(uniform3f)},
    {"glUniform4fARB", address(uniform4f)},
    {"glUniform1iARB", address(uniform1i)},
    {"glUniform2iARB", address(uniform2i)},
    {"glUniform3iARB", address(uniform3i)},
    {"glUniform4iARB", address(uniform4i)},
    {"glUniform1fvARB", address(uniform1fv)},
    {"glUniform2fvARB", address(uniform2fv)},
    {"glUniform3fvARB", address(uniform3fv)},
    {"glUniform4fvARB", address(uniform4fv)},
    {"glUniform1ivARB", address(uniform1iv)},
    {"glUniform2ivARB", address(uniform2iv)},
    {"glUniform3ivARB", address(uniform3iv)},
    {"glUniform4ivARB", address(uniform4iv)},
    {"glUniformMatrix2fvARB", address(matrix2fv)},
    {"glUniformMatrix3fvARB", address(matrix3fv)},
    {"glUniformMatrix4fvARB", address(matrix4fv)},
};

}  // namespace

void* glLayerProcAddress(const char* name) {
    if (!name) return nullptr;
    for (const NamedEntryPoint& entry : entryPoints)
        if (strcmp(entry.name, name) == 0) return entry.address;
    return platformGetProcAddress(name);
}
