/* 32-bit only: calls each export through a thunk that pushes the arguments itself and measures how many bytes the
 * callee took off the stack. A stdcall export must remove 4 bytes per argument; ZRVA_GetFunction (cdecl) none.
 * A prototype mismatch in the library would otherwise go unseen by a C caller, whose frame pointer hides it. */
#include <string.h>

#include "host_checks.h"
#include "loaded_library.h"

void RunStackBalanceScenario(void* const exports[EXPORT_COUNT]);

/* Pushes count arguments (last first), calls function and writes the bytes it popped; answers its EAX. */
uint32_t CallMeasuringStack(const void* function, const uint32_t* arguments, uint32_t count, int32_t* bytesPopped);

__asm__(".text\n"
        ".globl _CallMeasuringStack\n"
        "_CallMeasuringStack:\n"
        "    pushl %ebp\n"
        "    movl %esp, %ebp\n"
        "    pushl %ebx\n"
        "    pushl %esi\n"
        "    pushl %edi\n"
        "    movl 12(%ebp), %esi\n"
        "    movl 16(%ebp), %ecx\n"
        "    movl %esp, %edi\n" /* the stack as it was before the arguments */
        "1:  testl %ecx, %ecx\n"
        "    jz 2f\n"
        "    decl %ecx\n"
        "    pushl (%esi,%ecx,4)\n"
        "    jmp 1b\n"
        "2:  movl %esp, %ebx\n" /* the stack at the call, arguments pushed */
        "    call *8(%ebp)\n"
        "    movl %esp, %ecx\n"
        "    subl %ebx, %ecx\n"
        "    movl 20(%ebp), %edx\n"
        "    movl %ecx, (%edx)\n"
        "    movl %edi, %esp\n"
        "    popl %edi\n"
        "    popl %esi\n"
        "    popl %ebx\n"
        "    popl %ebp\n"
        "    ret\n");

typedef struct ExportCall {
    int index;
    uint32_t arguments[6];
} ExportCall;

static uint32_t CallBalanced(void* const exports[EXPORT_COUNT], const ExportCall* call) {
    const ExportInfo* info = &exportInfo[call->index];
    int32_t popped = -1;
    uint32_t result = CallMeasuringStack(exports[call->index], call->arguments, info->argumentCount, &popped);
    int32_t expected = call->index == GET_FUNCTION_INDEX ? 0 : (int32_t)(4 * info->argumentCount);
    if (popped != expected) printf("%s removed %d argument bytes, expected %d\n", info->name, popped, expected);
    CHECK_EQ(popped, expected);
    return result;
}

void RunStackBalanceScenario(void* const exports[EXPORT_COUNT]) {
    void* table[ZRVA_FUNCTION_COUNT];
    memset(table, 0, sizeof table);
    const uint32_t badSlot = 16;
    const uint32_t name = (uint32_t)(uintptr_t) "no such sound.wav";

    /* Every export once, in an order that is a valid host session; failure values on the out-of-range slot. */
    const struct {
        ExportCall call;
        int checkResult;
        uint32_t expected;
    } session[] = {
        {{0, {0}}, 1, 1},
        {{GET_FUNCTION_INDEX, {(uint32_t)(uintptr_t)table}}, 0, 0},
        {{1, {0, 44100, 16, 2, 16, 2}}, 1, 1},
        {{3, {badSlot, name, 0, 0}}, 1, 0},
        {{4, {badSlot}}, 0, 0},
        {{6, {badSlot, 1, 0}}, 1, 0},
        {{7, {badSlot}}, 1, 0},
        {{8, {badSlot}}, 1, 0},
        {{9, {badSlot}}, 1, (uint32_t)ZRVA_PAN_FAILURE},
        {{10, {badSlot, (uint32_t)-100}}, 1, 0},
        {{11, {badSlot}}, 1, 0},
        {{12, {badSlot, 22050}}, 1, 0},
        {{13, {badSlot}}, 1, 1},
        {{14, {badSlot, (uint32_t)-100}}, 1, 0},
        {{16, {(uint32_t)-200}}, 1, 1},
        {{15, {0}}, 1, (uint32_t)-200},
        {{17, {badSlot}}, 1, 0},
        {{18, {badSlot, 10}}, 1, 0},
        {{19, {badSlot}}, 1, 0},
        {{20, {1}}, 1, 1},
        {{5, {0}}, 0, 0},
        {{2, {0}}, 0, 0},
    };
    int called[EXPORT_COUNT] = {0};
    for (size_t i = 0; i < sizeof session / sizeof session[0]; ++i) {
        uint32_t result = CallBalanced(exports, &session[i].call);
        called[session[i].call.index] = 1;
        if (session[i].checkResult) CHECK_EQ(result, session[i].expected);
    }
    for (int i = 0; i < EXPORT_COUNT; ++i)
        CHECK(called[i]);
    CHECK(table[0] == exports[0]);
}
