// esApi.h
// The GLES build's GL vocabulary: OpenGL ES 3.0 itself, the desktop names it lacks (enums and the
// ARB shader-object types) and the layer's own functions, one for each fixed-function, GLU or
// ARB call the program makes. glLayer.h maps the GL names onto these; the layer's own files
// include only this header and so call the real ES functions by their names.
#pragma once

#include <GLES3/gl3.h>

#include <cstddef>

// Desktop enums the program uses that ES 3.0 does not have.
#define GL_QUADS 0x0007
#define GL_QUAD_STRIP 0x0008
#define GL_MATRIX_MODE 0x0BA0
#define GL_MODELVIEW 0x1700
#define GL_PROJECTION 0x1701
#define GL_SMOOTH 0x1D01
#define GL_FLAT 0x1D00
#define GL_FOG 0x0B60
#define GL_FOG_DENSITY 0x0B62
#define GL_FOG_START 0x0B63
#define GL_FOG_END 0x0B64
#define GL_FOG_MODE 0x0B65
#define GL_FOG_COLOR 0x0B66
#define GL_EXP 0x0800
#define GL_EXP2 0x0801
#define GL_CURRENT_COLOR 0x0B00
#define GL_CURRENT_NORMAL 0x0B02
#define GL_CURRENT_TEXTURE_COORDS 0x0B03
#define GL_MODELVIEW_STACK_DEPTH 0x0BA3
#define GL_PROJECTION_STACK_DEPTH 0x0BA4
#define GL_TEXTURE_STACK_DEPTH 0x0BA5
#define GL_MODELVIEW_MATRIX 0x0BA6
#define GL_PROJECTION_MATRIX 0x0BA7
#define GL_TEXTURE_MATRIX 0x0BA8
#define GL_PERSPECTIVE_CORRECTION_HINT 0x0C50
#define GL_FOG_HINT 0x0C54
#define GL_TEXTURE_GEN_S 0x0C60
#define GL_TEXTURE_GEN_T 0x0C61
#define GL_S 0x2000
#define GL_T 0x2001
#define GL_TEXTURE_GEN_MODE 0x2500
#define GL_EYE_LINEAR 0x2400
#define GL_OBJECT_LINEAR 0x2401
#define GL_SPHERE_MAP 0x2402
#define GL_TEXTURE_WIDTH 0x1000
#define GL_TEXTURE_HEIGHT 0x1001
#define GL_TEXTURE_INTERNAL_FORMAT 0x1003
#define GL_TEXTURE_RED_SIZE 0x805C
#define GL_TEXTURE_GREEN_SIZE 0x805D
#define GL_TEXTURE_BLUE_SIZE 0x805E
#define GL_TEXTURE_ALPHA_SIZE 0x805F
#define GL_ALL_ATTRIB_BITS 0xFFFFFFFF
#define GL_CLIENT_ALL_ATTRIB_BITS 0xFFFFFFFF
#define GL_LIGHTING 0x0B50
#define GL_NORMALIZE 0x0BA1
#define GL_MAX_MODELVIEW_STACK_DEPTH 0x0D36
#define GL_MAX_PROJECTION_STACK_DEPTH 0x0D38
#define GL_MAX_TEXTURE_STACK_DEPTH 0x0D39
#define GL_BLEND_DST 0x0BE0
#define GL_BLEND_SRC 0x0BE1
#define GL_STACK_OVERFLOW 0x0503
#define GL_STACK_UNDERFLOW 0x0504

#define GL_RENDER 0x1C00
#define GL_FEEDBACK 0x1C01
#define GL_SELECT 0x1C02
#define GL_2D 0x0600
#define GL_3D 0x0601
#define GL_3D_COLOR 0x0602
#define GL_3D_COLOR_TEXTURE 0x0603
#define GL_4D_COLOR_TEXTURE 0x0604
#define GL_PASS_THROUGH_TOKEN 0x0700
#define GL_POINT_TOKEN 0x0701
#define GL_LINE_TOKEN 0x0702
#define GL_POLYGON_TOKEN 0x0703
#define GL_BITMAP_TOKEN 0x0704
#define GL_DRAW_PIXEL_TOKEN 0x0705
#define GL_COPY_PIXEL_TOKEN 0x0706
#define GL_LINE_RESET_TOKEN 0x0707

