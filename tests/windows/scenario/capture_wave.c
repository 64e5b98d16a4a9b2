#include "capture_wave.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { kFormatPcm = 1, kFormatFloat = 3, kFormatExtensible = 0xFFFE };

static uint32_t ReadLittleEndian(const unsigned char* bytes, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

static unsigned char* ReadWholeFile(const char* path, size_t* size) {
    FILE* file = fopen(path, "rb");
    if (!file) return NULL;
    size_t capacity = 1 << 20, used = 0;
    unsigned char* bytes = malloc(capacity);
    while (bytes) {
        used += fread(bytes + used, 1, capacity - used, file);
        if (used < capacity) break;
        unsigned char* grown = realloc(bytes, capacity * 2);
        if (!grown) {
            free(bytes);
            bytes = NULL;
            break;
        }
        bytes = grown;
        capacity *= 2;
    }
    fclose(file);
    *size = used;
    return bytes;
}

static float DecodeSample(const unsigned char* at, unsigned bits, int isFloat) {
    if (isFloat) {
        float value;
        memcpy(&value, at, sizeof value);
        return value;
    }
    if (bits == 8) return ((float)at[0] - 128.0f) / 128.0f;
    unsigned bytes = bits / 8;
    uint32_t raw = ReadLittleEndian(at, (int)bytes) << (32 - 8 * bytes);
    return (float)((double)(int32_t)raw / 2147483648.0);
}

int ReadCapture(const char* path, Capture* capture, char* error, size_t errorSize) {
    memset(capture, 0, sizeof *capture);
    size_t size = 0;
    unsigned char* bytes = ReadWholeFile(path, &size);
    if (!bytes) {
        snprintf(error, errorSize, "cannot read the capture %s", path);
        return 0;
    }
    int ok = 0;
    const unsigned char* format = NULL;
    const unsigned char* data = NULL;
    size_t dataSize = 0;
    if (size < 12 || memcmp(bytes, "RIFF", 4) != 0 || memcmp(bytes + 8, "WAVE", 4) != 0) {
        snprintf(error, errorSize, "%s is no RIFF WAVE file (%zu bytes)", path, size);
        goto done;
    }
    for (size_t at = 12; at + 8 <= size;) {
        uint32_t chunkSize = ReadLittleEndian(bytes + at + 4, 4);
        size_t left = size - at - 8;
        if (memcmp(bytes + at, "fmt ", 4) == 0 && chunkSize >= 16 && chunkSize <= left) format = bytes + at + 8;
        if (memcmp(bytes + at, "data", 4) == 0) {
            data = bytes + at + 8;
            dataSize = chunkSize == 0 || chunkSize > left ? left : chunkSize;
            break;
        }
        if (chunkSize > left) break;
        at += 8 + chunkSize + (chunkSize & 1);
    }
    if (!format || !data) {
        snprintf(error, errorSize, "%s has no format or data chunk", path);
        goto done;
    }
    unsigned tag = ReadLittleEndian(format, 2);
    if (tag == kFormatExtensible) tag = ReadLittleEndian(format + 24, 2);
    capture->channels = ReadLittleEndian(format + 2, 2);
    capture->rate = ReadLittleEndian(format + 4, 4);
    capture->bitsPerSample = ReadLittleEndian(format + 14, 2);
    capture->isFloat = tag == kFormatFloat;
    unsigned bits = capture->bitsPerSample;
    int usable = capture->channels > 0 && capture->rate > 0 &&
                 ((tag == kFormatPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32)) ||
                  (tag == kFormatFloat && bits == 32));
    if (!usable) {
        snprintf(error, errorSize, "%s: unsupported format tag %u, %u bits", path, tag, bits);
        goto done;
    }
    size_t frameBytes = (size_t)capture->channels * (bits / 8);
    capture->frames = dataSize / frameBytes;
    capture->samples = malloc((capture->frames * capture->channels + 1) * sizeof(float));
    if (!capture->samples) {
        snprintf(error, errorSize, "out of memory for %zu frames", capture->frames);
        goto done;
    }
    for (size_t i = 0; i < capture->frames * capture->channels; ++i)
        capture->samples[i] = DecodeSample(data + i * (bits / 8), bits, capture->isFloat);
    ok = 1;
done:
    free(bytes);
    return ok;
}

void FreeCapture(Capture* capture) {
    free(capture->samples);
    memset(capture, 0, sizeof *capture);
}
