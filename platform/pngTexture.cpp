// pngTexture.cpp (placeholder until the PNG loader is built: every load fails)
#include "platform/platform.h"

unsigned int pngBind(const char*, int, int, pngInfo*, int, int, int) { return 0; }
bool decodePng(const unsigned char*, size_t, unsigned char**, unsigned*, unsigned*, bool*) { return false; }
