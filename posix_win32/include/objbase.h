// COM library entry points of ole32.
#pragma once
#include <windows.h>

#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER 0x4
#define CLSCTX_ALL 0x17

extern "C" {
HRESULT WINAPI CoInitialize(LPVOID reserved);
void WINAPI CoUninitialize(void);
HRESULT WINAPI CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* object);
void WINAPI CoTaskMemFree(LPVOID memory);
HINSTANCE WINAPI CoLoadLibrary(LPSTR libName, BOOL autoFree);
void WINAPI CoFreeLibrary(HINSTANCE library);
}
