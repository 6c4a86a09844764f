// shaderEntryPointsTest.cpp
// The shader library's entry-point loading and extension check with an injected proc-address
// lookup and extension string (no driver involved), and what every operation does while the
// entry points are missing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "external/qrx/shaderEntryPoints.h"

namespace {

// The lookup order the loader must follow: the vertex-shader ones, then the shader-object ones.
const char* const expectedOrder[42] = {"glBindAttribLocationARB",
                                       "glGetActiveAttribARB",
                                       "glGetAttribLocationARB",
                                       "glDeleteObjectARB",
                                       "glGetHandleARB",
                                       "glDetachObjectARB",
                                       "glCreateShaderObjectARB",
                                       "glShaderSourceARB",
                                       "glCompileShaderARB",
                                       "glCreateProgramObjectARB",
                                       "glAttachObjectARB",
                                       "glLinkProgramARB",
                                       "glUseProgramObjectARB",
                                       "glValidateProgramARB",
                                       "glGetObjectParameterfvARB",
                                       "glGetObjectParameterivARB",
                                       "glGetInfoLogARB",
                                       "glGetAttachedObjectsARB",
                                       "glGetUniformLocationARB",
                                       "glGetActiveUniformARB",
                                       "glGetUniformfvARB",
                                       "glGetUniformivARB",
                                       "glGetShaderSourceARB",
                                       "glUniform1fARB",
                                       "glUniform2fARB",
                                       "glUniform3fARB",
                                       "glUniform4fARB",
                                       "glUniform1iARB",
                                       "glUniform2iARB",
                                       "glUniform3iARB",
                                       "glUniform4iARB",
                                       "glUniform1fvARB",
                                       "glUniform2fvARB",
                                       "glUniform3fvARB",
                                       "glUniform4fvARB",
                                       "glUniform1ivARB",
                                       "glUniform2ivARB",
                                       "glUniform3ivARB",
                                       "glUniform4ivARB",
                                       "glUniformMatrix2fvARB",
                                       "glUniformMatrix3fvARB",
                                       "glUniformMatrix4fvARB"};

std::vector<std::string> lookedUp;
std::string missingName;  // the one entry point the fake driver lacks ("" for none)
const char* extensionString = "";

void fakeEntryPoint() {}

void* fakeLookup(const char* name) {
    lookedUp.push_back(name);
    if (missingName == name) return nullptr;
    return reinterpret_cast<void*>(&fakeEntryPoint);
}

const char* fakeExtensions() { return extensionString; }

// Each case starts with nothing loaded and a fake driver, and hands the real ones back after, so
// that GL cases in the same process load the real entry points again.
class InjectedEntryPoints : public ::testing::Test {
protected:
    void SetUp() override {
        forgetShaderEntryPoints();
        lookedUp.clear();
        missingName.clear();
        extensionString = "";
        setProcAddressLookup(fakeLookup);
        setExtensionStringSource(fakeExtensions);
    }
    void TearDown() override {
        forgetShaderEntryPoints();
        setProcAddressLookup(nullptr);
        setExtensionStringSource(nullptr);
    }
};

}  // namespace

TEST_F(InjectedEntryPoints, LooksUpAllFortyTwoInOrder) {
    EXPECT_TRUE(loadShaderEntryPoints());
    EXPECT_TRUE(shaderEntryPointsReady);
    ASSERT_EQ(lookedUp.size(), 42u);
    for (int i = 0; i < 42; ++i) {
        EXPECT_EQ(lookedUp[i], expectedOrder[i]) << "lookup " << i;
        EXPECT_STREQ(qrx::entryPointNames[i], expectedOrder[i]);
        EXPECT_EQ(qrx::entryPoint(i), reinterpret_cast<void*>(&fakeEntryPoint));
    }
}

TEST_F(InjectedEntryPoints, AfterSuccessNoFurtherLookups) {
    ASSERT_TRUE(loadShaderEntryPoints());
    lookedUp.clear();
    missingName = "glUniform1fARB";  // a driver that now lacks one would not matter
    EXPECT_TRUE(loadShaderEntryPoints());
    EXPECT_TRUE(loadShaderEntryPoints());
    EXPECT_TRUE(lookedUp.empty());
    EXPECT_NE(qrx::glUniform1fARB, nullptr);
}

TEST_F(InjectedEntryPoints, OneMissingKeepsTheOthersAndRetriesAll) {
    missingName = "glGetInfoLogARB";
    EXPECT_FALSE(loadShaderEntryPoints());
    EXPECT_FALSE(shaderEntryPointsReady);
    EXPECT_EQ(lookedUp.size(), 42u);
    int stored = 0;
    for (int i = 0; i < 42; ++i) {
        if (qrx::entryPoint(i)) ++stored;
    }
    EXPECT_EQ(stored, 41);
    EXPECT_EQ(qrx::glGetInfoLogARB, nullptr);
    EXPECT_NE(qrx::glUniformMatrix4fvARB, nullptr);  // looked up after the missing one

    lookedUp.clear();
    EXPECT_FALSE(loadShaderEntryPoints());
    EXPECT_EQ(lookedUp.size(), 42u);

    // The driver now supplies it: the next call succeeds.
    missingName.clear();
    lookedUp.clear();
    EXPECT_TRUE(loadShaderEntryPoints());
    EXPECT_EQ(lookedUp.size(), 42u);
    EXPECT_NE(qrx::glGetInfoLogARB, nullptr);
}