// GLU's.
#define GLU_SMOOTH 100000
#define GLU_FLAT 100001
#define GLU_NONE 100002
#define GLU_INVALID_ENUM 100900
#define GLU_INVALID_VALUE 100901
#define GLU_OUT_OF_MEMORY 100902

// The ARB shader objects'.
#ifndef APIENTRY
#define APIENTRY GL_APIENTRY
#endif
typedef unsigned int GLhandleARB;
typedef char GLcharARB;
#define GL_PROGRAM_OBJECT_ARB 0x8B40
#define GL_SHADER_OBJECT_ARB 0x8B48
#define GL_OBJECT_TYPE_ARB 0x8B4E
#define GL_OBJECT_SUBTYPE_ARB 0x8B4F
#define GL_OBJECT_DELETE_STATUS_ARB 0x8B80
#define GL_OBJECT_COMPILE_STATUS_ARB 0x8B81
#define GL_OBJECT_LINK_STATUS_ARB 0x8B82
#define GL_OBJECT_VALIDATE_STATUS_ARB 0x8B83
#define GL_OBJECT_INFO_LOG_LENGTH_ARB 0x8B84
#define GL_OBJECT_ATTACHED_OBJECTS_ARB 0x8B85
#define GL_OBJECT_ACTIVE_UNIFORMS_ARB 0x8B86
#define GL_OBJECT_ACTIVE_UNIFORM_MAX_LENGTH_ARB 0x8B87
#define GL_OBJECT_SHADER_SOURCE_LENGTH_ARB 0x8B88
#define GL_OBJECT_ACTIVE_ATTRIBUTES_ARB 0x8B89
#define GL_OBJECT_ACTIVE_ATTRIBUTE_MAX_LENGTH_ARB 0x8B8A
#define GL_VERTEX_SHADER_ARB 0x8B31
#define GL_FRAGMENT_SHADER_ARB 0x8B30

typedef void (*PFNGLDELETEOBJECTARBPROC)(GLhandleARB obj);
typedef GLhandleARB (*PFNGLGETHANDLEARBPROC)(GLenum pname);
typedef void (*PFNGLDETACHOBJECTARBPROC)(GLhandleARB containerObj, GLhandleARB attachedObj);
typedef GLhandleARB (*PFNGLCREATESHADEROBJECTARBPROC)(GLenum shaderType);
typedef void (*PFNGLSHADERSOURCEARBPROC)(GLhandleARB shaderObj, GLsizei count, const GLcharARB** string,
                                         const GLint* length);
typedef void (*PFNGLCOMPILESHADERARBPROC)(GLhandleARB shaderObj);
typedef GLhandleARB (*PFNGLCREATEPROGRAMOBJECTARBPROC)(void);
typedef void (*PFNGLATTACHOBJECTARBPROC)(GLhandleARB containerObj, GLhandleARB obj);
typedef void (*PFNGLLINKPROGRAMARBPROC)(GLhandleARB programObj);
typedef void (*PFNGLUSEPROGRAMOBJECTARBPROC)(GLhandleARB programObj);
typedef void (*PFNGLVALIDATEPROGRAMARBPROC)(GLhandleARB programObj);
typedef void (*PFNGLUNIFORM1FARBPROC)(GLint location, GLfloat v0);
typedef void (*PFNGLUNIFORM2FARBPROC)(GLint location, GLfloat v0, GLfloat v1);
typedef void (*PFNGLUNIFORM3FARBPROC)(GLint location, GLfloat v0, GLfloat v1, GLfloat v2);
typedef void (*PFNGLUNIFORM4FARBPROC)(GLint location, GLfloat v0, GLfloat v1, GLfloat v2, GLfloat v3);
typedef void (*PFNGLUNIFORM1IARBPROC)(GLint location, GLint v0);
typedef void (*PFNGLUNIFORM2IARBPROC)(GLint location, GLint v0, GLint v1);
typedef void (*PFNGLUNIFORM3IARBPROC)(GLint location, GLint v0, GLint v1, GLint v2);
typedef void (*PFNGLUNIFORM4IARBPROC)(GLint location, GLint v0, GLint v1, GLint v2, GLint v3);
typedef void (*PFNGLUNIFORM1FVARBPROC)(GLint location, GLsizei count, const GLfloat* value);
typedef void (*PFNGLUNIFORM2FVARBPROC)(GLint location, GLsizei count, const GLfloat* value);
typedef void (*PFNGLUNIFORM3FVARBPROC)(GLint location, GLsizei count, const GLfloat* value);
typedef void (*PFNGLUNIFORM4FVARBPROC)(GLint location, GLsizei count, const GLfloat* value);
typedef void (*PFNGLUNIFORM1IVARBPROC)(GLint location, GLsizei count, const GLint* value);
typedef void (*PFNGLUNIFORM2IVARBPROC)(GLint location, GLsizei count, const GLint* value);
typedef void (*PFNGLUNIFORM3IVARBPROC)(GLint location, GLsizei count, const GLint* value);
typedef void (*PFNGLUNIFORM4IVARBPROC)(GLint location, GLsizei count, const GLint* value);
typedef void (*PFNGLUNIFORMMATRIX2FVARBPROC)(GLint location, GLsizei count, GLboolean transpose,
                                             const GLfloat* value);
