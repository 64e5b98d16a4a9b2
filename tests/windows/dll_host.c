/* A Windows host of ZORVA_Sound.dll that uses only the public header, LoadLibraryA and GetProcAddress: every export
 * is found by name, the entry table that ZRVA_GetFunction fills holds them in the header's order, and on 32 bits
 * every export takes exactly its own arguments off the stack. Answers 0 when every check passed. */
#include <stdint.h>
#include <stdio.h>
#include <windows.h>

#include "zorva_sound.h"

/* The 22 exports: the 21 entry-table positions in order, then ZRVA_GetFunction. */
enum { kExports = ZRVA_FUNCTION_COUNT + 1, kGetFunction = ZRVA_FUNCTION_COUNT };

/* Made from the DLL's export list by the build: each name with its 32-bit argument count. */
static const struct {
    const char* name;
    unsigned arguments;
} exportInfo[kExports] = {
#include "export_table.inc"
};

static int failures;

static void Check(int passed, const char* what, int index) {
    if (!passed) printf("%s: %s\n", exportInfo[index].name, what), ++failures;
}

#if defined(__i386__)
/* Pushes `count` zero arguments, calls `function` and answers how many bytes it took off the stack. A C caller's
 * frame pointer would hide a prototype that does not match the export. */
int32_t BytesPopped(const void* function, uint32_t count);
__asm__(".text\n"
        ".globl _BytesPopped\n"
        "_BytesPopped:\n"
        "    pushl %ebp\n"
        "    movl %esp, %ebp\n"
        "    pushl %ebx\n"
        "    movl 12(%ebp), %ecx\n"
        "1:  jecxz 2f\n"
        "    pushl $0\n"
        "    loop 1b\n"
        "2:  movl %esp, %ebx\n"
        "    call *8(%ebp)\n"
        "    movl %esp, %eax\n"
        "    subl %ebx, %eax\n"
        "    movl -4(%ebp), %ebx\n"
        "    leave\n"
        "    ret\n");

/* Zero arguments are a failure value for every export (no window, no slots, no names), and all of them answer
 * through the same epilogue: stdcall removes 4 bytes for each argument, the cdecl ZRVA_GetFunction none. */
static void CheckStackBalance(void* const exports[kExports]) {
    for (int i = 0; i < kExports; ++i)
        Check(BytesPopped(exports[i], exportInfo[i].arguments) ==
                  (i == kGetFunction ? 0 : 4 * (int32_t)exportInfo[i].arguments),
              "takes other than its own arguments off the stack", i);
}
#endif

int main(void) {
    HMODULE library = LoadLibraryA("ZORVA_Sound.dll");
    if (!library) return printf("LoadLibraryA(ZORVA_Sound.dll) failed: error %lu\n", GetLastError()), 1;
    void* exports[kExports];
    for (int i = 0; i < kExports; ++i) {
        /* Through an integer, since ISO C has no cast between object and function pointers. */
        exports[i] = (void*)(uintptr_t)GetProcAddress(library, exportInfo[i].name);
        Check(exports[i] != NULL, "not exported", i);
    }
    if (failures) return 1;
    /* One more entry than the table holds, to see that the 22nd stays as the host left it. */
    void* entries[kExports];
    void* const untouched = (void*)(uintptr_t)0x5A5A5A5Au;
    for (int i = 0; i < kExports; ++i)
        entries[i] = untouched;
    typedef void(ZRVA_CDECL * GetFunctionProc)(void** table);
    GetFunctionProc getFunction = (GetFunctionProc)(uintptr_t)exports[kGetFunction];
    getFunction(entries);
    for (int i = 0; i < ZRVA_FUNCTION_COUNT; ++i)
        Check(entries[i] == exports[i], "not at its place in the entry table", i);
    Check(entries[kGetFunction] == untouched, "entry table written past its end", kGetFunction);
    getFunction(NULL); /* harmless */
#if defined(__i386__)
    CheckStackBalance(exports);
#endif
    printf("dll_host: %d failed checks\n", failures);
    return failures != 0;
}
