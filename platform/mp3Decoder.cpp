// mp3Decoder.cpp
// decodeMp3: libmpg123 over a memory block, decoded whole, always stereo 16-bit at kSampleRate. The
// music stream and the tools read the samples it returns.
#include <mpg123.h>
#include <sys/types.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace {

// A read position over the memory block.
struct MemoryReader {
    const unsigned char* data;
    long length;
    long position;
};

ssize_t readMemory(void* handle, void* buffer, size_t bytes) {
    MemoryReader* r = static_cast<MemoryReader*>(handle);
    long left = r->length - r->position;
    long n = std::min<long>(left, long(bytes));
    if (n <= 0) return 0;
    memcpy(buffer, r->data + r->position, size_t(n));
    r->position += n;
    return n;
}

off_t seekMemory(void* handle, off_t offset, int whence) {
    MemoryReader* r = static_cast<MemoryReader*>(handle);
    long base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? r->position : r->length;
    long target = base + long(offset);
    if (target < 0 || target > r->length) return -1;
    r->position = target;
    return target;
}

// Opens a decoder over the block that always yields stereo 16-bit at kSampleRate (a full scan gives
// the exact length). Null when the data holds no decodable MPEG audio.
mpg123_handle* openDecoder(MemoryReader* reader) {
    static bool initialised = false;
    if (!initialised) {
        mpg123_init();
        initialised = true;
    }
    int error = 0;
    mpg123_handle* h = mpg123_new(nullptr, &error);
    if (!h) return nullptr;
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    mpg123_param(h, MPG123_RESYNC_LIMIT, 16384, 0.0);
    mpg123_format_none(h);
    mpg123_format(h, kSampleRate, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_replace_reader_handle(h, readMemory, seekMemory, nullptr) != MPG123_OK ||
        mpg123_open_handle(h, reader) != MPG123_OK) {
        mpg123_delete(h);
        return nullptr;
    }
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(h, &rate, &channels, &encoding) != MPG123_OK || rate != kSampleRate ||
        channels != MPG123_STEREO) {
        mpg123_close(h);
        mpg123_delete(h);
        return nullptr;
    }
    mpg123_format_none(h);
    mpg123_format(h, kSampleRate, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    mpg123_scan(h);
    return h;
}

void closeDecoder(mpg123_handle* h) {
    if (!h) return;
    mpg123_close(h);
    mpg123_delete(h);
}

}  // namespace

bool decodeMp3(const unsigned char* data, long length, int16_t** pcm, long* frames, int* rate,
               int* channels) {
    *pcm = nullptr;
    *frames = 0;
    MemoryReader reader = {data, length, 0};
    mpg123_handle* h = data && length > 0 ? openDecoder(&reader) : nullptr;
    if (!h) return false;
    off_t total = mpg123_length(h);
    long capacity = total > 0 ? long(total) : kSampleRate * 60;
    int16_t* out = static_cast<int16_t*>(malloc(size_t(capacity) * 4));
    long done = 0;
    while (out) {
        if (done == capacity) {
            capacity *= 2;
            int16_t* grown = static_cast<int16_t*>(realloc(out, size_t(capacity) * 4));
            if (!grown) break;
            out = grown;
        }
        size_t got = 0;
        int rc = mpg123_read(h, reinterpret_cast<unsigned char*>(out + done * 2), size_t(capacity - done) * 4,
                             &got);
        done += long(got / 4);
        if (rc == MPG123_NEW_FORMAT) continue;
        if (rc != MPG123_OK || got == 0) break;
    }
    closeDecoder(h);
    if (!out) return false;
    *pcm = out;
    *frames = done;
    *rate = kSampleRate;
    *channels = 2;
    return true;
}