typedef void (*PFNGLUNIFORMMATRIX3FVARBPROC)(GLint location, GLsizei count, GLboolean transpose,
                                             const GLfloat* value);
typedef void (*PFNGLUNIFORMMATRIX4FVARBPROC)(GLint location, GLsizei count, GLboolean transpose,
                                             const GLfloat* value);
typedef void (*PFNGLGETOBJECTPARAMETERFVARBPROC)(GLhandleARB obj, GLenum pname, GLfloat* params);
typedef void (*PFNGLGETOBJECTPARAMETERIVARBPROC)(GLhandleARB obj, GLenum pname, GLint* params);
typedef void (*PFNGLGETINFOLOGARBPROC)(GLhandleARB obj, GLsizei maxLength, GLsizei* length,
                                       GLcharARB* infoLog);
typedef void (*PFNGLGETATTACHEDOBJECTSARBPROC)(GLhandleARB containerObj, GLsizei maxCount, GLsizei* count,
                                               GLhandleARB* obj);
typedef GLint (*PFNGLGETUNIFORMLOCATIONARBPROC)(GLhandleARB programObj, const GLcharARB* name);
typedef void (*PFNGLGETACTIVEUNIFORMARBPROC)(GLhandleARB programObj, GLuint index, GLsizei maxLength,
                                             GLsizei* length, GLint* size, GLenum* type, GLcharARB* name);
typedef void (*PFNGLGETUNIFORMFVARBPROC)(GLhandleARB programObj, GLint location, GLfloat* params);
typedef void (*PFNGLGETUNIFORMIVARBPROC)(GLhandleARB programObj, GLint location, GLint* params);
typedef void (*PFNGLGETSHADERSOURCEARBPROC)(GLhandleARB obj, GLsizei maxLength, GLsizei* length,
                                            GLcharARB* source);
typedef void (*PFNGLBINDATTRIBLOCATIONARBPROC)(GLhandleARB programObj, GLuint index, const GLcharARB* name);
typedef void (*PFNGLGETACTIVEATTRIBARBPROC)(GLhandleARB programObj, GLuint index, GLsizei maxLength,
                                            GLsizei* length, GLint* size, GLenum* type, GLcharARB* name);
typedef GLint (*PFNGLGETATTRIBLOCATIONARBPROC)(GLhandleARB programObj, const GLcharARB* name);

struct GLUquadric;  // the layer's own, in esQuadrics.cpp
typedef GLUquadric GLUquadricObj;

