/* ZORVA_Sound: sound output for game hosts, driven by numbered slots.
 * Usable from C and C++ without <windows.h>. Every function answers its failure value (in the comment)
 * when it cannot act; none reports anything else.
 *
 * Units and ranges, as the sound device takes them (values are passed to it unchanged):
 *   slot          0 to slotCount - 1 (ZRVA_Init's); any other number answers the failure value
 *   volume        hundredths of a decibel of attenuation, -10000 (silence) to 0 (as recorded); the master volume
 *                 (ZRVA_SetDirectSoundVol) likewise
 *   pan           hundredths of a decibel taken off the far side, -10000 (left only) to 10000 (right only), 0 centre
 *   frequency     the sound's playback rate in Hz, 100 to 200000; 0 restores the sound's own rate
 *   streamMs      a stream's buffer in milliseconds, 50 or more (0 opens a static sound)
 *   loopOffset    where a looping stream starts again, in bytes from the start of its audio data
 *   milliseconds  positions and lengths of static sounds (ZRVA_GetTimePos, ZRVA_SetTimePos, ZRVA_GetWaveTime)
 *
 * The library lock: every function that works on a slot or the master volume takes it for its whole length, after
 * the slot number has been checked; ZRVA_Init creates it and ZRVA_Release destroys it, so no other call may run
 * beside those two. ZRVA_GetVersion and ZRVA_GetFunction take no lock. A stream's refill runs on the timer's thread
 * and never takes it. */
#ifndef ZORVA_SOUND_H
#define ZORVA_SOUND_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define ZRVA_CALL __stdcall
#define ZRVA_CDECL __cdecl
#else
#define ZRVA_CALL
#define ZRVA_CDECL
#endif

#if defined(_WIN32)
#if defined(ZORVA_SOUND_BUILDING)
#define ZRVA_EXPORT
#else
#define ZRVA_EXPORT __declspec(dllimport)
#endif
#elif defined(ZORVA_SOUND_BUILDING)
#define ZRVA_EXPORT __attribute__((visibility("default")))
#else
#define ZRVA_EXPORT
#endif

