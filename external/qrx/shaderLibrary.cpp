// shaderLibrary.cpp (placeholder until the library is built: every load fails)
#include "external/qrx/shaderLibrary"

bool shaderEntryPointsReady = false;
void setProcAddressLookup(ProcAddressLookup) {}
bool loadShaderEntryPoints() { return false; }
bool hasExtension(const char*) { return false; }
int reportGlErrors(const char*, int) { return 0; }
ShaderUnit::ShaderUnit(int k) : kind(k), handle(0), source(nullptr), infoLog(nullptr), compiled(false), ownsSource(false) {}
ShaderUnit::~ShaderUnit() {}
int ShaderUnit::readSourceFile(const char*) { return -1; }
bool ShaderUnit::compileUnit() { return false; }
const char* ShaderUnit::unitInfoLog() { return "(e0000) GLSL not enabled"; }
ShaderProgram::ShaderProgram() : handle(0), infoLog(nullptr), linked(false), units(nullptr), unitCount(0), unitCapacity(0), ownsUnits(false) {}
ShaderProgram::~ShaderProgram() {}
void ShaderProgram::attachUnit(ShaderUnit*) {}
bool ShaderProgram::linkProgram() { return false; }
const char* ShaderProgram::programInfoLog() { return "(e0000) GLSL not enabled"; }
void ShaderProgram::bindProgram() {}
void ShaderProgram::unbindProgram() {}
int ShaderProgram::uniformLocation(const char*) { return -1; }
bool ShaderProgram::setUniformFloat(const char*, float) { return false; }
bool ShaderProgram::setUniformInt(const char*, int) { return false; }
ShaderLibrary::ShaderLibrary() : programs(nullptr), programCount(0), programCapacity(0) {}
ShaderLibrary::~ShaderLibrary() {}
ShaderProgram* ShaderLibrary::loadProgramPair(const char*, const char*) { return nullptr; }
ShaderLibrary shaderLibrary;
