// A test plug-in, built into many DLLs: the compile definitions each variant
// gets in CMakeLists.txt choose what it reports and how it misbehaves.
// fixtures.h lists the variants and describes the call log.
#include <windows.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "probe/vst2.h"
#include "fixtures.h"

#ifndef ENTRY_NAME
#define ENTRY_NAME "main"
#endif
#ifndef IDENTIFY_ANSWER
#define IDENTIFY_ANSWER kIdentifyAnswer
#endif
#ifndef EFFECT_MAGIC
#define EFFECT_MAGIC kEffectMagic
#endif
#ifndef FAULT_VALUE
#define FAULT_VALUE -1      // any value
#endif

#ifdef SYNTH
#define EDITOR
#endif

using namespace fixtures;

#ifdef NEEDS_MISSING_HELPER
extern "C" __declspec(dllimport) int MissingHelperValue();
#endif

namespace {

bool logging;
// An address nothing is mapped at; volatile so the compiler keeps the write.
int* volatile badAddress = reinterpret_cast<int*>(16);

HMODULE Self()
{
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&Self), &self);
    return self;
}

void Log(const char* format, ...)
{
    if (!logging)
        return;
    char path[MAX_PATH + 8];
    DWORD length = GetModuleFileNameA(Self(), path, MAX_PATH);
    memcpy(path + length, FIXTURE_LOG_SUFFIX, sizeof FIXTURE_LOG_SUFFIX);

    char line[512];
    va_list arguments;
    va_start(arguments, format);
    int n = vsnprintf(line, sizeof line - 1, format, arguments);
    va_end(arguments);
    if (n < 0 || n > static_cast<int>(sizeof line) - 2)
        n = sizeof line - 2;
    line[n++] = '\n';

    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(file, line, n, &written, nullptr);
    CloseHandle(file);
}

intptr_t Ask(VstHostCallback host, AEffect* effect, int32_t opcode)
{
    intptr_t answer = host(effect, opcode, 0, 0, nullptr, 0.0f);
    Log(FIXTURE_LOG_HOST, opcode, effect ? "effect" : "null", static_cast<int>(answer));
    return answer;
}

VstHostCallback host;

#ifdef NEEDS_HELPER
extern "C" __declspec(dllimport) int HelperAnswer();
#endif

[[maybe_unused]] bool faulted;

#ifdef HANG_ON_DETACH
// Its clean-up never ends once it has faulted, as some plug-ins' do.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_DETACH && faulted)
        Sleep(INFINITE);
    return TRUE;
}
#endif

#if defined(SLEEP_IN_ATTACH) || defined(FAULT_IN_ATTACH)
// Its start-up code waits in a loop, or faults, while the loader holds its lock.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
#ifdef SLEEP_IN_ATTACH
        for (;;)
            Sleep(200);
#else
        *badAddress = 1;
#endif
    }
    return TRUE;
}
#endif

#if defined(LEAVE_THREAD)
volatile LONG stopBusy;
HANDLE busyThread;

// Runs until the process ends (or the plug-in tidies up), in its own code.
DWORD WINAPI KeepBusy(void*)
{
    while (!stopBusy)
        Sleep(20);
    return 0;
}
#endif

#if defined(LEAVE_WINDOW)
HWND leftWindow;

LRESULT CALLBACK LeftWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}
#endif

#if defined(LEAVE_TIMER)
UINT_PTR leftTimer;
void CALLBACK LeftTimerProc(HWND, UINT, UINT_PTR, DWORD) {}
#endif

#if defined(LEAVE_HOOK)
HHOOK leftHook;

LRESULT CALLBACK LeftHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
#endif

#if defined(LEAVE_HANDLER)
void* leftHandler;

LONG CALLBACK LeftHandler(EXCEPTION_POINTERS*)
{
    return EXCEPTION_CONTINUE_SEARCH;
}
#endif

#if defined(MANY_THREADS)
const int MANY = 300;
HANDLE goAhead;

DWORD WINAPI WaitToEnd(void*)
{
    WaitForSingleObject(goAhead, INFINITE);
    return 0;
}

// More threads at once than a host would look for, all ended again.
void StartAndEndMany()
{
    goAhead = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE many[MANY];
    for (HANDLE& thread : many)
        thread = CreateThread(nullptr, 0, WaitToEnd, nullptr, 0, nullptr);
    Sleep(200);
    SetEvent(goAhead);
    for (HANDLE thread : many) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
}
#endif

#if defined(LEAVE_POOL_WORK)
// A work item that never ends, on a thread of the system's pool.
DWORD WINAPI BusyWorkItem(void*)
{
    for (;;)
        Sleep(20);
}
#endif

#if defined(LEAVE_WAIT)
// Called by the system's pool when its event is set, which it never is.
void CALLBACK WaitTimedOut(void*, BOOLEAN) {}
#endif