#ifdef __cplusplus
#define ZRVA_NOEXCEPT noexcept
extern "C" {
#else
#define ZRVA_NOEXCEPT
#endif

/* The host's window; any pointer-sized handle, null accepted. */
typedef void* ZRVA_WINDOW;

/* Number of entries ZRVA_GetFunction writes. */
#define ZRVA_FUNCTION_COUNT 21

/* Failure value of ZRVA_GetPan. */
#define ZRVA_PAN_FAILURE ((int32_t)0x80000000)

ZRVA_EXPORT uint32_t ZRVA_CALL ZRVA_GetVersion(void) ZRVA_NOEXCEPT; /* always 1 */
ZRVA_EXPORT uint32_t ZRVA_CALL ZRVA_Init(ZRVA_WINDOW window, uint32_t sampleRate, uint32_t bitsPerSample,
                                         uint32_t channels, uint32_t slotCount,
                                         uint32_t bufferLocation) ZRVA_NOEXCEPT; /* 0 */
ZRVA_EXPORT void ZRVA_CALL ZRVA_Release(void) ZRVA_NOEXCEPT;
/* streamMs 0: static sound from a "WAVE" resource or file named `name`, or from `image` when name is null.
 * streamMs >= 50: stream the file `name` through a looping buffer of that many milliseconds. */
ZRVA_EXPORT uint32_t ZRVA_CALL ZRVA_Open(uint32_t slot, const char* name, const void* image,
                                         uint32_t streamMs) ZRVA_NOEXCEPT; /* 0 */
ZRVA_EXPORT void ZRVA_CALL ZRVA_Close(uint32_t slot) ZRVA_NOEXCEPT;
ZRVA_EXPORT void ZRVA_CALL ZRVA_CloseAll(void) ZRVA_NOEXCEPT;
ZRVA_EXPORT uint32_t ZRVA_CALL ZRVA_Play(uint32_t slot, uint32_t loop, uint32_t loopOffset) ZRVA_NOEXCEPT; /* 0 */
ZRVA_EXPORT uint32_t ZRVA_CALL ZRVA_Pause(uint32_t slot) ZRVA_NOEXCEPT;                                    /* 0 */
ZRVA_EXPORT uint32_t ZRVA_CALL ZRVA_Stop(uint32_t slot) ZRVA_NOEXCEPT;                                     /* 0 */
ZRVA_EXPORT int32_t ZRVA_CALL ZRVA_GetPan(uint32_t slot) ZRVA_NOEXCEPT;               /* ZRVA_PAN_FAILURE */
ZRVA_EXPORT uint32_t ZRVA_CALL ZRVA_SetPan(uint32_t slot, int32_t pan) ZRVA_NOEXCEPT; /* 0 */
ZRVA_EXPORT uint32_t ZRVA_CALL ZRVA_GetFrequency(uint32_t slot) ZRVA_NOEXCEPT;        /* 0 */
ZRVA_EXPORT uint32_t ZRVA_CALL ZRVA_SetFrequency(uint32_t slot, uint32_t frequency) ZRVA_NOEXCEPT;  /* 0 */
ZRVA_EXPORT int32_t ZRVA_CALL ZRVA_GetVolume(uint32_t slot) ZRVA_NOEXCEPT;                          /* 1 */
ZRVA_EXPORT uint32_t ZRVA_CALL ZRVA_SetVolume(uint32_t slot, int32_t volume) ZRVA_NOEXCEPT;         /* 0 */
ZRVA_EXPORT int32_t ZRVA_CALL ZRVA_GetDirectSoundVol(void) ZRVA_NOEXCEPT;                           /* 1 */
ZRVA_EXPORT uint32_t ZRVA_CALL ZRVA_SetDirectSoundVol(int32_t volume) ZRVA_NOEXCEPT;                /* 0 */
ZRVA_EXPORT uint32_t ZRVA_CALL ZRVA_GetTimePos(uint32_t slot) ZRVA_NOEXCEPT;                        /* 0 */
ZRVA_EXPORT uint32_t ZRVA_CALL ZRVA_SetTimePos(uint32_t slot, uint32_t milliseconds) ZRVA_NOEXCEPT; /* 0 */
ZRVA_EXPORT uint32_t ZRVA_CALL ZRVA_GetWaveTime(uint32_t slot) ZRVA_NOEXCEPT;                       /* 0 */
ZRVA_EXPORT uint32_t ZRVA_CALL ZRVA_SetGlobalFocus(uint32_t flag) ZRVA_NOEXCEPT;                    /* 0 */

/* The entry table, positions 0..20 in the order above. */
typedef struct ZRVA_FunctionTable {
    uint32_t(ZRVA_CALL* GetVersion)(void);
    uint32_t(ZRVA_CALL* Init)(ZRVA_WINDOW, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t);
    void(ZRVA_CALL* Release)(void);
    uint32_t(ZRVA_CALL* Open)(uint32_t, const char*, const void*, uint32_t);
    void(ZRVA_CALL* Close)(uint32_t);
    void(ZRVA_CALL* CloseAll)(void);
    uint32_t(ZRVA_CALL* Play)(uint32_t, uint32_t, uint32_t);
    uint32_t(ZRVA_CALL* Pause)(uint32_t);
    uint32_t(ZRVA_CALL* Stop)(uint32_t);
    int32_t(ZRVA_CALL* GetPan)(uint32_t);
    uint32_t(ZRVA_CALL* SetPan)(uint32_t, int32_t);
    uint32_t(ZRVA_CALL* GetFrequency)(uint32_t);
    uint32_t(ZRVA_CALL* SetFrequency)(uint32_t, uint32_t);
    int32_t(ZRVA_CALL* GetVolume)(uint32_t);
    uint32_t(ZRVA_CALL* SetVolume)(uint32_t, int32_t);
    int32_t(ZRVA_CALL* GetDirectSoundVol)(void);
    uint32_t(ZRVA_CALL* SetDirectSoundVol)(int32_t);
    uint32_t(ZRVA_CALL* GetTimePos)(uint32_t);
    uint32_t(ZRVA_CALL* SetTimePos)(uint32_t, uint32_t);
    uint32_t(ZRVA_CALL* GetWaveTime)(uint32_t);
    uint32_t(ZRVA_CALL* SetGlobalFocus)(uint32_t);
} ZRVA_FunctionTable;

/* Writes the 21 entry points into `table` (an array of 21 pointers, or a ZRVA_FunctionTable). Caller pops. */
ZRVA_EXPORT void ZRVA_CDECL ZRVA_GetFunction(void** table) ZRVA_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif
