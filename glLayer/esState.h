// esState.h
// The GLES layer's own copy of the fixed-function state, shared by the layer's files only: the
// capabilities ES lacks, fog, sphere-map generation, the three matrix stacks, the current vertex
// attributes, and the texture sizes ES cannot be asked for. Reset to GL's defaults whenever a new
// context is current (the platform counts contexts), since GL objects die with their context.
#pragma once

#include <vector>

#include "glLayer/esApi.h"

struct EsMatrix {
    float m[16];  // column-major, as GL stores it
};

enum EsStackIndex { STACK_MODELVIEW = 0, STACK_PROJECTION = 1, STACK_TEXTURE = 2 };

struct EsMatrixStack {
    std::vector<EsMatrix> items;  // items.back() is the current matrix
    size_t capacity;              // the depth limit: Mesa's 32, 32 and 10
};

// One vertex as immediate mode records it; the layout of the streaming vertex buffer.
struct EsVertex {
    float position[4];
    float colour[4];
    float texCoord[4];
    float normal[3];
};

struct EsState {
    int contextSerial;                      // platformGlContextSerial() this state belongs to; -1 before any
    bool texture2D, fog, texGenS, texGenT;  // capabilities kept by the layer
    GLenum texGenModeS, texGenModeT;        // only GL_SPHERE_MAP is drawn
    GLenum fogMode;                         // only GL_LINEAR is drawn
    float fogStart, fogEnd, fogDensity, fogColour[4];
    GLenum matrixMode;
    EsMatrixStack stacks[3];
    float colour[4], texCoord[4], normal[3];  // current vertex attributes
    GLuint boundTexture;                      // unit 0's GL_TEXTURE_2D binding
    GLuint userProgram;                       // the ARB program in use, 0 for fixed function
    GLint packAlignment;
    GLenum pendingError;  // an error the layer raised itself, reported before the driver's
};

extern EsState& esState;

// Immediate mode's batch: the vertices given since the last draw, and the triangles over them
// (quads and strips already split), drawn together by esDrawPending.
struct EsBatch {
    std::vector<EsVertex> vertices;
    std::vector<GLuint> indices;
    bool insidePrimitive;  // between glBegin and glEnd
};
extern EsBatch& esBatch;

// Splits the batch's last run of quads into triangles (before it is drawn or another kind of
// primitive follows).
void esFinishQuadRun();

// The attribute locations of the layer's programs and of the program's own shaders, bound before
// every link: position, colour, texture coordinate and normal.
void esBindAttributeLocations(GLuint program);
// Forgets what the layer knows of a program's uniforms (it was linked again or deleted).
void esForgetProgram(GLuint program);
// True while the render mode is GL_FEEDBACK; then the batch's triangles go to the feedback buffer.
bool esFeedbackActive();
void esFeedBatch();
// Makes the program current in ES (the layer switches between its own and the program's).
void esUseProgram(GLuint program);

// Makes the layer's state belong to the current context (resetting it when that is new).
void esUseCurrentContext();
// The top of a matrix stack.
EsMatrix& esTopMatrix(int stack);
// r = a * b (column-major, in single precision as GL's own matrix code does).
EsMatrix esMultiply(const EsMatrix& a, const EsMatrix& b);
EsMatrix esIdentity();
// Records an error for glGetError unless one is already waiting.
void esRaise(GLenum error);
// Forgets every texture size the layer keeps (a new context).
void esForgetTextures();
// Forgets the layer's programs and buffers (a new context).
void esForgetDrawObjects();
