#include "stream/stream_slot.h"

// FIXME: streaming needs the decode stream; until it exists every stream open is refused, so no slot is
// ever a Stream slot and the other operations are never reached.
BOOL StreamOpen(SoundSlot*, LPCSTR, DWORD, DWORD) { return FALSE; }
void StreamClose(SoundSlot*, DWORD) {}
BOOL StreamPlay(SoundSlot*, BOOL, DWORD, DWORD) { return FALSE; }
BOOL StreamPause(SoundSlot*, DWORD) { return FALSE; }
BOOL StreamStop(SoundSlot*, DWORD) { return FALSE; }
