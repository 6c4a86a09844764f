// shaderLibraryTest.cpp
// The shader library against a real offscreen GL context: loading source pairs, the exact texts
// written for missing, empty and broken sources, uniforms, binding, relinking, GL error reports,
// and teardown with and without a current context.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>
#include "glLayer/glLayer.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "external/qrx/shaderEntryPoints.h"
#include "platform/platform.h"
#include "tests/glTestContext.h"

namespace {

#ifdef KESTRANE_GLES
// The same shaders in GLSL ES, fed by the GL layer's attributes and matrix.
#define TEST_SHADER_VERSION "#version 100\n"
#define TEST_FRAGMENT_PRECISION "precision mediump float;\n"
const char* const goodVertex = TEST_SHADER_VERSION
    "attribute vec4 vertexPosition;\nattribute vec4 vertexTexCoord;\nuniform mat4 modelViewProjection;\n"
    "varying vec4 texCoord0;\n"
    "void main() { gl_Position = modelViewProjection * vertexPosition; texCoord0 = vertexTexCoord; }\n";
const char* const goodFragment = TEST_SHADER_VERSION
    "precision mediump float;\n"
    "uniform float level;\n"
    "uniform sampler2D picture;\n"
    "varying vec4 texCoord0;\n"
    "void main() { gl_FragColor = texture2D(picture, texCoord0.st) * level; }\n";
#else
#define TEST_SHADER_VERSION "#version 110\n"
#define TEST_FRAGMENT_PRECISION ""
const char* const goodVertex =
    TEST_SHADER_VERSION "void main() { gl_Position = ftransform(); gl_TexCoord[0] = gl_MultiTexCoord0; }\n";
const char* const goodFragment = TEST_SHADER_VERSION
    "uniform float level;\n"
    "uniform sampler2D picture;\n"
    "void main() { gl_FragColor = texture2D(picture, gl_TexCoord[0].st) * level; }\n";
#endif
const char* const brokenSource = TEST_SHADER_VERSION "void main() { gl_Position = ; }\n";
// Compiles, but the function it calls is defined nowhere, so linking fails.
const char* const unresolvedFragment = TEST_SHADER_VERSION TEST_FRAGMENT_PRECISION
    "vec4 shade();\n"
    "void main() { gl_FragColor = shade(); }\n";

std::string runOutput;

void drainGlErrors() {
    while (glGetError() != GL_NO_ERROR) {
    }
}

GLint currentProgram() {
    GLint program = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    return program;
}

class ShaderLibraryGl : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(openTestGlContext());
        ASSERT_TRUE(loadShaderEntryPoints());
        drainGlErrors();
        dir = std::filesystem::temp_directory_path() /
              ("kestrane-shader-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        if (openTestGlContext() && shaderEntryPointsReady) {
            qrx::glUseProgramObjectARB(0);
            drainGlErrors();
        }
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string file(const std::string& name, const std::string& text) {
        std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // A library of the test's own, so that its programs are gone at the end of the case.
    ShaderProgram* load(ShaderLibrary& library, const std::string& vertex, const std::string& fragment) {
        testing::internal::CaptureStdout();
        ShaderProgram* program = library.loadProgramPair(vertex.c_str(), fragment.c_str());
        runOutput = testing::internal::GetCapturedStdout();
        return program;
    }
    std::filesystem::path dir;
};

// While one lives, the driver's log-length query answers `reported` (0 or 1: no log); every other
// query reaches the real driver, which is put back however the case ends.
struct ShortLogDriver {
    ShortLogDriver() {
        real = qrx::glGetObjectParameterivARB;
        qrx::glGetObjectParameterivARB = shortLogLength;
    }
    ~ShortLogDriver() { qrx::glGetObjectParameterivARB = real; }
    static void APIENTRY shortLogLength(GLhandleARB object, GLenum name, GLint* value) {
        real(object, name, value);
        if (name == GL_OBJECT_INFO_LOG_LENGTH_ARB) *value = reported;
    }
    static PFNGLGETOBJECTPARAMETERIVARBPROC real;
    static GLint reported;
};
PFNGLGETOBJECTPARAMETERIVARBPROC ShortLogDriver::real = nullptr;
GLint ShortLogDriver::reported = 1;

// Line number of the first line of a library source that holds text, or 0.
int sourceLineOf(const std::string& relativePath, const std::string& text) {
    std::ifstream in(std::string(KESTRANE_SOURCE_DIR) + "/" + relativePath);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.find(text) != std::string::npos) return number;
    }
    return 0;
}

}  // namespace