TEST_F(InjectedEntryPoints, ExtensionCheckWritesTheErrorAndOnlyMissingWarnings) {
    missingName = "glBindAttribLocationARB";
    extensionString = "GL_ARB_multitexture GL_ARB_shader_objects GL_ARB_fragment_shader";
    testing::internal::CaptureStdout();
    {
        ShaderProgram program;
        EXPECT_EQ(program.handle, 0u);  // no program object without the entry points
        EXPECT_FALSE(program.linked);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error initializing OpenGL Shading Language function pointers\n"
              "**warning** GL_ARB_vertex_shader not defined!!\n"
              "**warning** GL_ARB_shading_language_100 not defined!!\n");
}

TEST_F(InjectedEntryPoints, ExtensionCheckIsSilentWhenAllIsThere) {
    // Entry points present, so the constructor would create a GL object: only the check runs.
    extensionString =
        "GL_ARB_shader_objects GL_ARB_vertex_shader GL_ARB_fragment_shader "
        "GL_ARB_shading_language_100";
    testing::internal::CaptureStdout();
    qrx::checkShaderExtensions();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    extensionString = "";
    testing::internal::CaptureStdout();
    qrx::checkShaderExtensions();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "**warning** GL_ARB_shader_objects not defined!!\n"
              "**warning** GL_ARB_vertex_shader not defined!!\n"
              "**warning** GL_ARB_fragment_shader not defined!!\n"
              "**warning** GL_ARB_shading_language_100 not defined!!\n");
}

TEST_F(InjectedEntryPoints, ExtensionTestIsAPlainSubstringSearch) {
    extensionString = "GL_EXT_foo GL_ARB_vertex_shader_tessellated GL_ARB_frag";
    EXPECT_TRUE(hasExtension("GL_ARB_vertex_shader"));
    EXPECT_TRUE(hasExtension("ARB_vertex"));
    EXPECT_FALSE(hasExtension("GL_ARB_fragment_shader"));  // only a shorter name is there
    extensionString = nullptr;                             // a core-profile context has no extension string
    EXPECT_FALSE(hasExtension("GL_ARB_vertex_shader"));
}

TEST_F(InjectedEntryPoints, ExtensionStringIsReadAnewOnEveryCall) {
    extensionString = "GL_ARB_shader_objects";
    EXPECT_TRUE(hasExtension("GL_ARB_shader_objects"));
    extensionString = "GL_EXT_other";
    EXPECT_FALSE(hasExtension("GL_ARB_shader_objects"));
}

TEST_F(InjectedEntryPoints, WithoutEntryPointsEveryOperationRefusesSafely) {
    // Calling any missing (null) entry point would crash, so this also shows that none is called.
    missingName = "glCreateShaderObjectARB";
    testing::internal::CaptureStdout();
    ShaderUnit unit(SHADER_VERTEX);
    ShaderProgram program;
    const std::string constructed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(constructed.find("Error initializing"), 0u);

    EXPECT_EQ(unit.kind, SHADER_VERTEX);
    EXPECT_EQ(unit.handle, 0u);
    EXPECT_EQ(unit.source, nullptr);
    EXPECT_FALSE(unit.compiled);
    EXPECT_FALSE(unit.compileUnit());
    EXPECT_STREQ(unit.unitInfoLog(), "(e0000) GLSL not enabled");
    EXPECT_STREQ(program.programInfoLog(), "(e0000) GLSL not enabled");

    testing::internal::CaptureStdout();
    program.attachUnit(&unit);
    EXPECT_EQ(program.unitCount, 0u);
    EXPECT_FALSE(program.linkProgram());
    program.bindProgram();
    program.unbindProgram();
    EXPECT_EQ(program.uniformLocation("slider"), -1);
    EXPECT_FALSE(program.setUniformFloat("slider", 1.0f));
    EXPECT_FALSE(program.setUniformInt("texture", 0));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    ShaderLibrary library;
    testing::internal::CaptureStdout();
    EXPECT_EQ(library.loadProgramPair(nullptr, nullptr), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error initializing OpenGL Shading Language function pointers\n"
              "**warning** GL_ARB_shader_objects not defined!!\n"
              "**warning** GL_ARB_vertex_shader not defined!!\n"
              "**warning** GL_ARB_fragment_shader not defined!!\n"
              "**warning** GL_ARB_shading_language_100 not defined!!\n"
              "**LINKER ERROR\n(e0000) GLSL not enabled\n");
    EXPECT_EQ(library.programCount, 0u);
}
