/* A capture: what the sound server recorded from its sink (parec), or what the driven host rendered, as raw
 * 16-bit stereo at 44.1 kHz, read into floating-point samples. */
#ifndef CAPTURE_H
#define CAPTURE_H

#include <stddef.h>

enum { kCaptureRate = 44100, kCaptureChannels = 2 };

typedef struct Capture {
    float* samples; /* interleaved, full scale at 1.0 */
    size_t frames;
} Capture;

/* Reads `path` as far as it has been written; nonzero on success, with a message in `error` otherwise. */
int ReadCapture(const char* path, Capture* capture, char* error, size_t errorSize);
void FreeCapture(Capture* capture);

#endif
