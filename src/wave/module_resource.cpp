#include "wave/wave_image.h"

const void* LockModuleResource(HMODULE module, LPCSTR name, LPCSTR type, DWORD* size) {
    if (!name || !type) return nullptr;
    HRSRC resource = FindResourceA(module, name, type);
    if (!resource) return nullptr;
    HGLOBAL loaded = LoadResource(module, resource);
    if (!loaded) return nullptr;
    if (size) *size = SizeofResource(module, resource);
    return LockResource(loaded);
}