#if defined(LEAVE_FIBRE_LOCAL)
// Called at every thread's end and at the process's, for a slot with a value.
void WINAPI SlotCleanUp(void*) {}
DWORD leftSlot;
#endif

#if defined(LEAVE_WIDE_DIALOG)
INT_PTR CALLBACK WideDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// A hidden dialog without controls, made with the W call.
struct {
    DLGTEMPLATE header;
    WORD menu, windowClass, title;
} const __attribute__((aligned(4))) WIDE_DIALOG = {{WS_POPUP, 0, 0, 0, 0, 50, 20}, 0, 0, 0};
#endif

#if defined(EXIT_LATER)
// A thread that ends the process, or crashes, a while after the plug-in was
// closed.
DWORD WINAPI ExitLater(void*)
{
    Sleep(EXIT_LATER_MILLISECONDS);
#ifdef CRASH_LATER
    // Raised, not faulted: the code is the same on every processor and
    // emulator, and the exception's address is the system's, not the
    // plug-in's.
    RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 0, nullptr);
    return 0;
#else
    ExitProcess(5);
#endif
}
#endif

#if defined(HANDLER_IN_ATTACH)
LONG CALLBACK AttachHandler(EXCEPTION_POINTERS*)
{
    return EXCEPTION_CONTINUE_SEARCH;
}

// Added while the loader holds its lock, and never removed.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        AddVectoredExceptionHandler(1, AttachHandler);
    return TRUE;
}
#endif

