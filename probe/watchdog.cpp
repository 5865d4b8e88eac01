#include "probe/watchdog.h"
#include <cstdio>
#include "probe/hostile.h"
#include "wizard/handles.h"
#include "wizard/registry.h"
#include "wizard/state.h"
#include "wizard/text.h"

HangAnswer (*askAboutHang)(const char*, const char*, DWORD, bool (*)());

namespace {

// Once the thread is sent out, it has this long to reach the trap region.
const DWORD LEAVE_TIME = 2000;
// How often, and how many times, the thread is looked at for a moment in
// which it runs code that may be left (a plug-in that waits by spinning
// around a system call is mostly inside the system).
const DWORD SAMPLE_INTERVAL = 100;
const int SAMPLES = 10;

const char MUST_CLOSE_TEXT[] =
    "The plug-in \"%s\" has stopped responding at the point \"%s\", and the Configuration Wizard cannot "
    "stop it. The Wizard must close now. When you run it again, it will go on without this plug-in.";

HANDLE wizardThread;
HMODULE ownImage;
DWORD limit;             // milliseconds

// Written by the wizard's thread; the heartbeat writes the step's text and
// start before it counts the step, so a count read twice alike frames a
// consistent pair.
volatile LONG watching;
volatile LONG stepCount;
const char* volatile stepText = "";
volatile DWORD stepStart;
HMODULE volatile probedLibrary;
const char* volatile watchedName = "";

LONG askedStep;

bool StillWaiting() { return watching && stepCount == askedStep; }

DWORD ReadLimit()
{
    DWORD seconds = DEFAULT_PROBE_TIMEOUT;
    RegKey product;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PRODUCT_KEY, 0, KEY_QUERY_VALUE, product.receive()) == ERROR_SUCCESS)
        ReadDwordValue(product, PROBE_TIMEOUT_VALUE, &seconds);
    if (seconds == 0)
        seconds = DEFAULT_PROBE_TIMEOUT;
    if (seconds > 24 * 24 * 3600)   // keeps the milliseconds within a wait's range
        seconds = 24 * 24 * 3600;
    return seconds * 1000;
}

// Where the wizard's thread lands when it is sent out of a plug-in. The
// return address pushed for it is where the thread was, so the stack reads
// as if the plug-in had called it.
extern "C" void __cdecl RaiseSkipped()
{
    RaiseException(EXCEPTION_PLUGIN_SKIPPED, EXCEPTION_NONCONTINUABLE, 0, nullptr);
}

// Only the probed library's code and the program's own may be left half
// done: the system's code may hold locks the wizard needs afterwards. Asked
// while the thread is suspended, so nothing here may take a lock.
bool MayLeave(DWORD address)
{
    MEMORY_BASIC_INFORMATION memory;
    if (!VirtualQuery(reinterpret_cast<void*>(address), &memory, sizeof memory) || memory.Type != MEM_IMAGE)
        return false;
    return memory.AllocationBase == probedLibrary || memory.AllocationBase == ownImage;
}

bool SendAway(CONTEXT& context)
{
    DWORD* top = reinterpret_cast<DWORD*>((context.Esp & ~15u) - 4);
    *top = context.Eip;
    context.Esp = reinterpret_cast<DWORD>(top);
    context.Eip = reinterpret_cast<DWORD>(RaiseSkipped);
    context.EFlags &= ~0x400u;   // the direction flag, clear at every call
    return SetThreadContext(wizardThread, &context) != 0;
}

// True once the wizard's thread has left the step, by itself or sent out.
bool SendOut(LONG step)
{
    for (int sample = 0; sample < SAMPLES; ++sample) {
        if (SuspendThread(wizardThread) == static_cast<DWORD>(-1))
            return false;
        bool sent = false;
        bool returned = !watching || stepCount != step;
        if (!returned) {
            CONTEXT context{};
            context.ContextFlags = CONTEXT_CONTROL;
            sent = GetThreadContext(wizardThread, &context) && MayLeave(context.Eip) && SendAway(context);
        }
        ResumeThread(wizardThread);
        if (returned)
            return true;
        if (sent) {
            for (DWORD waited = 0; waited < LEAVE_TIME; waited += SAMPLE_INTERVAL) {
                Sleep(SAMPLE_INTERVAL);
                if (!watching || stepCount != step)
                    return true;
            }
            return false;
        }
        Sleep(SAMPLE_INTERVAL);
    }
    return false;
}

// The marker of the probe under way stays, so the next start marks the
// plug-in bad; the plug-ins' own clean-up is not run.
[[noreturn]] void MustClose(const char* name, const char* step)
{
    char text[2600];
    snprintf(text, sizeof text, MUST_CLOSE_TEXT, name, step);
    MessageBoxA(nullptr, text, ERROR_CAPTION, MB_OK);
    TerminateProcess(GetCurrentProcess(), 0);
    for (;;)
        Sleep(INFINITE);
}

// Waits for the time given, handling the thread's messages meanwhile: the
// help window opened with F1 from the question belongs to this thread.
void Rest(DWORD timeout)
{
    DWORD start = GetTickCount();
    for (DWORD elapsed = 0; elapsed < timeout; elapsed = GetTickCount() - start) {
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, timeout - elapsed, QS_ALLINPUT) != WAIT_OBJECT_0)
            return;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

// Sleeps until the current step's time is up (no sooner than the step
// could end), so nothing runs while plug-ins behave.
DWORD WINAPI Watch(void* ready)
{
    MSG queue;   // the thread's message queue, made before any plug-in runs
    PeekMessageA(&queue, nullptr, 0, 0, PM_NOREMOVE);
    SetEvent(static_cast<HANDLE>(ready));
    LONG waitStep = -1;     // the step the user chose to wait for, from waitFrom on
    DWORD waitFrom = 0;
    for (;;) {
        DWORD timeout = limit;
        LONG step = stepCount;
        DWORD since = stepStart;
        const char* text = stepText;
        if (watching && step != stepCount) {
            timeout = 0;
        } else if (watching) {
            DWORD elapsed = GetTickCount() - (step == waitStep ? waitFrom : since);
            if (elapsed < limit) {
                timeout = limit - elapsed;
            } else {
                askedStep = step;
                char name[PATH_TEXT_SIZE];
                CopyText(name, watchedName);
                HangAnswer answer = askAboutHang ? askAboutHang(name, text, since, StillWaiting) : HANG_WAIT;
                if (answer == HANG_SKIP && StillWaiting() && !SendOut(step))
                    MustClose(name, text);
                waitStep = step;
                waitFrom = GetTickCount();
                continue;
            }
        }
        Rest(timeout);
    }
}

void StartWatchdog()
{
    limit = ReadLimit();
    ownImage = GetModuleHandleA(nullptr);
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &wizardThread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    // Running before the first plug-in is loaded: a thread's start needs the
    // loader, which a plug-in stuck in its DllMain keeps to itself.
    KernelHandle ready(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    KernelHandle thread(CreateThread(nullptr, 0, Watch, ready, 0, nullptr));
    if (thread)
        WaitForSingleObject(ready, INFINITE);
}

} // namespace

void WatchProbe(const char* pluginName)
{
    if (!wizardThread)
        StartWatchdog();
    watchedName = pluginName;
    probedLibrary = nullptr;
    WatchdogStep("");
    InterlockedExchange(&watching, 1);
}

void StopWatching()
{
    InterlockedExchange(&watching, 0);
}

void WatchdogStep(const char* step)
{
    stepText = step;
    stepStart = GetTickCount();
    InterlockedIncrement(&stepCount);
}

void WatchdogLibrary(HMODULE library)
{
    probedLibrary = library;
}
