// pngDecoder.cpp
// PNG decoding over libpng: every colour type and bit depth becomes 8-bit RGB, or RGBA when the
// file has alpha or tRNS. A faulty file gives false and prints nothing (libpng's messages are
// silenced). Known limits: sides over 16384 and files over 64 MiB are refused.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/platform.h"

namespace {

const png_uint_32 largestSide = 16384;
// No picture of the program comes near this; a bigger file (or a device such as /dev/zero in a
// picture's place) is refused rather than read into memory without end.
const size_t largestFile = size_t(64) << 20;

// The known ancillary chunks other than tRNS, as libpng lists them: 4 letters and a NUL each.
const png_byte unusedChunks[] =
    "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0sCAL\0sPLT\0sRGB\0"
    "tEXt\0tIME\0zTXt";

struct MemoryReader {
    const unsigned char* bytes;
    size_t size;
    size_t offset;
};

void readFromMemory(png_structp png, png_bytep out, size_t length) {
    MemoryReader* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (length > reader->size - reader->offset) png_error(png, "truncated");
    memcpy(out, reader->bytes + reader->offset, length);
    reader->offset += length;
}

// Errors return to the setjmp point without printing; warnings are dropped.
void silentError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void silentWarning(png_structp, png_const_charp) {}

// Everything touched after setjmp lives in the caller's storage or behind volatile, so a
// longjmp out of libpng finds the values it needs to clean up.
bool decodeImage(const unsigned char* bytes, size_t size, PngImage* out) {
    if (!bytes || size < 8 || png_sig_cmp(bytes, 0, 8) != 0) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, silentError, silentWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    MemoryReader reader = {bytes, size, 0};
    unsigned char* volatile pixels = nullptr;
    png_bytep* volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        free(pixels);
        free(rows);
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_user_limits(png, largestSide, largestSide);
    // Only the image, its palette and tRNS are used. Every other chunk is skipped unread, so a
    // forged length on one (libpng allocates some, such as sPLT, whole before reading) costs
    // nothing.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, unusedChunks, int(sizeof unusedChunks / 5));
    png_set_read_fn(png, &reader, readFromMemory);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, nullptr, nullptr, nullptr);
    // Deflate inflates at most about 1032:1, so a header that claims more image data than the
    // file could hold is corrupt: refused before its pixel buffer is allocated.
    const double claimedBytes = (double(png_get_rowbytes(png, info)) + 1.0) * height;
    if (claimedBytes > double(size) * 1032.0 + 8.0 * height + 65536.0) png_error(png, "too large");
    const bool hasAlpha =
        (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_expand(png);  // palette to RGB, grey below 8 bits to 8, tRNS to an alpha channel
    png_set_strip_16(png);
    if ((colourType & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const size_t channels = hasAlpha ? 4 : 3;
    const size_t rowBytes = size_t(width) * channels;
    if (png_get_channels(png, info) != channels || png_get_rowbytes(png, info) != rowBytes)
        png_error(png, "unexpected layout");
    pixels = static_cast<unsigned char*>(malloc(rowBytes * height));
    rows = static_cast<png_bytep*>(malloc(sizeof(png_bytep) * height));
    if (!pixels || !rows) png_error(png, "out of memory");
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels + size_t(y) * rowBytes;
    png_read_image(png, rows);
    png_read_end(png, nullptr);  // a file cut short after its image data is still refused

    free(rows);
    png_destroy_read_struct(&png, &info, nullptr);
    *out = {pixels, width, height, bitDepth, hasAlpha};
    return true;
}

// Reads a picture file whole. Stops early, with false, at a file over largestFile bytes or one
// whose first bytes are not a PNG signature.
bool readWholeFile(const char* filename, std::vector<unsigned char>& bytes) {
    FILE* file = filename ? fopen(filename, "rb") : nullptr;
    if (!file) return false;
    unsigned char chunk[65536];
    size_t got;
    bool ok = true;
    while (ok && (got = fread(chunk, 1, sizeof chunk, file)) > 0) {
        ok = got <= largestFile - bytes.size();
        if (ok) bytes.insert(bytes.end(), chunk, chunk + got);
        if (bytes.size() >= 8 && png_sig_cmp(bytes.data(), 0, 8) != 0) ok = false;
    }
    ok = ok && !ferror(file);
    fclose(file);
    if (!ok) std::vector<unsigned char>().swap(bytes);
    return ok;
}

}  // namespace

bool decodePng(const unsigned char* bytes, size_t size, unsigned char** pixels, unsigned* width,
               unsigned* height, bool* hasAlpha) {
    PngImage image;
    if (!decodeImage(bytes, size, &image)) return false;
    *pixels = image.pixels;
    *width = image.width;
    *height = image.height;
    *hasAlpha = image.hasAlpha;
    return true;
}

bool readPngFile(const char* filename, PngImage* image) {
    std::vector<unsigned char> bytes;
    return readWholeFile(filename, bytes) && decodeImage(bytes.data(), bytes.size(), image);
}