// What GUI frameworks, licence checks and crash reporters start in effOpen
// and never stop.
void LeaveSomethingBehind(HMODULE self)
{
    (void)self;
#ifdef MANY_THREADS
    StartAndEndMany();
#endif
#ifdef LEAVE_THREAD
    busyThread = CreateThread(nullptr, 0, KeepBusy, nullptr, 0, nullptr);
#endif
#ifdef LEAVE_WINDOW
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = LeftWindowProc;
    windowClass.hInstance = self;
    windowClass.lpszClassName = "FixtureLeftWindow";
    RegisterClassA(&windowClass);
    leftWindow = CreateWindowExA(0, "FixtureLeftWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, self, nullptr);
    PostMessageA(leftWindow, WM_USER, 0, 0);
#endif
#ifdef LEAVE_TIMER
    leftTimer = SetTimer(nullptr, 0, 10, LeftTimerProc);
#endif
#ifdef LEAVE_HOOK
    leftHook = SetWindowsHookExA(WH_GETMESSAGE, LeftHookProc, nullptr, GetCurrentThreadId());
#endif
#ifdef LEAVE_HANDLER
    leftHandler = AddVectoredExceptionHandler(1, LeftHandler);
#endif
#ifdef LEAVE_POOL_WORK
    QueueUserWorkItem(BusyWorkItem, nullptr, WT_EXECUTELONGFUNCTION);
#endif
#ifdef LEAVE_WAIT
    HANDLE wait;
    RegisterWaitForSingleObject(&wait, CreateEventA(nullptr, TRUE, FALSE, nullptr), WaitTimedOut, nullptr, INFINITE, 0);
#endif
#ifdef LEAVE_FIBRE_LOCAL
    leftSlot = FlsAlloc(SlotCleanUp);
    FlsSetValue(leftSlot, &leftSlot);
#endif
#ifdef LEAVE_WIDE_DIALOG
    HWND dialog = CreateDialogIndirectParamW(self, &WIDE_DIALOG.header, nullptr, WideDialogProc, 0);
    PostMessageW(dialog, WM_USER, 0, 0);
#endif
#ifdef EXIT_LATER
    CloseHandle(CreateThread(nullptr, 0, ExitLater, nullptr, 0, nullptr));
#endif
}

// A plug-in that tidies up in effClose takes it all back.
[[maybe_unused]] void TakeItBack(HMODULE self)
{
    (void)self;
#ifdef TIDY_IN_CLOSE
#ifdef LEAVE_THREAD
    stopBusy = 1;
    WaitForSingleObject(busyThread, INFINITE);
    CloseHandle(busyThread);
#endif
#ifdef LEAVE_WINDOW
    DestroyWindow(leftWindow);
    UnregisterClassA("FixtureLeftWindow", self);
#endif
#ifdef LEAVE_TIMER
    KillTimer(nullptr, leftTimer);
#endif
#ifdef LEAVE_HOOK
    UnhookWindowsHookEx(leftHook);
#endif
#ifdef LEAVE_HANDLER
    RemoveVectoredExceptionHandler(leftHandler);
#endif
#endif
}

#ifdef OVERFLOW_IN_OPEN
// Not a tail call: every level keeps its block until the one below returns.
__attribute__((noinline)) int Recurse(volatile char* above)
{
    volatile char block[2048];
    block[0] = above ? above[0] + 1 : 0;
    return Recurse(block) + block[1];
}
#endif

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

#ifdef LARGE_IMAGE
// Uninitialised data of this many megabytes, as sample-based instruments
// carry: the loaded image holds all of it in the address space.
volatile char largeData[LARGE_IMAGE << 20];
#endif

#ifdef EDITOR
void LogEditorParent(HWND parent)
{
    if (!logging)
        return;
    char parentClass[64] = "", hostClass[64] = "";
    GetClassNameA(parent, parentClass, sizeof parentClass);
    RECT client{};
    GetClientRect(parent, &client);
    LOGBRUSH brush{};
    GetObjectA(reinterpret_cast<HBRUSH>(GetClassLongPtrA(parent, GCLP_HBRBACKGROUND)), sizeof brush, &brush);
    WNDCLASSA windowClass{};
    GetClassInfoA(reinterpret_cast<HINSTANCE>(GetClassLongPtrA(parent, GCLP_HMODULE)), parentClass, &windowClass);
    HWND hostWindow = GetParent(parent);
    GetClassNameA(hostWindow, hostClass, sizeof hostClass);
    Log(FIXTURE_LOG_PARENT, parentClass, static_cast<int>(client.right), static_cast<int>(client.bottom),
        static_cast<unsigned long>(GetWindowLongA(parent, GWL_STYLE)),
        static_cast<unsigned long>(GetWindowLongA(parent, GWL_EXSTYLE)), IsWindowVisible(parent) ? 1 : 0,
        static_cast<unsigned long>(GetClassLongA(parent, GCL_STYLE)), static_cast<unsigned long>(brush.lbColor),
        windowClass.lpfnWndProc == DefWindowProcA ? 1 : 0, hostClass, IsWindowVisible(hostWindow) ? 1 : 0);
}

intptr_t GetRect(void* ptr)
{
#if defined(RECT_NULL)
    *static_cast<ERect**>(ptr) = nullptr;
    return 0;
#elif defined(RECT_UNTOUCHED)
    (void)ptr;
    return 0;
#elif defined(RECT_NEGATIVE)
    static ERect rect = {0, 0, NEGATIVE_RECT_BOTTOM, NEGATIVE_RECT_RIGHT};
    *static_cast<ERect**>(ptr) = &rect;
    return 1;
#else
    static ERect rect = {SYNTH_RECT_TOP, SYNTH_RECT_LEFT, SYNTH_RECT_BOTTOM, SYNTH_RECT_RIGHT};
    *static_cast<ERect**>(ptr) = &rect;
    return 1;
#endif
}
#endif

// The record sits at the end of a readable page, followed by one that is
// not: reading past its 88 bytes faults.
const DWORD PAGE = 4096;

AEffect* NewEffect()
{
    char* block = static_cast<char*>(VirtualAlloc(nullptr, 2 * PAGE, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old;
    VirtualProtect(block + PAGE, PAGE, PAGE_NOACCESS, &old);
    return reinterpret_cast<AEffect*>(block + PAGE - sizeof(AEffect));
}

void DeleteEffect(AEffect* effect)
{
    VirtualFree(reinterpret_cast<char*>(effect) + sizeof(AEffect) - PAGE, 0, MEM_RELEASE);
}

[[maybe_unused]] intptr_t __cdecl Dispatch(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    uint32_t bits;
    memcpy(&bits, &opt, sizeof bits);
    Log(FIXTURE_LOG_DISPATCH, opcode, index, static_cast<int>(value), ptr ? 1 : 0, static_cast<unsigned>(bits));
#ifdef FAULT_OPCODE
    if (opcode == FAULT_OPCODE && (FAULT_VALUE < 0 || value == FAULT_VALUE))
        Fault();
#endif
    switch (opcode) {
    case effIdentify:
        return IDENTIFY_ANSWER;
    case effOpen:
        Ask(host, effect, audioMasterCurrentId);
        Ask(host, effect, UNKNOWN_HOST_OPCODE);
#ifdef MIDI_IN_OPEN
        Ask(host, effect, audioMasterWantMidi);
#endif
#ifdef HANDLES_OWN_FAULT
        FaultAndHandle();
#endif
#ifdef UNMASK_FPU_IN_OPEN
        {
            // Every x87 exception but denormal, underflow and precision
            // unmasked, as some Pascal compilers' start-up code leaves it.
            unsigned short word = 0x1332;
            asm volatile("fldcw %0" : : "m"(word));
        }
#endif
#ifdef CHECK_FPU_IN_OPEN
        {
            // The x87 tag word as the host hands the unit over.
            unsigned short environment[14];
            asm volatile("fnstenv %0" : "=m"(environment));
            Log(FIXTURE_LOG_FPU, environment[4]);
            asm volatile("fldenv %0" : : "m"(environment));
        }
#endif
#ifdef FILL_FPU_IN_OPEN
        // Eight values left on the x87 register stack: it is full.
        asm volatile("fld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1");
#endif
        LeaveSomethingBehind(Self());
#ifdef LARGE_IMAGE
        largeData[0] = 1;
#endif
#ifdef NAN_IN_OPEN
        {
            volatile double none = 0.0;
            volatile double quotient = none / none;
            (void)quotient;
        }
#endif
#ifdef KILL_IN_OPEN
        {
            // Looked up by name, not imported. The kernel's own call passes
            // by every stand-in; kernel32's is handed one.
            typedef LONG(WINAPI * Terminate)(HANDLE, UINT);
#ifdef KILL_THROUGH_KERNEL32
            const char* library = "kernel32.dll", *name = "TerminateProcess";
#else
            const char* library = "ntdll.dll", *name = "NtTerminateProcess";
#endif
            auto terminate = reinterpret_cast<Terminate>(
                reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(library), name)));
            terminate(GetCurrentProcess(), 3);
        }
#endif
#ifdef OVERFLOW_IN_OPEN
        Log(FIXTURE_LOG_FAULT, "stack-overflow");
        Recurse(nullptr);
#endif
        return 0;
#ifdef EDITOR
    case effEditOpen:
        LogEditorParent(static_cast<HWND>(ptr));
#ifdef MIDI_IN_EDITOR
        Ask(host, effect, audioMasterWantMidi);
#endif
        return 1;
    case effEditGetRect:
        return GetRect(ptr);
#endif
    case effClose:
        TakeItBack(Self());
        DeleteEffect(effect);
        return 0;
    }
    return 0;
}

} // namespace

