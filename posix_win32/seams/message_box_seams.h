// Test seam over MessageBoxA: see each box the library shows, texts as the library passed them (code page 932).
#pragma once

#include <functional>

#include <windows.h>

namespace posix_win32 {

using MessageBoxHook = std::function<int(HWND window, const char* text, const char* caption, UINT type)>;
// Replaces the default (both texts converted to UTF-8 on stderr, answering IDOK); an empty hook restores it.
void SetMessageBoxHook(MessageBoxHook hook);

} // namespace posix_win32
