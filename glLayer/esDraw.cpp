// esDraw.cpp
// Draws immediate mode's batch: one streaming vertex buffer and index buffer, and either the
// program's own shaders (when one is in use) or one of the layer's small family of programs for
// fixed function: texture on or off (modulated by the clamped colour, through the texture
// matrix), sphere-map generation of s and t from the unnormalised eye-space normal, and linear
// fog by eye distance. A variant is compiled the first time it is needed in a context.
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "glLayer/esState.h"

namespace {

enum { ATTRIBUTE_POSITION = 0, ATTRIBUTE_COLOUR = 1, ATTRIBUTE_TEXCOORD = 2, ATTRIBUTE_NORMAL = 3 };
enum { VARIANT_TEXTURE = 1, VARIANT_GEN_S = 2, VARIANT_GEN_T = 4, VARIANT_FOG = 8, VARIANT_COUNT = 16 };

const char* const vertexSource = R"(
in vec4 vertexPosition;
in vec4 vertexColour;
in vec4 vertexTexCoord;
in vec3 vertexNormal;
uniform mat4 modelViewProjection;
uniform mat4 modelView;
uniform mat4 textureMatrix;
uniform mat3 normalMatrix;
out vec4 colour;
out vec4 texCoord;
out float fogDistance;
void main() {
    gl_Position = modelViewProjection * vertexPosition;
    colour = clamp(vertexColour, 0.0, 1.0);
#if TEXTURE
    vec4 source = vertexTexCoord;
#if GEN_S || GEN_T
    // Sphere map: the eye direction reflected about the normal, which is not normalised.
    vec3 eye = normalize((modelView * vertexPosition).xyz);
    vec3 n = normalMatrix * vertexNormal;
    vec3 r = eye - 2.0 * n * dot(n, eye);
    float m = 0.5 * inversesqrt(r.x * r.x + r.y * r.y + (r.z + 1.0) * (r.z + 1.0));
#if GEN_S
    source.s = r.x * m + 0.5;
#endif
#if GEN_T
    source.t = r.y * m + 0.5;
#endif
#endif
    texCoord = textureMatrix * source;
#else
    texCoord = vec4(0.0);
#endif
#if FOG
    fogDistance = abs((modelView * vertexPosition).z);
#else
    fogDistance = 0.0;
#endif
}
)";

// ES samplers default to low precision, which llvmpipe works out in half floats: slower, and
// not the desktop's texel values.
const char* const fragmentSource = R"(
precision highp float;
precision highp sampler2D;
in vec4 colour;
in vec4 texCoord;
in float fogDistance;
uniform sampler2D sampler;
uniform vec2 fogScale;
uniform vec3 fogColour;
out vec4 fragColour;
void main() {
    vec4 c = colour;
#if TEXTURE
    c *= texture(sampler, texCoord.st);
#endif
#if FOG
    float f = clamp(fogDistance * fogScale.x + fogScale.y, 0.0, 1.0);
    c.rgb = mix(fogColour, c.rgb, f);
#endif
    fragColour = c;
}
)";

struct ProgramUniforms {
    GLint modelViewProjection, modelView, textureMatrix, normalMatrix, fogScale, fogColour, sampler;
};

struct DrawObjects {
    GLuint vertexArray, vertexBuffer, indexBuffer;
    GLuint variants[VARIANT_COUNT];  // 0 until compiled
    GLuint activeProgram;            // what ES has in use
};
DrawObjects objects = {};
std::map<GLuint, ProgramUniforms>& uniformsOf = *new std::map<GLuint, ProgramUniforms>();  // never destroyed

