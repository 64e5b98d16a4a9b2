// Joystick entries of winmm: this platform has no joystick.
#include <mmsystem.h>

extern "C" UINT WINAPI joyGetNumDevs(void) { return 0; }
extern "C" MMRESULT WINAPI joyGetPos(UINT, LPJOYINFO) { return JOYERR_UNPLUGGED; }
extern "C" MMRESULT WINAPI joyGetPosEx(UINT, LPJOYINFOEX) { return JOYERR_UNPLUGGED; }