TEST_F(ShaderLibraryGl, GoodPairLoadsLinksAndBinds) {
    ShaderLibrary library;
    ShaderProgram* program = load(library, file("a.vert", goodVertex), file("a.frag", goodFragment));
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(runOutput, "");  // llvmpipe offers all four extensions
    EXPECT_TRUE(program->linked);
    EXPECT_NE(program->handle, 0u);
    EXPECT_TRUE(program->ownsUnits);
    ASSERT_EQ(program->unitCount, 2u);
    EXPECT_EQ(program->units[0]->kind, SHADER_VERTEX);
    EXPECT_EQ(program->units[1]->kind, SHADER_FRAGMENT);
    EXPECT_TRUE(program->units[0]->compiled && program->units[1]->compiled);
    EXPECT_STREQ(program->units[1]->source, goodFragment);
    ASSERT_EQ(library.programCount, 1u);
    EXPECT_EQ(library.programs[0], program);

    GLint attached = 0;
    qrx::glGetObjectParameterivARB(program->handle, GL_OBJECT_ATTACHED_OBJECTS_ARB, &attached);
    EXPECT_EQ(attached, 2);

    program->bindProgram();
    EXPECT_EQ(currentProgram(), GLint(program->handle));
    testing::internal::CaptureStdout();
    EXPECT_TRUE(program->setUniformFloat("level", 0.25f));
    EXPECT_TRUE(program->setUniformInt("picture", 3));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    GLfloat level = 0;
    GLint unit = 0;
    qrx::glGetUniformfvARB(program->handle, qrx::glGetUniformLocationARB(program->handle, "level"), &level);
    qrx::glGetUniformivARB(program->handle, qrx::glGetUniformLocationARB(program->handle, "picture"), &unit);
    EXPECT_FLOAT_EQ(level, 0.25f);
    EXPECT_EQ(unit, 3);
    program->unbindProgram();
    EXPECT_EQ(currentProgram(), 0);

    // A second load is kept after the first one.
    ShaderProgram* second = load(library, file("a.vert", goodVertex), file("a.frag", goodFragment));
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(library.programCount, 2u);
    EXPECT_EQ(library.programs[1], second);
}

TEST_F(ShaderLibraryGl, MissingVertexFileStopsBeforeTheFragmentFile) {
    const std::string fragment = file("watched.frag", goodFragment);
    int watch = inotify_init1(IN_NONBLOCK);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, fragment.c_str(), IN_OPEN | IN_ACCESS), 0);
    char events[4096];

    ShaderLibrary library;
    EXPECT_EQ(load(library, (dir / "absent.vert").string(), fragment), nullptr);
    EXPECT_EQ(runOutput, "error: can't load vertex shader!\n");
    EXPECT_EQ(library.programCount, 0u);
    EXPECT_LT(read(watch, events, sizeof events), 0);  // the fragment file was never opened

    // The watch does see the file being read once the vertex file is there.
    EXPECT_NE(load(library, file("present.vert", goodVertex), fragment), nullptr);
    EXPECT_GT(read(watch, events, sizeof events), 0);
    close(watch);
}

TEST_F(ShaderLibraryGl, MissingFragmentFile) {
    ShaderLibrary library;
    EXPECT_EQ(load(library, file("a.vert", goodVertex), (dir / "absent.frag").string()), nullptr);
    EXPECT_EQ(runOutput, "error: can't load fragment shader!\n");
}