// State: capabilities the layer keeps itself (texturing, fog, sphere-map generation) and those it
// passes on; queries answer from the layer's copy where ES has none.
void esEnable(GLenum cap);
void esDisable(GLenum cap);
GLboolean esIsEnabled(GLenum cap);
void esGetFloatv(GLenum name, GLfloat* values);
void esGetIntegerv(GLenum name, GLint* values);
void esGetBooleanv(GLenum name, GLboolean* values);
const GLubyte* esGetString(GLenum name);
void esFogf(GLenum name, GLfloat value);
void esFogi(GLenum name, GLint value);
void esFogfv(GLenum name, const GLfloat* values);
void esTexGeni(GLenum coord, GLenum name, GLint value);
void esHint(GLenum target, GLenum mode);
void esShadeModel(GLenum mode);
void esClearDepth(double depth);
void esPushAttrib(GLbitfield mask);
void esPopAttrib();
void esPushClientAttrib(GLbitfield mask);
void esPopClientAttrib();
// Calls that only change state the pending vertices were recorded under: each draws them first.
void esBindTexture(GLenum target, GLuint texture);
void esBlendFunc(GLenum source, GLenum destination);
void esDepthMask(GLboolean flag);
void esDepthFunc(GLenum func);
void esClear(GLbitfield mask);
void esClearColor(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha);
void esViewport(GLint x, GLint y, GLsizei width, GLsizei height);
void esScissor(GLint x, GLint y, GLsizei width, GLsizei height);
void esFinish();
void esFlush();
GLenum esGetError();

// Matrices.
void esMatrixMode(GLenum mode);
void esLoadIdentity();
void esPushMatrix();
void esPopMatrix();
void esLoadMatrixf(const GLfloat* m);
void esMultMatrixf(const GLfloat* m);
void esTranslatef(GLfloat x, GLfloat y, GLfloat z);
void esRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z);
void esScalef(GLfloat x, GLfloat y, GLfloat z);
void esOrtho(double left, double right, double bottom, double top, double zNear, double zFar);
void esFrustum(double left, double right, double bottom, double top, double zNear, double zFar);
void esuPerspective(double fovy, double aspect, double zNear, double zFar);
void esuLookAt(double eyeX, double eyeY, double eyeZ, double centreX, double centreY, double centreZ,
               double upX, double upY, double upZ);

// Immediate mode.
void esBegin(GLenum mode);
void esEnd();
void esVertex2f(GLfloat x, GLfloat y);
void esVertex3f(GLfloat x, GLfloat y, GLfloat z);
void esVertex3fv(const GLfloat* v);
void esColor3f(GLfloat r, GLfloat g, GLfloat b);
void esColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
void esColor4fv(const GLfloat* v);
void esTexCoord2f(GLfloat s, GLfloat t);
void esTexCoord2fv(const GLfloat* v);
void esTexCoord2s(GLshort s, GLshort t);
void esNormal3f(GLfloat x, GLfloat y, GLfloat z);
void esNormal3fv(const GLfloat* v);

// Textures and pixels.
void esTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const void* pixels);
void esTexParameteri(GLenum target, GLenum name, GLint value);
void esGetTexLevelParameteriv(GLenum target, GLint level, GLenum name, GLint* value);
void esDeleteTextures(GLsizei count, const GLuint* textures);
void esCopyTexSubImage2D(GLenum target, GLint level, GLint xOffset, GLint yOffset, GLint x, GLint y,
                         GLsizei width, GLsizei height);
void esPixelStorei(GLenum name, GLint value);
void esReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels);
GLint esuBuild2DMipmaps(GLenum target, GLint components, GLint width, GLint height, GLenum format,
                        GLenum type, const void* data);
const GLubyte* esuErrorString(GLenum code);

// GLU quadrics: spheres and cylinders, filled, with GLU's orientation and texture coordinates.
GLUquadric* esuNewQuadric();
void esuDeleteQuadric(GLUquadric* quadric);
void esuQuadricNormals(GLUquadric* quadric, GLenum normals);
void esuQuadricTexture(GLUquadric* quadric, GLboolean textureCoords);
void esuSphere(GLUquadric* quadric, double radius, GLint slices, GLint stacks);
void esuCylinder(GLUquadric* quadric, double base, double top, double height, GLint slices, GLint stacks);

// Feedback mode, as desktop GL has it for triangles: while GL_FEEDBACK is the render mode, batched
// triangles are clipped to the view volume and written to the buffer as window-coordinate
// polygons instead of being drawn. glRenderMode returns the floats written (-1 on overflow).
void esFeedbackBuffer(GLsizei size, GLenum type, GLfloat* buffer);
GLint esRenderMode(GLenum mode);

// Draws what immediate mode has batched so far (nothing when the batch is empty). Every call above
// that changes drawing state does this first; so does a swap of the buffers.
void esDrawPending();