ProgramUniforms findUniforms(GLuint program) {
    auto found = uniformsOf.find(program);
    if (found != uniformsOf.end()) return found->second;
    ProgramUniforms u;
    u.modelViewProjection = glGetUniformLocation(program, "modelViewProjection");
    u.modelView = glGetUniformLocation(program, "modelView");
    u.textureMatrix = glGetUniformLocation(program, "textureMatrix");
    u.normalMatrix = glGetUniformLocation(program, "normalMatrix");
    u.fogScale = glGetUniformLocation(program, "fogScale");
    u.fogColour = glGetUniformLocation(program, "fogColour");
    u.sampler = glGetUniformLocation(program, "sampler");
    uniformsOf[program] = u;
    return u;
}

GLuint compile(GLenum kind, const std::string& text) {
    const GLuint shader = glCreateShader(kind);
    const char* source = text.c_str();
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = "";
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        fprintf(stderr, "GL layer: a built-in shader did not compile: %s\n", log);
    }
    return shader;
}

GLuint buildVariant(int variant) {
    std::string defines = "#version 300 es\n";
    defines += std::string("#define TEXTURE ") + ((variant & VARIANT_TEXTURE) ? "1\n" : "0\n");
    defines += std::string("#define GEN_S ") + ((variant & VARIANT_GEN_S) ? "1\n" : "0\n");
    defines += std::string("#define GEN_T ") + ((variant & VARIANT_GEN_T) ? "1\n" : "0\n");
    defines += std::string("#define FOG ") + ((variant & VARIANT_FOG) ? "1\n" : "0\n");
    const GLuint program = glCreateProgram();
    const GLuint vertex = compile(GL_VERTEX_SHADER, defines + vertexSource);
    const GLuint fragment = compile(GL_FRAGMENT_SHADER, defines + fragmentSource);
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    esBindAttributeLocations(program);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) fprintf(stderr, "GL layer: a built-in program did not link\n");
    return program;
}

void makeBuffers() {
    glGenVertexArrays(1, &objects.vertexArray);
    glGenBuffers(1, &objects.vertexBuffer);
    glGenBuffers(1, &objects.indexBuffer);
    glBindVertexArray(objects.vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, objects.vertexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, objects.indexBuffer);
    struct Attribute {
        GLuint location;
        GLint size;
        size_t offset;
    };
    const Attribute attributes[] = {{ATTRIBUTE_POSITION, 4, offsetof(EsVertex, position)},
                                    {ATTRIBUTE_COLOUR, 4, offsetof(EsVertex, colour)},
                                    {ATTRIBUTE_TEXCOORD, 4, offsetof(EsVertex, texCoord)},
                                    {ATTRIBUTE_NORMAL, 3, offsetof(EsVertex, normal)}};
    for (const Attribute& a : attributes) {
        glEnableVertexAttribArray(a.location);
        glVertexAttribPointer(a.location, a.size, GL_FLOAT, GL_FALSE, sizeof(EsVertex),
                              reinterpret_cast<void*>(a.offset));
    }
}

// The inverse transpose of the modelview's upper 3x3, which carries normals into eye space.
void normalMatrixOf(const EsMatrix& modelView, float* out) {
    const float* m = modelView.m;
    const double a = m[0], b = m[4], c = m[8], d = m[1], e = m[5], f = m[9], g = m[2], h = m[6], i = m[10];
    const double cofactor[9] = {e * i - f * h,    -(d * i - f * g), d * h - e * g,
                                -(b * i - c * h), a * i - c * g,    -(a * h - b * g),
                                b * f - c * e,    -(a * f - c * d), a * e - b * d};
    const double determinant = a * cofactor[0] + b * cofactor[1] + c * cofactor[2];
    const double scale = determinant != 0.0 ? 1.0 / determinant : 0.0;
    // Column-major: column j holds row j of the cofactor matrix, which is the inverse transposed.
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            out[column * 3 + row] = float(cofactor[row * 3 + column] * scale);
}

