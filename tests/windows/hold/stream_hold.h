/* The release stress, Windows only: it needs the platform's named events to see a refill after the release. */
#ifndef STREAM_HOLD_H
#define STREAM_HOLD_H

#include "zorva_sound.h"

/* `rounds` of start, two playing 50 ms streams, a random 0-25 ms and a release; nonzero when no refill ran after
 * any release and no call hung. */
int RunReleaseStress(const ZRVA_FunctionTable* api, const char* good, int rounds);

#endif