TEST_F(ShaderLibraryGl, EmptyOrUnreadableSourceCountsAsNotLoaded) {
    ShaderLibrary library;
    EXPECT_EQ(load(library, file("empty.vert", ""), file("a.frag", goodFragment)), nullptr);
    EXPECT_EQ(runOutput, "error: can't load vertex shader!\n");
    EXPECT_EQ(load(library, file("a.vert", goodVertex), file("empty.frag", "")), nullptr);
    EXPECT_EQ(runOutput, "error: can't load fragment shader!\n");

    ShaderUnit unit(SHADER_VERTEX);
    EXPECT_EQ(unit.readSourceFile((dir / "absent.vert").c_str()), -1);
    EXPECT_EQ(unit.readSourceFile(nullptr), -1);
    EXPECT_EQ(unit.readSourceFile(file("empty.vert", "").c_str()), -2);
    EXPECT_EQ(unit.source, nullptr);
    EXPECT_EQ(unit.readSourceFile(dir.c_str()), -1);  // a directory is no source
    EXPECT_EQ(unit.source, nullptr);

    // A good read replaces the text; a failed one later keeps it.
    ASSERT_EQ(unit.readSourceFile(file("one.vert", "first").c_str()), 0);
    ASSERT_EQ(unit.readSourceFile(file("two.vert", "second text").c_str()), 0);
    EXPECT_STREQ(unit.source, "second text");
    EXPECT_TRUE(unit.ownsSource);
    EXPECT_NE(unit.readSourceFile((dir / "absent.vert").c_str()), 0);
    EXPECT_STREQ(unit.source, "second text");
}

TEST_F(ShaderLibraryGl, VertexCompileFailureWritesHeaderLogAndNewline) {
    const std::string vertex = file("broken.vert", brokenSource);
    // Broken too: had it been compiled, its own error would show as well.
    const std::string fragment = file("broken.frag", brokenSource);

    ShaderUnit probe(SHADER_VERTEX);
    ASSERT_EQ(probe.readSourceFile(vertex.c_str()), 0);
    ASSERT_FALSE(probe.compileUnit());
    const std::string driverLog = probe.unitInfoLog();
    ASSERT_GT(driverLog.size(), 1u);
    EXPECT_NE(driverLog.find("error"), std::string::npos);

    ShaderLibrary library;
    EXPECT_EQ(load(library, vertex, fragment), nullptr);
    EXPECT_EQ(runOutput, "***COMPILER ERROR (Vertex Shader):\n" + driverLog + "\n");
    EXPECT_EQ(library.programCount, 0u);
}

TEST_F(ShaderLibraryGl, FragmentCompileFailure) {
    ShaderLibrary library;
    EXPECT_EQ(load(library, file("a.vert", goodVertex), file("broken.frag", brokenSource)), nullptr);
    EXPECT_EQ(runOutput.find("***COMPILER ERROR (Fragment Shader):\n"), 0u);
    EXPECT_GT(runOutput.size(), std::string("***COMPILER ERROR (Fragment Shader):\n\n").size());
    EXPECT_EQ(runOutput.back(), '\n');
}

TEST_F(ShaderLibraryGl, LinkFailureWritesBothLinesAndTheLog) {
    ShaderLibrary library;
    EXPECT_EQ(load(library, file("a.vert", goodVertex), file("unresolved.frag", unresolvedFragment)),
              nullptr);
    const std::string head = "**linker error**\n**LINKER ERROR\n";
    ASSERT_EQ(runOutput.compare(0, head.size(), head), 0) << runOutput;
    const std::string log = runOutput.substr(head.size());
    EXPECT_GT(log.size(), 2u);  // the driver's log, then a newline
    EXPECT_NE(log.find("shade"), std::string::npos) << log;
    EXPECT_EQ(log.back(), '\n');
    EXPECT_EQ(library.programCount, 0u);
    EXPECT_EQ(runOutput.find("GL Error"), std::string::npos);
}

