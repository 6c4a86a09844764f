// desktopGl.cpp
// The desktop build's side of the layer: GL is the driver's own, so only the lookups that the
// GLES build answers differently are here.
#include "glLayer/glLayer.h"
#include "platform/platform.h"

const char* const glLayerShaderFolder = "data/shaders/";
const char* const glLayerPathName = "desktop GL";

void* glLayerProcAddress(const char* name) { return platformGetProcAddress(name); }
