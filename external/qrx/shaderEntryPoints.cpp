// shaderEntryPoints.cpp
// Fetches the 42 ARB shader entry points through the GL proc-address lookup (once per process),
// tests the driver's extension string, and runs the extension check of every program constructor.
// The extension test is a plain substring search, so a longer name also matches a shorter one.
#include "external/qrx/shaderEntryPoints.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

bool shaderEntryPointsReady = false;

namespace qrx {

#define QRX_DEFINE_ENTRY_POINT(type, name) type name = nullptr;
QRX_ENTRY_POINTS(QRX_DEFINE_ENTRY_POINT)
#undef QRX_DEFINE_ENTRY_POINT

#define QRX_ENTRY_POINT_NAME(type, name) #name,
const char* const entryPointNames[entryPointCount] = {QRX_ENTRY_POINTS(QRX_ENTRY_POINT_NAME)};
#undef QRX_ENTRY_POINT_NAME

const char* const sourceFileText = ".\\external\\qrx\\shaderLibrary";

void* entryPoint(int index) {
#define QRX_ENTRY_POINT_ADDRESS(type, name) reinterpret_cast<void*>(name),
    void* const stored[entryPointCount] = {QRX_ENTRY_POINTS(QRX_ENTRY_POINT_ADDRESS)};
#undef QRX_ENTRY_POINT_ADDRESS
    return index >= 0 && index < entryPointCount ? stored[index] : nullptr;
}

bool glContextIsCurrent() {
    // Without a current context GL answers every query with null.
    return glGetString(GL_VERSION) != nullptr;
}

}  // namespace qrx

namespace {

const char* driverExtensionString() { return reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)); }

ProcAddressLookup procAddressLookup = glLayerProcAddress;
ExtensionStringSource extensionStringSource = driverExtensionString;

}  // namespace

void setProcAddressLookup(ProcAddressLookup lookup) {
    procAddressLookup = lookup ? lookup : glLayerProcAddress;
}

void setExtensionStringSource(ExtensionStringSource source) {
    extensionStringSource = source ? source : driverExtensionString;
}

bool loadShaderEntryPoints() {
    if (shaderEntryPointsReady) return true;
    bool all = true;
    // Every lookup is made and stored, even after one has failed.
#define QRX_FETCH_ENTRY_POINT(type, name)                         \
    qrx::name = reinterpret_cast<type>(procAddressLookup(#name)); \
    all = all && qrx::name != nullptr;
    QRX_ENTRY_POINTS(QRX_FETCH_ENTRY_POINT)
#undef QRX_FETCH_ENTRY_POINT
    shaderEntryPointsReady = all;
    return all;
}

void forgetShaderEntryPoints() {
    shaderEntryPointsReady = false;
#define QRX_CLEAR_ENTRY_POINT(type, name) qrx::name = nullptr;
    QRX_ENTRY_POINTS(QRX_CLEAR_ENTRY_POINT)
#undef QRX_CLEAR_ENTRY_POINT
}

bool hasExtension(const char* name) {
    const char* extensions = extensionStringSource();
    // A core-profile context (or none) has no extension string.
    return extensions && name && strstr(extensions, name) != nullptr;
}

namespace qrx {

void checkShaderExtensions() {
    if (!loadShaderEntryPoints()) {
        printf("Error initializing OpenGL Shading Language function pointers\n");
        fflush(stdout);
    }
    static const char* const required[] = {"GL_ARB_shader_objects", "GL_ARB_vertex_shader",
                                           "GL_ARB_fragment_shader", "GL_ARB_shading_language_100"};
    for (const char* extension : required) {
        if (!hasExtension(extension)) printf("**warning** %s not defined!!\n", extension);
    }
}

}  // namespace qrx
