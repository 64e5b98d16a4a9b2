/* A captured WAVE file as floating-point samples. Reads what ALSA's file plugin and the portable WAV output write:
 * integer PCM of 8 to 32 bits, 32-bit float, plain or WAVE_FORMAT_EXTENSIBLE. */
#ifndef CAPTURE_WAVE_H
#define CAPTURE_WAVE_H

#include <stddef.h>

typedef struct Capture {
    float* samples; /* interleaved, full scale at 1.0 */
    size_t frames;
    unsigned channels;
    unsigned rate;
    unsigned bitsPerSample;
    int isFloat;
} Capture;

/* Reads `path`; nonzero on success, with a message in `error` otherwise. The data chunk is taken up to the end of
 * the file when its size field is missing or too large, as for a capture cut short. */
int ReadCapture(const char* path, Capture* capture, char* error, size_t errorSize);
void FreeCapture(Capture* capture);

#endif