// Exported as "main" or "Main" (or under another name) by the variant's .def file.
extern "C" AEffect* __cdecl FixtureEntry(VstHostCallback hostCallback)
{
    logging = GetEnvironmentVariableA(FIXTURE_LOG_VARIABLE, nullptr, 0) != 0;
    Log(FIXTURE_LOG_ENTRY, ENTRY_NAME);
    host = hostCallback;
#ifdef NEEDS_MISSING_HELPER
    if (!MissingHelperValue())
        return nullptr;
#endif
    Ask(host, nullptr, audioMasterVersion);
#ifdef MIDI_IN_ENTRY
    Ask(host, nullptr, audioMasterWantMidi);
#endif
#ifdef MODAL_IN_ENTRY
    // Waits for an answer in a window of its own, as licence checks and
    // loaders that ask for a file do; a plug-in left without one gives up.
    if (MessageBoxA(nullptr, "Enter your licence key.", "Fixture Licence", MB_OKCANCEL) != IDOK)
        return nullptr;
#endif
#ifdef FILE_DIALOG_IN_ENTRY
    {
        char file[MAX_PATH] = "";
        OPENFILENAMEA open{};
        open.lStructSize = sizeof open;
        open.lpstrFile = file;
        open.nMaxFile = sizeof file;
        open.lpstrTitle = "Fixture Loader";
        open.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST;
        if (!GetOpenFileNameA(&open))
            return nullptr;
    }
#endif
#ifdef FAULT_IN_ENTRY
    Fault();
#endif
#ifdef NEEDS_HELPER
    if (HelperAnswer() != 42)
        return nullptr;
#endif
#ifdef ENTRY_RETURNS_NULL
    return nullptr;
#endif
    AEffect* effect = NewEffect();
    memset(effect, 0, sizeof *effect);
    effect->magic = EFFECT_MAGIC;
#ifndef NO_DISPATCHER
    effect->dispatcher = Dispatch;
#endif
#ifdef SYNTH
    effect->uniqueID = SYNTH_UNIQUE_ID;
    effect->numInputs = SYNTH_INPUTS;
    effect->numOutputs = SYNTH_OUTPUTS;
    effect->numParams = SYNTH_PARAMS;
    effect->numPrograms = SYNTH_PROGRAMS;
#elif defined(NO_PARAMS)
    effect->uniqueID = PLAIN_UNIQUE_ID;
    effect->numInputs = PLAIN_INPUTS;
    effect->numOutputs = PLAIN_OUTPUTS;
#else
    effect->uniqueID = PLAIN_UNIQUE_ID;
    effect->numInputs = PLAIN_INPUTS;
    effect->numOutputs = PLAIN_OUTPUTS;
    effect->numParams = PLAIN_PARAMS;
    effect->numPrograms = PLAIN_PROGRAMS;
#endif
    effect->flags = 0;
#ifdef EDITOR
    effect->flags |= effFlagsHasEditor;
#endif
#ifdef SYNTH
    effect->flags |= effFlagsIsSynth;
#endif
#ifdef CHUNKS
    effect->flags |= effFlagsProgramChunks;
#endif
    return effect;
}
