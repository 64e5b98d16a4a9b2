// Creation of the DirectSound device object, for the COM class factory.
#pragma once

#include <dsound.h>

namespace posix_win32 {

// A new, uninitialised IDirectSound object when `iid` names IDirectSound or IUnknown.
HRESULT CreateDirectSound(REFIID iid, void** object);

} // namespace posix_win32
