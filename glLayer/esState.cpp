// esState.cpp
// The layer's shadow state: capabilities, fog, texture generation, queries, the attribute stacks
// and the calls that only change state (each draws the pending vertices first, so that they are
// drawn under the state they were given in). Anything ES keeps itself is passed on to it.
#include <cstring>
#include <string>

#include "glLayer/esState.h"
#include "platform/platform.h"

// Never destroyed: the shader library frees its programs through the layer at exit.
EsState& esState = *new EsState();

namespace {

const float identityValues[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

void resetState() {
    EsState& s = esState;
    s.texture2D = s.fog = s.texGenS = s.texGenT = false;
    s.texGenModeS = s.texGenModeT = GL_EYE_LINEAR;
    s.fogMode = GL_EXP;
    s.fogStart = 0.0f;
    s.fogEnd = 1.0f;
    s.fogDensity = 1.0f;
    for (float& c : s.fogColour) c = 0.0f;
    s.matrixMode = GL_MODELVIEW;
    const size_t capacities[3] = {32, 32, 10};  // Mesa's depths
    for (int i = 0; i < 3; ++i) {
        s.stacks[i].items.assign(1, esIdentity());
        s.stacks[i].capacity = capacities[i];
    }
    const float white[4] = {1, 1, 1, 1};
    memcpy(s.colour, white, sizeof white);
    const float origin[4] = {0, 0, 0, 1};
    memcpy(s.texCoord, origin, sizeof origin);
    s.normal[0] = s.normal[1] = 0.0f;
    s.normal[2] = 1.0f;
    s.boundTexture = 0;
    s.userProgram = 0;
    s.packAlignment = 4;
    s.pendingError = GL_NO_ERROR;
}

// What the attribute stacks keep: the layer's state and ES's own, read back from it.
struct SavedAttributes {
    EsState layer;
    GLboolean blend, depthTest, scissorTest, cullFace, depthMask;
    GLint blendSource, blendDestination, depthFunc, viewport[4], scissorBox[4], unpackAlignment;
    GLfloat clearColour[4], clearDepth;
};
std::vector<SavedAttributes>& attributeStack = *new std::vector<SavedAttributes>();  // never destroyed

void setCapability(GLenum cap, GLboolean on) {
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

// True for the capabilities ES does not have, which the layer keeps; their state in *flag.
bool* layerCapability(GLenum cap) {
    switch (cap) {
    case GL_TEXTURE_2D:
        return &esState.texture2D;
    case GL_FOG:
        return &esState.fog;
    case GL_TEXTURE_GEN_S:
        return &esState.texGenS;
    case GL_TEXTURE_GEN_T:
        return &esState.texGenT;
    default:
        return nullptr;
    }
}

void setLayerOrDriverCapability(GLenum cap, bool on) {
    esUseCurrentContext();
    esDrawPending();
    if (bool* flag = layerCapability(cap)) {
        *flag = on;
        return;
    }
    // Lighting and normalising are never switched on by the program; ES has neither.
    if (cap == GL_LIGHTING || cap == GL_NORMALIZE) return;
    setCapability(cap, on);
}

// Answers for the names the layer keeps; false for those ES answers itself.
bool layerFloats(GLenum name, GLfloat* values) {
    const EsState& s = esState;
    switch (name) {
    case GL_MODELVIEW_MATRIX:
        memcpy(values, s.stacks[STACK_MODELVIEW].items.back().m, 16 * sizeof(float));
        return true;
    case GL_PROJECTION_MATRIX:
        memcpy(values, s.stacks[STACK_PROJECTION].items.back().m, 16 * sizeof(float));
        return true;
    case GL_TEXTURE_MATRIX:
        memcpy(values, s.stacks[STACK_TEXTURE].items.back().m, 16 * sizeof(float));
        return true;
    case GL_CURRENT_COLOR:
        memcpy(values, s.colour, 4 * sizeof(float));
        return true;
    case GL_CURRENT_TEXTURE_COORDS:
        memcpy(values, s.texCoord, 4 * sizeof(float));
        return true;
    case GL_CURRENT_NORMAL:
        memcpy(values, s.normal, 3 * sizeof(float));
        return true;
    case GL_FOG_START:
        values[0] = s.fogStart;
        return true;
    case GL_FOG_END:
        values[0] = s.fogEnd;
        return true;
    case GL_FOG_DENSITY:
        values[0] = s.fogDensity;
        return true;
    case GL_FOG_COLOR:
        memcpy(values, s.fogColour, 4 * sizeof(float));
        return true;
    default:
        return false;
    }
}

bool layerIntegers(GLenum name, GLint* values) {
    const EsState& s = esState;
    switch (name) {
    case GL_MATRIX_MODE:
        values[0] = GLint(s.matrixMode);
        return true;
    case GL_MODELVIEW_STACK_DEPTH:
        values[0] = GLint(s.stacks[STACK_MODELVIEW].items.size());
        return true;
    case GL_PROJECTION_STACK_DEPTH:
        values[0] = GLint(s.stacks[STACK_PROJECTION].items.size());
        return true;
    case GL_TEXTURE_STACK_DEPTH:
        values[0] = GLint(s.stacks[STACK_TEXTURE].items.size());
        return true;
    case GL_MAX_MODELVIEW_STACK_DEPTH:
        values[0] = GLint(s.stacks[STACK_MODELVIEW].capacity);
        return true;
    case GL_MAX_PROJECTION_STACK_DEPTH:
        values[0] = GLint(s.stacks[STACK_PROJECTION].capacity);
        return true;
    case GL_MAX_TEXTURE_STACK_DEPTH:
        values[0] = GLint(s.stacks[STACK_TEXTURE].capacity);
        return true;
    case GL_FOG_MODE:
        values[0] = GLint(s.fogMode);
        return true;
    case GL_CURRENT_PROGRAM:
        values[0] = GLint(s.userProgram);
        return true;
    case GL_PACK_ALIGNMENT:
        values[0] = s.packAlignment;
        return true;
    default:
        return false;
    }
}

}  // namespace

EsMatrix esIdentity() {
    EsMatrix r;
    memcpy(r.m, identityValues, sizeof r.m);
    return r;
}

EsMatrix esMultiply(const EsMatrix& a, const EsMatrix& b) {
    EsMatrix r;
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            r.m[column * 4 + row] = a.m[row] * b.m[column * 4] + a.m[4 + row] * b.m[column * 4 + 1] +
                                    a.m[8 + row] * b.m[column * 4 + 2] + a.m[12 + row] * b.m[column * 4 + 3];
        }
    }
    return r;
}

