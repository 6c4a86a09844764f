// pngDecodeFuzz.cpp
// Fuzz target for the PNG decoding under pngBind: decodePng on the raw bytes. A decoded picture
// must have a size within the decoder's limit and own a pixel buffer of exactly width x height
// pixels of 3 or 4 bytes; the first and last bytes are read to prove it under AddressSanitizer.
#include <cstdlib>

#include "platform/platform.h"
#include "tests/fuzz/fuzzTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    unsigned char* pixels = nullptr;
    unsigned width = 0, height = 0;
    bool hasAlpha = false;
    if (!decodePng(data, size, &pixels, &width, &height, &hasAlpha)) {
        FUZZ_CHECK(pixels == nullptr);
        return 0;
    }
    FUZZ_CHECK(pixels != nullptr);
    FUZZ_CHECK(width >= 1 && width <= 16384 && height >= 1 && height <= 16384);
    const size_t bytes = size_t(width) * height * (hasAlpha ? 4 : 3);
    volatile unsigned char edge = pixels[0] ^ pixels[bytes - 1];
    (void)edge;
    free(pixels);
    return 0;
}
