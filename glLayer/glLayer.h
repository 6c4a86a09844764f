// glLayer.h
// The one GL header of the program. The desktop build calls the driver's fixed-function GL, GLU
// and the ARB shader objects directly. The GLES build (KESTRANE_GLES) sends the same calls, by
// name, to this folder's own implementation of exactly the subset the program uses, drawn with
// OpenGL ES 3.0 (which WebGL 2 is), so every scene keeps its glBegin, glFog and gluSphere.
#pragma once

#ifdef KESTRANE_GLES
#include "glLayer/esApi.h"
#include "glLayer/esNames.h"
#else
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#endif

// The GL entry point lookup of the shader library: on GLES the ARB shader-object names resolve to
// the layer's mapping onto the core calls; every other name (and every name on desktop GL) goes to
// the platform's lookup. Null when absent.
void* glLayerProcAddress(const char* name);

// The folder of the data files that holds the program's two GLSL shaders in this build's
// language: "data/shaders/" (GLSL 1.10) or "data/shaders/es/" (GLSL ES 1.00).
extern const char* const glLayerShaderFolder;

// One line for the trace: which drawing path this build takes ("desktop GL" or "GLES layer").
extern const char* const glLayerPathName;