EsMatrix& esTopMatrix(int stack) { return esState.stacks[stack].items.back(); }

void esRaise(GLenum error) {
    if (esState.pendingError == GL_NO_ERROR) esState.pendingError = error;
}

void esUseCurrentContext() {
    const int serial = platformGlContextSerial();
    if (esState.contextSerial == serial && !esState.stacks[0].items.empty()) return;
    esState.contextSerial = serial;
    resetState();
    attributeStack.clear();
    esForgetTextures();
    esForgetDrawObjects();
    platformSetSwapHook(esDrawPending);
}

void esEnable(GLenum cap) { setLayerOrDriverCapability(cap, true); }
void esDisable(GLenum cap) { setLayerOrDriverCapability(cap, false); }

GLboolean esIsEnabled(GLenum cap) {
    esUseCurrentContext();
    if (bool* flag = layerCapability(cap)) return *flag ? GL_TRUE : GL_FALSE;
    if (cap == GL_LIGHTING || cap == GL_NORMALIZE) return GL_FALSE;
    return glIsEnabled(cap);
}

void esGetFloatv(GLenum name, GLfloat* values) {
    esUseCurrentContext();
    if (!layerFloats(name, values)) glGetFloatv(name, values);
}

void esGetIntegerv(GLenum name, GLint* values) {
    esUseCurrentContext();
    if (layerIntegers(name, values)) return;
    // ES names the blend factors per colour and alpha; the program sets them together.
    if (name == GL_BLEND_SRC) name = GL_BLEND_SRC_RGB;
    if (name == GL_BLEND_DST) name = GL_BLEND_DST_RGB;
    GLfloat floats[16];
    if (layerFloats(name, floats)) {
        values[0] = GLint(floats[0]);
        return;
    }
    glGetIntegerv(name, values);
}

void esGetBooleanv(GLenum name, GLboolean* values) {
    esUseCurrentContext();
    GLint integer;
    if (layerIntegers(name, &integer)) {
        values[0] = integer != 0;
        return;
    }
    glGetBooleanv(name, values);
}

const GLubyte* esGetString(GLenum name) {
    const GLubyte* driver = glGetString(name);
    if (name != GL_EXTENSIONS || !driver) return driver;
    // The layer gives the four shader-object extensions' functions (on ES's core shaders), so it
    // names them in front of the driver's own list.
    static std::string extensions;
    extensions =
        "GL_ARB_shader_objects GL_ARB_vertex_shader GL_ARB_fragment_shader GL_ARB_shading_language_100 ";
    extensions += reinterpret_cast<const char*>(driver);
    return reinterpret_cast<const GLubyte*>(extensions.c_str());
}

void esFogf(GLenum name, GLfloat value) {
    esUseCurrentContext();
    esDrawPending();
    switch (name) {
    case GL_FOG_START:
        esState.fogStart = value;
        break;
    case GL_FOG_END:
        esState.fogEnd = value;
        break;
    case GL_FOG_DENSITY:
        esState.fogDensity = value;
        break;
    case GL_FOG_MODE:
        esState.fogMode = GLenum(value);
        break;
    default:
        esRaise(GL_INVALID_ENUM);
    }
}

void esFogi(GLenum name, GLint value) { esFogf(name, GLfloat(value)); }

void esFogfv(GLenum name, const GLfloat* values) {
    if (name != GL_FOG_COLOR) {
        esFogf(name, values[0]);
        return;
    }
    esUseCurrentContext();
    esDrawPending();
    for (int i = 0; i < 4; ++i) esState.fogColour[i] = values[i] < 0 ? 0 : values[i] > 1 ? 1 : values[i];
}

