// shaderEntryPoints.h
// The 42 ARB shader entry points as function pointers (null until fetched), their lookup names in
// fetch order, and helpers shared by the files of the shader library. Internal to external/qrx
// (and its tests): the rest of the program includes only external/qrx/shaderLibrary.
#pragma once

#include "glLayer/glLayer.h"

#include <cstdlib>

#include "external/qrx/shaderLibrary"

// Kept in a namespace so the pointers never collide with the functions that libGL exports under
// the same names.
namespace qrx {

// Every entry point as X(pointer type, GL name), in lookup order: the 3 vertex-shader ones, then
// the 39 shader-object ones.
#define QRX_ENTRY_POINTS(X)                                        \
    X(PFNGLBINDATTRIBLOCATIONARBPROC, glBindAttribLocationARB)     \
    X(PFNGLGETACTIVEATTRIBARBPROC, glGetActiveAttribARB)           \
    X(PFNGLGETATTRIBLOCATIONARBPROC, glGetAttribLocationARB)       \
    X(PFNGLDELETEOBJECTARBPROC, glDeleteObjectARB)                 \
    X(PFNGLGETHANDLEARBPROC, glGetHandleARB)                       \
    X(PFNGLDETACHOBJECTARBPROC, glDetachObjectARB)                 \
    X(PFNGLCREATESHADEROBJECTARBPROC, glCreateShaderObjectARB)     \
    X(PFNGLSHADERSOURCEARBPROC, glShaderSourceARB)                 \
    X(PFNGLCOMPILESHADERARBPROC, glCompileShaderARB)               \
    X(PFNGLCREATEPROGRAMOBJECTARBPROC, glCreateProgramObjectARB)   \
    X(PFNGLATTACHOBJECTARBPROC, glAttachObjectARB)                 \
    X(PFNGLLINKPROGRAMARBPROC, glLinkProgramARB)                   \
    X(PFNGLUSEPROGRAMOBJECTARBPROC, glUseProgramObjectARB)         \
    X(PFNGLVALIDATEPROGRAMARBPROC, glValidateProgramARB)           \
    X(PFNGLGETOBJECTPARAMETERFVARBPROC, glGetObjectParameterfvARB) \
    X(PFNGLGETOBJECTPARAMETERIVARBPROC, glGetObjectParameterivARB) \
    X(PFNGLGETINFOLOGARBPROC, glGetInfoLogARB)                     \
    X(PFNGLGETATTACHEDOBJECTSARBPROC, glGetAttachedObjectsARB)     \
    X(PFNGLGETUNIFORMLOCATIONARBPROC, glGetUniformLocationARB)     \
    X(PFNGLGETACTIVEUNIFORMARBPROC, glGetActiveUniformARB)         \
    X(PFNGLGETUNIFORMFVARBPROC, glGetUniformfvARB)                 \
    X(PFNGLGETUNIFORMIVARBPROC, glGetUniformivARB)                 \
    X(PFNGLGETSHADERSOURCEARBPROC, glGetShaderSourceARB)           \
    X(PFNGLUNIFORM1FARBPROC, glUniform1fARB)                       \
    X(PFNGLUNIFORM2FARBPROC, glUniform2fARB)                       \
    X(PFNGLUNIFORM3FARBPROC, glUniform3fARB)                       \
    X(PFNGLUNIFORM4FARBPROC, glUniform4fARB)                       \
    X(PFNGLUNIFORM1IARBPROC, glUniform1iARB)                       \
    X(PFNGLUNIFORM2IARBPROC, glUniform2iARB)                       \
    X(PFNGLUNIFORM3IARBPROC, glUniform3iARB)                       \
    X(PFNGLUNIFORM4IARBPROC, glUniform4iARB)                       \
    X(PFNGLUNIFORM1FVARBPROC, glUniform1fvARB)                     \
    X(PFNGLUNIFORM2FVARBPROC, glUniform2fvARB)                     \
    X(PFNGLUNIFORM3FVARBPROC, glUniform3fvARB)                     \
    X(PFNGLUNIFORM4FVARBPROC, glUniform4fvARB)                     \
    X(PFNGLUNIFORM1IVARBPROC, glUniform1ivARB)                     \
    X(PFNGLUNIFORM2IVARBPROC, glUniform2ivARB)                     \
    X(PFNGLUNIFORM3IVARBPROC, glUniform3ivARB)                     \
    X(PFNGLUNIFORM4IVARBPROC, glUniform4ivARB)                     \
    X(PFNGLUNIFORMMATRIX2FVARBPROC, glUniformMatrix2fvARB)         \
    X(PFNGLUNIFORMMATRIX3FVARBPROC, glUniformMatrix3fvARB)         \
    X(PFNGLUNIFORMMATRIX4FVARBPROC, glUniformMatrix4fvARB)

#define QRX_DECLARE_ENTRY_POINT(type, name) extern type name;
QRX_ENTRY_POINTS(QRX_DECLARE_ENTRY_POINT)
#undef QRX_DECLARE_ENTRY_POINT

const int entryPointCount = 42;
// The GL names in lookup order.
extern const char* const entryPointNames[entryPointCount];
// The stored pointer of entry point i (same order), null when absent.
void* entryPoint(int index);

// The file text that every diagnostic of the library carries.
extern const char* const sourceFileText;

// The check every program constructor runs first: loads the entry points (an error line when
// that fails) and writes a warning for each of the four ARB extensions the driver lacks.
void checkShaderExtensions();

// The log query shared by units and programs: fetches the object's info log into *infoLog (a
// malloc'ed buffer, replaced when the driver has a new log) and returns it, or an "(e000N)" text;
// noHandleText is the text for an object whose handle is 0.
const char* queryInfoLog(unsigned int handle, char** infoLog, const char* noHandleText);

// Whether a GL context is current on this thread (no GL object may be deleted otherwise).
bool glContextIsCurrent();

// Appends item to a growable array of pointers; false (array untouched) when out of memory.
template <typename T>
bool appendPointer(T*** items, size_t* count, size_t* capacity, T* item) {
    if (*count == *capacity) {
        size_t grown = *capacity ? *capacity * 2 : 4;
        T** larger = static_cast<T**>(realloc(*items, grown * sizeof(T*)));
        if (!larger) return false;
        *items = larger;
        *capacity = grown;
    }
    (*items)[(*count)++] = item;
    return true;
}

}  // namespace qrx
