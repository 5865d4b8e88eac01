// A plug-in that faults, hangs or ends the process in its entry point
// (FAULT_IN_ENTRY) or in one dispatcher call (FAULT_OPCODE, and FAULT_VALUE
// for one value of it), in the way FAULT_KIND says; one that overflows its
// stack in effOpen; one that traps a fault of its own there.
#include <stdlib.h>
#include "plugin.h"

#ifndef FAULT_VALUE
#define FAULT_VALUE -1      // any value
#endif

namespace fixtures {

int* volatile badAddress = reinterpret_cast<int*>(16);
bool faulted;

namespace {

#ifdef SLEEP_ON_OWN_STACK
// A coroutine's stack: a block of its own just below the thread's stack,
// which the plug-in switches to and sleeps on for ever.
const DWORD OWN_STACK_SIZE = 0x10000;

__attribute__((noinline, noreturn)) void SleepForEver()
{
    for (;;)
        Sleep(200);
}

void SleepOnOwnStack()
{
    // The lowest address of the thread's stack reservation (the TEB's
    // DeallocationStack).
    char* stackBottom;
    asm("movl %%fs:0xE0C, %0" : "=r"(stackBottom));
    char* block = nullptr;
    for (char* at = stackBottom - OWN_STACK_SIZE; !block && at > reinterpret_cast<char*>(OWN_STACK_SIZE);
         at -= OWN_STACK_SIZE)
        block = static_cast<char*>(VirtualAlloc(at, OWN_STACK_SIZE, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!block)
        block = static_cast<char*>(VirtualAlloc(nullptr, OWN_STACK_SIZE, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    asm volatile("movl %0, %%esp\n\tcall *%1" : : "r"(block + OWN_STACK_SIZE - 16), "r"(SleepForEver) : "memory");
    __builtin_unreachable();
}
#endif

#if defined(FAULT_OPCODE) || defined(FAULT_IN_ENTRY)
volatile int zero;
volatile int dividend = 7;
volatile int quotient;

void Fault()
{
    faulted = true;
#if FAULT_KIND == 2
    Log(FIXTURE_LOG_FAULT, "divide-by-zero");
    quotient = dividend / zero;
#elif FAULT_KIND == 4
    Log(FIXTURE_LOG_FAULT, "spin");
    for (;;)
        ++quotient;
#elif FAULT_KIND == 5
    Log(FIXTURE_LOG_FAULT, "wait");
    WaitForSingleObject(CreateEventA(nullptr, TRUE, FALSE, nullptr), INFINITE);
#elif FAULT_KIND == 6
    Log(FIXTURE_LOG_FAULT, "exit");
    exit(3);
#elif FAULT_KIND == 7
    Log(FIXTURE_LOG_FAULT, "abort");
    abort();
#elif FAULT_KIND == 8
    Log(FIXTURE_LOG_FAULT, "ExitProcess");
    ExitProcess(4);
#elif FAULT_KIND == 9
    Log(FIXTURE_LOG_FAULT, "slow");
    Sleep(SLOW_MILLISECONDS);
    return;
#elif FAULT_KIND == 11
    Log(FIXTURE_LOG_FAULT, "sleep-loop");
    for (;;)
        Sleep(200);
#elif defined(SLEEP_ON_OWN_STACK)
    Log(FIXTURE_LOG_FAULT, "sleep-on-own-stack");
    SleepOnOwnStack();
#elif FAULT_KIND == 3
    Log(FIXTURE_LOG_FAULT, "raise-E06D7363");
    RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 0, nullptr);
#elif FAULT_KIND == 10
    Log("fault raise-%08X", static_cast<unsigned>(FAULT_CODE));
    RaiseException(FAULT_CODE, EXCEPTION_NONCONTINUABLE, 0, nullptr);
#else
    Log(FIXTURE_LOG_FAULT, "access-violation");
    *badAddress = 1;
#endif
}
#endif

#ifdef OVERFLOW_IN_OPEN
// Not a tail call: every level keeps its block until the one below returns.
__attribute__((noinline)) int Recurse(volatile char* above)
{
    volatile char block[2048];
    block[0] = above ? above[0] + 1 : 0;
    return Recurse(block) + block[1];
}
#endif

#ifdef HANDLES_OWN_FAULT
// A structured-exception frame of the plug-in's own, as plug-ins built with
// other compilers install them: the fault must end here, not in the host.
struct OwnFrame {
    OwnFrame* next;
    void* handler;
    void* resume[5];
};

extern "C" EXCEPTION_DISPOSITION __cdecl OwnHandler(EXCEPTION_RECORD* record, void* establisher, CONTEXT*, void*)
{
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    OwnFrame* frame = static_cast<OwnFrame*>(establisher);
    RtlUnwind(frame, nullptr, record, nullptr);
    asm volatile("movl %0, %%fs:0" : : "r"(frame->next) : "memory");
    __builtin_longjmp(frame->resume, 1);
}

__attribute__((noinline)) void WriteNowhere() { *badAddress = 1; }

// The fault comes from a call: the compiler knows a second return of the
// set-up below can only come out of one.
__attribute__((noinline)) void FaultAndHandle()
{
    OwnFrame frame;
    asm volatile("movl %%fs:0, %0" : "=r"(frame.next));
    frame.handler = reinterpret_cast<void*>(OwnHandler);
    if (__builtin_setjmp(frame.resume)) {
        Log(FIXTURE_LOG_HANDLED);
        return;
    }
    asm volatile("movl %0, %%fs:0" : : "r"(&frame) : "memory");
    WriteNowhere();
    asm volatile("movl %0, %%fs:0" : : "r"(frame.next) : "memory");
}
#endif

} // namespace

void FaultInEntry()
{
#ifdef FAULT_IN_ENTRY
    Fault();
#endif
}

void FaultInCall([[maybe_unused]] int32_t opcode, [[maybe_unused]] intptr_t value)
{
#ifdef FAULT_OPCODE
    if (opcode == FAULT_OPCODE && (FAULT_VALUE < 0 || value == FAULT_VALUE))
        Fault();
#endif
}

void CrashInOpen()
{
#ifdef HANDLES_OWN_FAULT
    FaultAndHandle();
#endif
#ifdef OVERFLOW_IN_OPEN
    Log(FIXTURE_LOG_FAULT, "stack-overflow");
    Recurse(nullptr);
#endif
}

} // namespace fixtures