void esTexGeni(GLenum coord, GLenum name, GLint value) {
    esUseCurrentContext();
    esDrawPending();
    if (name != GL_TEXTURE_GEN_MODE) return esRaise(GL_INVALID_ENUM);
    if (coord == GL_S) esState.texGenModeS = GLenum(value);
    if (coord == GL_T) esState.texGenModeT = GLenum(value);
}

// Perspective-correct interpolation and per-pixel fog are what ES always does; smooth shading is
// the only kind the program asks for.
void esHint(GLenum, GLenum) {}
void esShadeModel(GLenum) {}

void esClearDepth(double depth) { glClearDepthf(GLfloat(depth)); }

void esPushAttrib(GLbitfield) {
    esUseCurrentContext();
    esDrawPending();
    SavedAttributes a;
    a.layer = esState;
    a.blend = glIsEnabled(GL_BLEND);
    a.depthTest = glIsEnabled(GL_DEPTH_TEST);
    a.scissorTest = glIsEnabled(GL_SCISSOR_TEST);
    a.cullFace = glIsEnabled(GL_CULL_FACE);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &a.depthMask);
    glGetIntegerv(GL_BLEND_SRC_RGB, &a.blendSource);
    glGetIntegerv(GL_BLEND_DST_RGB, &a.blendDestination);
    glGetIntegerv(GL_DEPTH_FUNC, &a.depthFunc);
    glGetIntegerv(GL_VIEWPORT, a.viewport);
    glGetIntegerv(GL_SCISSOR_BOX, a.scissorBox);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &a.unpackAlignment);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, a.clearColour);
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &a.clearDepth);
    attributeStack.push_back(a);
}

void esPopAttrib() {
    esUseCurrentContext();
    esDrawPending();
    if (attributeStack.empty()) return esRaise(GL_STACK_UNDERFLOW);
    const SavedAttributes a = attributeStack.back();
    attributeStack.pop_back();
    // Matrices, the program in use and the current attributes are not attribute state.
    EsMatrixStack stacks[3] = {esState.stacks[0], esState.stacks[1], esState.stacks[2]};
    const GLenum matrixMode = esState.matrixMode;
    const GLuint program = esState.userProgram;
    esState = a.layer;
    for (int i = 0; i < 3; ++i) esState.stacks[i] = stacks[i];
    esState.matrixMode = matrixMode;
    esState.userProgram = program;
    setCapability(GL_BLEND, a.blend);
    setCapability(GL_DEPTH_TEST, a.depthTest);
    setCapability(GL_SCISSOR_TEST, a.scissorTest);
    setCapability(GL_CULL_FACE, a.cullFace);
    glDepthMask(a.depthMask);
    glBlendFunc(GLenum(a.blendSource), GLenum(a.blendDestination));
    glDepthFunc(GLenum(a.depthFunc));
    glViewport(a.viewport[0], a.viewport[1], a.viewport[2], a.viewport[3]);
    glScissor(a.scissorBox[0], a.scissorBox[1], a.scissorBox[2], a.scissorBox[3]);
    glPixelStorei(GL_UNPACK_ALIGNMENT, a.unpackAlignment);
    glClearColor(a.clearColour[0], a.clearColour[1], a.clearColour[2], a.clearColour[3]);
    glClearDepthf(a.clearDepth);
    glBindTexture(GL_TEXTURE_2D, esState.boundTexture);
}

// The pack alignment is in the attributes kept above; the client stack has nothing else we use.
void esPushClientAttrib(GLbitfield) {}
void esPopClientAttrib() {}

void esBindTexture(GLenum target, GLuint texture) {
    esUseCurrentContext();
    esDrawPending();
    if (target == GL_TEXTURE_2D) esState.boundTexture = texture;
    glBindTexture(target, texture);
}

void esBlendFunc(GLenum source, GLenum destination) {
    esDrawPending();
    glBlendFunc(source, destination);
}

void esDepthMask(GLboolean flag) {
    esDrawPending();
    glDepthMask(flag);
}

void esDepthFunc(GLenum func) {
    esDrawPending();
    glDepthFunc(func);
}

void esClear(GLbitfield mask) {
    esDrawPending();
    glClear(mask);
}

void esClearColor(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha) {
    glClearColor(red, green, blue, alpha);
}

void esViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    esDrawPending();
    glViewport(x, y, width, height);
}

void esScissor(GLint x, GLint y, GLsizei width, GLsizei height) {
    esDrawPending();
    glScissor(x, y, width, height);
}

void esFinish() {
    esDrawPending();
    glFinish();
#ifdef __EMSCRIPTEN__
    // A browser's finish returns once the commands are sent, before its GPU process has drawn them;
    // reading a pixel back waits for the drawing (the benchmark's frame times depend on it).
    GLubyte pixel[4];
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
#endif
}

void esFlush() {
    esDrawPending();
    glFlush();
}

GLenum esGetError() {
    esUseCurrentContext();
    if (esState.pendingError != GL_NO_ERROR) {
        const GLenum error = esState.pendingError;
        esState.pendingError = GL_NO_ERROR;
        return error;
    }
    return glGetError();
}