int fixedFunctionVariant() {
    const EsState& s = esState;
    int variant = 0;
    if (s.texture2D && s.boundTexture != 0) {
        variant |= VARIANT_TEXTURE;
        if (s.texGenS && s.texGenModeS == GL_SPHERE_MAP) variant |= VARIANT_GEN_S;
        if (s.texGenT && s.texGenModeT == GL_SPHERE_MAP) variant |= VARIANT_GEN_T;
    }
    if (s.fog && s.fogMode == GL_LINEAR) variant |= VARIANT_FOG;
    return variant;
}

void setUniforms(const ProgramUniforms& u) {
    const EsMatrix& modelView = esTopMatrix(STACK_MODELVIEW);
    const EsMatrix modelViewProjection = esMultiply(esTopMatrix(STACK_PROJECTION), modelView);
    if (u.modelViewProjection >= 0)
        glUniformMatrix4fv(u.modelViewProjection, 1, GL_FALSE, modelViewProjection.m);
    if (u.modelView >= 0) glUniformMatrix4fv(u.modelView, 1, GL_FALSE, modelView.m);
    if (u.textureMatrix >= 0) glUniformMatrix4fv(u.textureMatrix, 1, GL_FALSE, esTopMatrix(STACK_TEXTURE).m);
    if (u.normalMatrix >= 0) {
        float normal[9];
        normalMatrixOf(modelView, normal);
        glUniformMatrix3fv(u.normalMatrix, 1, GL_FALSE, normal);
    }
    if (u.fogScale >= 0) {
        const float range = esState.fogEnd - esState.fogStart;
        const float scale = range != 0.0f ? 1.0f / range : 1.0f;
        glUniform2f(u.fogScale, -scale, esState.fogEnd * scale);
    }
    if (u.fogColour >= 0)
        glUniform3f(u.fogColour, esState.fogColour[0], esState.fogColour[1], esState.fogColour[2]);
    if (u.sampler >= 0) glUniform1i(u.sampler, 0);
}

}  // namespace

void esBindAttributeLocations(GLuint program) {
    glBindAttribLocation(program, ATTRIBUTE_POSITION, "vertexPosition");
    glBindAttribLocation(program, ATTRIBUTE_COLOUR, "vertexColour");
    glBindAttribLocation(program, ATTRIBUTE_TEXCOORD, "vertexTexCoord");
    glBindAttribLocation(program, ATTRIBUTE_NORMAL, "vertexNormal");
}

void esForgetProgram(GLuint program) { uniformsOf.erase(program); }

void esUseProgram(GLuint program) {
    if (objects.activeProgram == program) return;
    glUseProgram(program);
    objects.activeProgram = program;
}

void esForgetDrawObjects() {
    esFinishQuadRun();
    objects = {};
    uniformsOf.clear();
    esBatch.vertices.clear();
    esBatch.indices.clear();
    esBatch.insidePrimitive = false;
}

void esDrawPending() {
    if (esBatch.insidePrimitive) return;
    esFinishQuadRun();
    if (esBatch.indices.empty()) {
        esBatch.vertices.clear();
        return;
    }
    esUseCurrentContext();
    if (esFeedbackActive()) {
        esFeedBatch();
        esBatch.vertices.clear();
        esBatch.indices.clear();
        return;
    }
    if (!objects.vertexArray) makeBuffers();
    GLuint program = esState.userProgram;
    if (!program) {
        const int variant = fixedFunctionVariant();
        if (!objects.variants[variant]) objects.variants[variant] = buildVariant(variant);
        program = objects.variants[variant];
    }
    esUseProgram(program);
    setUniforms(findUniforms(program));
    glBindVertexArray(objects.vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, objects.vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(esBatch.vertices.size() * sizeof(EsVertex)),
                 esBatch.vertices.data(), GL_STREAM_DRAW);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(esBatch.indices.size() * sizeof(GLuint)),
                 esBatch.indices.data(), GL_STREAM_DRAW);
    glDrawElements(GL_TRIANGLES, GLsizei(esBatch.indices.size()), GL_UNSIGNED_INT, nullptr);
    esBatch.vertices.clear();
    esBatch.indices.clear();
}
