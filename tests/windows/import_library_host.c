/* A host linked against the import library instead of GetProcAddress: it builds only when the header's prototypes
 * (stdcall and decorated on 32-bit) match the symbols of libZORVA_Sound.dll.a, and runs only when the DLL's
 * undecorated exports satisfy them. */
#include <stdio.h>

#include "zorva_sound.h"

int main(void) {
    void* table[ZRVA_FUNCTION_COUNT + 1] = {0};
    ZRVA_GetFunction(table);
    int failed = 0;
    if (ZRVA_GetVersion() != 1) failed |= 1;
    if (table[0] == NULL || table[ZRVA_FUNCTION_COUNT] != NULL) failed |= 2;
    if (ZRVA_Init(NULL, 44100, 16, 2, 4, 2) != 1) failed |= 4;
    if (ZRVA_GetPan(4) != ZRVA_PAN_FAILURE) failed |= 8;
    ZRVA_Release();
    printf("import library host: %s (%d)\n", failed ? "failed" : "passed", failed);
    return failed;
}