TEST_F(ShaderLibraryGl, UnknownUniformIsReportedAndRefused) {
    ShaderLibrary library;
    ShaderProgram* program = load(library, file("a.vert", goodVertex), file("a.frag", goodFragment));
    ASSERT_NE(program, nullptr);
    program->bindProgram();
    testing::internal::CaptureStdout();
    EXPECT_FALSE(program->setUniformFloat("glowRadius", 1.0f));
    EXPECT_FALSE(program->setUniformInt("tex\"ture", 0));
    EXPECT_EQ(program->uniformLocation("nothing"), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error: can't find uniform variable \"glowRadius\"\n"
              "Error: can't find uniform variable \"tex\"ture\"\n"
              "Error: can't find uniform variable \"nothing\"\n");
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(ShaderLibraryGl, BindingANeverLinkedProgramDoesNothing) {
    ShaderLibrary library;
    ShaderProgram* linked = load(library, file("a.vert", goodVertex), file("a.frag", goodFragment));
    ASSERT_NE(linked, nullptr);
    testing::internal::CaptureStdout();
    ShaderProgram unlinked;
    ASSERT_NE(unlinked.handle, 0u);
    linked->bindProgram();
    unlinked.bindProgram();
    EXPECT_EQ(currentProgram(), GLint(linked->handle));
    linked->unbindProgram();
    unlinked.bindProgram();
    EXPECT_EQ(currentProgram(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(ShaderLibraryGl, LinkingTwiceWarnsAndRelinks) {
    ShaderUnit vertex(SHADER_VERTEX);
    ShaderUnit fragment(SHADER_FRAGMENT);
    ASSERT_EQ(vertex.readSourceFile(file("a.vert", goodVertex).c_str()), 0);
    ASSERT_EQ(fragment.readSourceFile(file("a.frag", goodFragment).c_str()), 0);
    ASSERT_TRUE(vertex.compileUnit());
    testing::internal::CaptureStdout();
    {
        ShaderProgram program;
        program.attachUnit(&vertex);
        program.attachUnit(&fragment);  // not compiled yet: compiled on the way in
        EXPECT_TRUE(program.linkProgram());
        EXPECT_TRUE(program.linkProgram());
        EXPECT_TRUE(program.linked);
        GLint attached = 0;
        qrx::glGetObjectParameterivARB(program.handle, GL_OBJECT_ATTACHED_OBJECTS_ARB, &attached);
        EXPECT_EQ(attached, 2);  // detached and attached again, not twice over
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "**warning** please compile program before adding object! trying to compile now...\n"
              "...ok!\n"
              "**warning** Object is already linked, trying to link again\n");
}

TEST_F(ShaderLibraryGl, AttachingAUnitThatCannotCompile) {
    ShaderUnit broken(SHADER_VERTEX);
    ASSERT_EQ(broken.readSourceFile(file("broken.vert", brokenSource).c_str()), 0);
    ShaderProgram program;
    testing::internal::CaptureStdout();
    program.attachUnit(&broken);
    program.attachUnit(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "**warning** please compile program before adding object! trying to compile now...\n"
              "...compile ERROR!\n");
    EXPECT_EQ(program.unitCount, 0u);
}

TEST_F(ShaderLibraryGl, FailedRelinkKeepsTheProgramLinked) {
    ShaderUnit vertex(SHADER_VERTEX);
    ShaderUnit fragment(SHADER_FRAGMENT);
    ASSERT_EQ(vertex.readSourceFile(file("a.vert", goodVertex).c_str()), 0);
    ASSERT_EQ(fragment.readSourceFile(file("a.frag", goodFragment).c_str()), 0);
    ASSERT_TRUE(vertex.compileUnit() && fragment.compileUnit());
    ShaderProgram program;
    program.attachUnit(&vertex);
    program.attachUnit(&fragment);
    ASSERT_TRUE(program.linkProgram());
    // The same shader object, recompiled from a source that cannot link.
    ASSERT_EQ(fragment.readSourceFile(file("u.frag", unresolvedFragment).c_str()), 0);
    ASSERT_TRUE(fragment.compileUnit());
    testing::internal::CaptureStdout();
    EXPECT_FALSE(program.linkProgram());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "**warning** Object is already linked, trying to link again\n**linker error**\n");
    EXPECT_TRUE(program.linked);
    EXPECT_NE(std::string(program.programInfoLog()).find("shade"), std::string::npos);
}

TEST_F(ShaderLibraryGl, LogTexts) {
    ShaderUnit unknownKind(7);
    EXPECT_EQ(unknownKind.handle, 0u);
    EXPECT_STREQ(unknownKind.unitInfoLog(), "(e0001) not a valid program object");

    ShaderProgram program;
    const unsigned int handle = program.handle;
    program.handle = 0;
    EXPECT_STREQ(program.programInfoLog(), "(e0002) not a valid object");
    program.handle = handle;

    ShaderUnit broken(SHADER_FRAGMENT);
    ASSERT_EQ(broken.readSourceFile(file("b.frag", brokenSource).c_str()), 0);
    ASSERT_FALSE(broken.compileUnit());
    const std::string first = broken.unitInfoLog();
    EXPECT_NE(first.find("error"), std::string::npos);
    EXPECT_EQ(broken.unitInfoLog(), std::string(broken.infoLog));
}

TEST_F(ShaderLibraryGl, DriverWithoutALogGivesE0004OrTheLogFetchedBefore) {
    // A log fetched while the driver still had one.
    ShaderUnit broken(SHADER_FRAGMENT);
    ASSERT_EQ(broken.readSourceFile(file("b.frag", brokenSource).c_str()), 0);
    ASSERT_FALSE(broken.compileUnit());
    const std::string fetched = broken.unitInfoLog();
    ASSERT_NE(broken.infoLog, nullptr);
    const char* const kept = broken.infoLog;

    ShaderUnit good(SHADER_VERTEX);
    ASSERT_EQ(good.readSourceFile(file("a.vert", goodVertex).c_str()), 0);
    ASSERT_TRUE(good.compileUnit());
    ShaderProgram neverLinked;
    ASSERT_NE(neverLinked.handle, 0u);

    ShortLogDriver driver;
    for (GLint length : {1, 0}) {
        SCOPED_TRACE(length);
        ShortLogDriver::reported = length;
        // No log was ever fetched: the fixed text, and no buffer kept.
        EXPECT_STREQ(good.unitInfoLog(), "(e0004) unknown compiler error");
        EXPECT_EQ(good.infoLog, nullptr);
        EXPECT_STREQ(neverLinked.programInfoLog(), "(e0004) unknown compiler error");
        // A log fetched before is returned again, the same buffer, unchanged.
        EXPECT_EQ(broken.unitInfoLog(), kept);
        EXPECT_EQ(std::string(broken.unitInfoLog()), fetched);
    }
}
TEST_F(ShaderLibraryGl, PendingGlErrorIsReportedWithFileAndLine) {
    ShaderLibrary library;
    ShaderProgram* program = load(library, file("a.vert", goodVertex), file("a.frag", goodFragment));
    ASSERT_NE(program, nullptr);
    const int callLine = sourceLineOf("external/qrx/shaderProgram.cpp", "glUseProgramObjectARB(handle)");
    ASSERT_GT(callLine, 0);

    glEnable(0x7FFF);  // an invalid enum: GL_INVALID_ENUM stays pending
    testing::internal::CaptureStdout();
    program->bindProgram();
    const std::string expected =
        "GL Error #1280(" + std::string(reinterpret_cast<const char*>(gluErrorString(GL_INVALID_ENUM))) +
        ")  in File .\\external\\qrx\\shaderLibrary at line: " + std::to_string(callLine + 1) + "\n";
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));  // the report consumed it

    testing::internal::CaptureStdout();
    EXPECT_EQ(reportGlErrors("here", 7), 0);
    glPopMatrix();  // stack underflow
    EXPECT_EQ(reportGlErrors("here", 7), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "GL Error #1284(" +
                  std::string(reinterpret_cast<const char*>(gluErrorString(GL_STACK_UNDERFLOW))) +
                  ")  in File here at line: 7\n");
}

TEST_F(ShaderLibraryGl, TeardownWithoutACurrentContextFreesMemoryOnly) {
    ShaderLibrary* library = new ShaderLibrary;
    ShaderProgram* program = load(*library, file("a.vert", goodVertex), file("a.frag", goodFragment));
    ASSERT_NE(program, nullptr);
    const unsigned int handles[3] = {program->handle, program->units[0]->handle, program->units[1]->handle};
    ASSERT_TRUE(platformReleaseCurrent());
    testing::internal::CaptureStdout();
    delete library;  // no GL call may be made: no context is current
    const std::string out = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(platformMakeCurrent());
    EXPECT_EQ(out, "");
    // The objects were left alone (an unknown handle would raise an error here).
    for (unsigned int handle : handles) {
        GLint deleteStatus = -1;
        qrx::glGetObjectParameterivARB(handle, GL_OBJECT_DELETE_STATUS_ARB, &deleteStatus);
        EXPECT_EQ(deleteStatus, GL_FALSE);
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    for (unsigned int handle : handles) qrx::glDeleteObjectARB(handle);
}

TEST_F(ShaderLibraryGl, TeardownWithTheContextDeletesEveryObject) {
    typedef GLboolean (*IsObject)(GLuint);
    IsObject isProgram = reinterpret_cast<IsObject>(platformGetProcAddress("glIsProgram"));
    IsObject isShader = reinterpret_cast<IsObject>(platformGetProcAddress("glIsShader"));
    ASSERT_TRUE(isProgram && isShader);
    ShaderLibrary* library = new ShaderLibrary;
    ShaderProgram* program = load(*library, file("a.vert", goodVertex), file("a.frag", goodFragment));
    ASSERT_NE(program, nullptr);
    const unsigned int handles[3] = {program->handle, program->units[0]->handle, program->units[1]->handle};
    EXPECT_TRUE(isProgram(handles[0]) && isShader(handles[1]) && isShader(handles[2]));
    testing::internal::CaptureStdout();
    delete library;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    for (unsigned int handle : handles) {
        EXPECT_FALSE(isProgram(handle) || isShader(handle)) << handle;
    }
}

TEST_F(ShaderLibraryGl, ObjectsOfAReleasedContextAreNeverDeletedByNumber) {
    ShaderLibrary* library = new ShaderLibrary;
    ShaderProgram* program = load(*library, file("a.vert", goodVertex), file("a.frag", goodFragment));
    ASSERT_NE(program, nullptr);
    const unsigned int handles[3] = {program->handle, program->units[0]->handle, program->units[1]->handle};
    // The window is re-created: the old context's objects go with it, the programs stay listed.
    library->releaseContextObjects();
    EXPECT_EQ(program->handle, 0u);
    EXPECT_FALSE(program->linked);
    program->bindProgram();
    EXPECT_EQ(currentProgram(), 0);
    testing::internal::CaptureStdout();
    delete library;  // at exit, in whatever context is current then
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    // In the same context here, the objects still exist: nothing deleted them by number.
    for (unsigned int handle : handles) {
        GLint deleteStatus = -1;
        qrx::glGetObjectParameterivARB(handle, GL_OBJECT_DELETE_STATUS_ARB, &deleteStatus);
        EXPECT_EQ(deleteStatus, GL_FALSE);
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    for (unsigned int handle : handles) qrx::glDeleteObjectARB(handle);
}
