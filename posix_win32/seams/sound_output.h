// Where a DirectSound device's mix goes, and the on-demand render that every audio test drives.
#pragma once

#include <stddef.h>

namespace posix_win32 {

// Devices created from now on render only on demand: nothing runs by itself, RenderFrames pulls the mix.
void UseRenderOutput();
// Devices created from now on choose their output from the environment (ZORVA_OUTPUT), SDL2 by default.
void UseEnvironmentOutput();
// Mixes `frames` frames of the newest on-demand device into `out`, in its primary buffer's format.
// Answers the frames written: 0 when no such device exists.
size_t RenderFrames(void* out, size_t frames);

} // namespace posix_win32
