#include "dsound/direct_sound_factory.h"

// FIXME: placeholder until the software mixer lands.
HRESULT posix_win32::CreateDirectSound(REFIID, void** object) {
    *object = nullptr;
    return E_NOTIMPL;
}
