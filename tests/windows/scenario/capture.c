#include "capture.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int ReadCapture(const char* path, Capture* capture, char* error, size_t errorSize) {
    memset(capture, 0, sizeof *capture);
    FILE* file = fopen(path, "rb");
    if (!file) {
        snprintf(error, errorSize, "cannot read the capture %s", path);
        return 0;
    }
    size_t capacity = 0, read = 0;
    unsigned char* bytes = NULL;
    for (size_t got = 1; got > 0; read += got) {
        if (read == capacity) {
            unsigned char* grown = realloc(bytes, capacity = capacity ? capacity * 2 : 1 << 20);
            if (!grown) break;
            bytes = grown;
        }
        got = fread(bytes + read, 1, capacity - read, file);
    }
    fclose(file);
    capture->frames = read / (2 * kCaptureChannels);
    capture->samples = malloc((capture->frames * kCaptureChannels + 1) * sizeof(float));
    for (size_t i = 0; capture->samples && i < capture->frames * kCaptureChannels; ++i)
        capture->samples[i] = (float)(int16_t)(bytes[2 * i] | bytes[2 * i + 1] << 8) / 32768.0f;
    free(bytes);
    if (!capture->samples) snprintf(error, errorSize, "out of memory for the capture %s", path);
    return capture->samples != NULL;
}

void FreeCapture(Capture* capture) {
    free(capture->samples);
    memset(capture, 0, sizeof *capture);
}
