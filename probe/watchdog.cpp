#include "probe/watchdog.h"
#include <cstdio>
#include "base/handles.h"
#include "base/registry.h"
#include "base/state.h"
#include "base/text.h"
#include "probe/hostile.h"
#include "probe/leftovers.h"

HangAnswer (*askAboutHang)(const char*, const char*, DWORD, bool (*)(), HWND (*)(), bool);

namespace {

// Once the thread is redirected to the skip exception, it has this long to
// reach the trap region;
// when the plug-in's windows were closed for it, at least the second (the
// system's file dialogs take seconds to put away what they opened).
const DWORD LEAVE_TIME = 2000;
const DWORD CLOSE_TIME = 10000;
// How often, and how many times, the thread is suspended to find a moment
// at which it can be redirected.
const DWORD SAMPLE_INTERVAL = 100;
const int SAMPLES = 10;

const char MUST_CLOSE_TEXT[] =
    "The plug-in \"%s\" has stopped responding at the point \"%s\", and the Configuration Wizard cannot "
    "stop it. The Wizard must close now. When you run it again, it will go on without this plug-in.";

HANDLE wizardThread;
DWORD wizardThreadId;
const NT_TIB* wizardTib;   // the wizard's thread's own, read while it is suspended
DWORD limit;             // milliseconds

// The probe watched, set and cleared by its frame on the wizard's thread,
// and how many threads follow the pointer now: StopWatching clears it, then
// waits until none does, so the probe outlives every reader. Readers take no
// lock, as the watchdog reads while the wizard's thread is suspended.
WatchedProbe* volatile watched;
volatile LONG readers;

class Reading {
public:
    Reading()
    {
        InterlockedIncrement(&readers);
        probe_ = watched;
    }
    ~Reading() { InterlockedDecrement(&readers); }
    Reading(const Reading&) = delete;
    Reading& operator=(const Reading&) = delete;
    WatchedProbe* probe() const { return probe_; }

private:
    WatchedProbe* probe_;
};

// A probe that starts anew (its frame may lie where the last one did) has
// asked about no step yet.
bool Waiting(const WatchedProbe& probe) { return probe.watching && probe.stepCount == probe.askedStep; }

bool StillWaiting()
{
    Reading reading;
    return reading.probe() && Waiting(*reading.probe());
}

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

} // namespace

// Raises the skip exception (EXCEPTION_PLUGIN_SKIPPED) on the wizard's
// thread: its context or a return address was redirected here.
extern "C" void __cdecl RaiseSkipException()
{
    // On the wizard's thread, inside the probe: its frame is alive.
    if (WatchedProbe* probe = watched)
        InterlockedExchange(&probe->skipRaised, 1);
    RaiseException(EXCEPTION_PLUGIN_SKIPPED, EXCEPTION_NONCONTINUABLE, 0, nullptr);
}

// The target of a redirected return address: reached by a return, so the
// stack holds no return address for this code; it is aligned, then the
// skip exception raised.
extern "C" void SkipReturnTarget();
asm(".text\n"
    "_SkipReturnTarget:\n"
    "\tandl $-16, %esp\n"
    "\tcall _RaiseSkipException\n");

namespace {

// The probed library's image, while the thread may be taken out of it.
bool InProbedLibrary(const WatchedProbe& probe, DWORD address, MEMORY_BASIC_INFORMATION* memory)
{
    HMODULE library = probe.library;
    return library && VirtualQuery(reinterpret_cast<void*>(address), memory, sizeof *memory)
           && memory->Type == MEM_IMAGE && memory->AllocationBase == library;
}

const DWORD EXECUTABLE = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

// The bytes before a return address are the call that pushed it.
bool FollowsCall(const BYTE* at)
{
    return at[-5] == 0xE8                                               // call rel32
           || (at[-6] == 0xFF && ((at[-5] & 0xF8) == 0x90 || at[-5] == 0x15))   // call [reg+disp32], [disp32]
           || (at[-7] == 0xFF && at[-6] == 0x94)                        // call [sib+disp32]
           || (at[-3] == 0xFF && (at[-2] & 0xF8) == 0x50)               // call [reg+disp8]
           || (at[-4] == 0xFF && at[-3] == 0x54)                        // call [sib+disp8]
           || (at[-3] == 0xFF && at[-2] == 0x14)                        // call [sib]
           || (at[-2] == 0xFF && ((at[-1] & 0xF8) == 0xD0 || ((at[-1] & 0xF8) == 0x10 && at[-1] != 0x14 && at[-1] != 0x15)));
}

bool ReturnsIntoLibrary(const WatchedProbe& probe, DWORD value)
{
    MEMORY_BASIC_INFORMATION memory;
    if (!InProbedLibrary(probe, value, &memory) || !(memory.Protect & EXECUTABLE))
        return false;
    auto* at = reinterpret_cast<const BYTE*>(value);
    // The call's bytes lie in the same image, which is mapped whole.
    return value - 7 >= reinterpret_cast<DWORD>(memory.AllocationBase) && FollowsCall(at);
}

// Whether the words from low up to the probe's frames may be read and
// written while the thread is suspended: they lie on the stack the probe
// began on, within the thread's stack as its TEB gives it, committed and
// with no guard page (touched from this thread, a guard page would fault
// here instead of growing that stack). A plug-in that runs on a stack of
// its own, a fibre's or a block it switched to, fails this: its limits in
// the TEB, if it changed them, no longer hold the probe's frames, and if it
// did not, they no longer hold its stack pointer.
bool WithinProbeStack(const WatchedProbe& probe, DWORD low)
{
    DWORD top = reinterpret_cast<DWORD>(probe.stackTop);
    if (low < reinterpret_cast<DWORD>(wizardTib->StackLimit) || top > reinterpret_cast<DWORD>(wizardTib->StackBase)
        || low >= top)
        return false;
    MEMORY_BASIC_INFORMATION memory;
    return VirtualQuery(reinterpret_cast<void*>(low), &memory, sizeof memory) && memory.State == MEM_COMMIT
           && (memory.Protect & (PAGE_READWRITE | PAGE_EXECUTE_READWRITE)) && !(memory.Protect & PAGE_GUARD)
           && reinterpret_cast<DWORD>(memory.BaseAddress) + memory.RegionSize >= top;
}

// The return address of the nearest frame that returns into the plug-in,
// found by the chain of frame pointers, which system code keeps: a word on
// the stack that merely looks like one may be left over from an earlier
// call. 0 when the chain leads to none.
DWORD NearestReturnIntoLibrary(const WatchedProbe& probe, DWORD esp, DWORD ebp)
{
    auto* top = static_cast<const DWORD*>(probe.stackTop);
    for (int depth = 0; depth < 256; ++depth) {
        auto* frame = reinterpret_cast<const DWORD*>(ebp);
        if ((ebp & 3) || ebp < esp || frame + 2 > top)
            return 0;
        if (ReturnsIntoLibrary(probe, frame[1]))
            return frame[1];
        if (frame[0] <= ebp)
            return 0;
        ebp = frame[0];
    }
    return 0;
}

// Redirects that return to SkipReturnTarget. The system's stubs may keep copies of
// a return address for frames of their own, and which copy the return
// takes is theirs to decide: every copy between the stack pointer and the
// probe's own frames is pointed there. Asked while the thread is
// suspended, on the probe's stack (WithinProbeStack): nothing here may take
// a lock.
bool RedirectReturnIntoLibrary(const WatchedProbe& probe, const CONTEXT& context)
{
    DWORD nearest = NearestReturnIntoLibrary(probe, context.Esp, context.Ebp);
    if (!nearest)
        return false;
    auto* top = static_cast<const DWORD*>(probe.stackTop);
    for (auto* word = reinterpret_cast<DWORD*>(context.Esp & ~3u); word < top; ++word)
        if (*word == nearest)
            *word = reinterpret_cast<DWORD>(SkipReturnTarget);
    return true;
}

// Sets the suspended thread, stopped in the plug-in's code, to call
// RaiseSkipException. The return address pushed for it is where the thread
// was, so the stack reads as if the plug-in had made the call.
bool RedirectToSkip(const WatchedProbe& probe, CONTEXT& context)
{
    DWORD* top = reinterpret_cast<DWORD*>((context.Esp & ~15u) - 4);
    // Below the committed stack the thread is growing it: looked at again.
    if (!WithinProbeStack(probe, reinterpret_cast<DWORD>(top)))
        return false;
    *top = context.Eip;
    context.Esp = reinterpret_cast<DWORD>(top);
    context.Eip = reinterpret_cast<DWORD>(RaiseSkipException);
    context.EFlags &= ~0x400u;   // the direction flag, clear at every call
    return SetThreadContext(wizardThread, &context) != 0;
}

// ---- A plug-in that waits for an answer in a window of its own ---------

// How long the wizard's thread has to show that it handles messages; the
// question asks again and again while it is up.
const DWORD ANSWER_TIME = 200;
const int MAX_OWN_WINDOWS = 64;

// The plug-in's windows that can be answered: made on the wizard's thread
// during the probe, top-level, shown and enabled.
int AnswerableWindows(const WatchedProbe& probe, HWND* found)
{
    HWND made[MAX_OWN_WINDOWS];
    int count = WindowsMadeInProbe(*probe.notes, made, MAX_OWN_WINDOWS), answerable = 0;
    for (int i = 0; i < count; ++i)
        if (IsWindow(made[i]) && GetWindowThreadProcessId(made[i], nullptr) == wizardThreadId
            && !(GetWindowLongA(made[i], GWL_STYLE) & WS_CHILD) && IsWindowVisible(made[i])
            && IsWindowEnabled(made[i]))
            found[answerable++] = made[i];
    return answerable;
}

// The plug-in's window the wizard's thread waits in, or null: the newest
// that can be answered, as a modal one is. A thread in a modal loop (a
// dialog box, a message box, the system's file dialogs) handles the
// messages sent to its windows; one that is stuck does not.
HWND WindowWaitedIn(const WatchedProbe& probe)
{
    HWND found[MAX_OWN_WINDOWS];
    int count = AnswerableWindows(probe, found);
    DWORD_PTR result;
    if (count && SendMessageTimeoutA(found[count - 1], WM_NULL, 0, 0, SMTO_BLOCK, ANSWER_TIME, &result))
        return found[count - 1];
    return nullptr;
}

// The same, for the question, which asks while it is up.
HWND WindowWaitedIn()
{
    Reading reading;
    return reading.probe() ? WindowWaitedIn(*reading.probe()) : nullptr;
}

// As Cancel or the close box would: then the call that shows them returns.
void CloseOwnWindows(const WatchedProbe& probe)
{
    HWND found[MAX_OWN_WINDOWS];
    int count = AnswerableWindows(probe, found);
    for (int i = count - 1; i >= 0; --i) {
        char className[8] = "";
        GetClassNameA(found[i], className, sizeof className);
        if (lstrcmpA(className, "#32770") == 0)   // dialogs, message boxes, the file dialogs
            PostMessageA(found[i], WM_COMMAND, IDCANCEL, 0);
        else
            PostMessageA(found[i], WM_CLOSE, 0, 0);
    }
}

// What a look at the suspended thread did.
enum Redirect { STEP_LEFT, REDIRECTED_NOW, REDIRECTED_ON_RETURN, NOT_YET };

Redirect SuspendAndRedirect(const WatchedProbe& probe, LONG step)
{
    if (SuspendThread(wizardThread) == static_cast<DWORD>(-1))
        return NOT_YET;
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL;   // Eip, Esp and Ebp
    Redirect look = NOT_YET;
    MEMORY_BASIC_INFORMATION memory;
    // Suspending is asynchronous: only once the context is read is the
    // thread certainly stopped, and only then do the counters hold still.
    if (GetThreadContext(wizardThread, &context)) {
        if (!probe.watching || probe.stepCount != step)
            look = STEP_LEFT;
        else if (!WithinProbeStack(probe, context.Esp))
            look = NOT_YET;   // only while it grows its stack; on a stack of its own, for good
        else if (InProbedLibrary(probe, context.Eip, &memory))
            look = RedirectToSkip(probe, context) ? REDIRECTED_NOW : NOT_YET;
        else if (RedirectReturnIntoLibrary(probe, context))
            look = REDIRECTED_ON_RETURN;
    }
    ResumeThread(wizardThread);
    return look;
}

bool LeavesStep(const WatchedProbe& probe, LONG step, DWORD within)
{
    for (DWORD waited = 0; waited < within; waited += SAMPLE_INTERVAL) {
        Sleep(SAMPLE_INTERVAL);
        if (!probe.watching || probe.stepCount != step)
            return true;
    }
    return false;
}

// True once the wizard's thread has left the step, by itself or through the
// skip exception. With waitedIn, the plug-in waits in windows of its own:
// once the thread is redirected, they are closed, so that the call returns
// (and none is left up when the thread was redirected in its own code).
bool SkipHungStep(const WatchedProbe& probe, LONG step, bool waitedIn)
{
    // A thread that answers in a modal loop may be busy with the window for
    // a while (a file dialog filling its list) in code whose frames cannot
    // be followed: it is looked at for longer.
    int samples = waitedIn ? static_cast<int>(CLOSE_TIME / SAMPLE_INTERVAL) : SAMPLES;
    for (int sample = 0; sample < samples; ++sample) {
        switch (SuspendAndRedirect(probe, step)) {
        case STEP_LEFT:
            return true;
        case REDIRECTED_NOW:
            if (waitedIn)
                CloseOwnWindows(probe);
            return LeavesStep(probe, step, LEAVE_TIME);
        case REDIRECTED_ON_RETURN: {
            DWORD within = limit > LEAVE_TIME ? limit : LEAVE_TIME;
            if (waitedIn) {
                CloseOwnWindows(probe);
                within = within > CLOSE_TIME ? within : CLOSE_TIME;
            }
            // The system call it waits in ends in its own time: a sleep
            // or a wait that times out returns, one that never does not.
            return LeavesStep(probe, step, within);
        }
        case NOT_YET:
            Sleep(SAMPLE_INTERVAL);
            break;
        }
    }
    return false;
}

// Whether the wizard's thread holds the loader's lock (it is inside a
// plug-in's DllMain): a message box then cannot be made, as making it needs
// the loader.
bool LoaderLockHeld()
{
    BYTE* peb;
    asm("movl %%fs:0x30, %0" : "=r"(peb));
    auto* lock = *reinterpret_cast<RTL_CRITICAL_SECTION**>(peb + 0xA0);
    return lock && reinterpret_cast<DWORD>(lock->OwningThread) == wizardThreadId;
}

// The marker of the probe under way stays, so the next start marks the
// plug-in bad; the plug-ins' own clean-up is not run.
[[noreturn]] void MustClose(const char* name, const char* step)
{
    if (LoaderLockHeld()) {
        if (askAboutHang)
            askAboutHang(name, step, 0, nullptr, nullptr, true);
    } else {
        char text[2600];
        snprintf(text, sizeof text, MUST_CLOSE_TEXT, name, step);
        MessageBoxA(nullptr, text, ERROR_CAPTION, MB_OK);
    }
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

// A step that has run out its time, as read from its probe.
struct Overdue {
    LONG step;
    DWORD since;
    const char* text;
    char name[PATH_TEXT_SIZE];
};

// How long the watchdog may sleep before it looks at the probe again; 0
// when the step under way is overdue, which is then read into overdue.
DWORD TimeToWait(Overdue* overdue)
{
    Reading reading;
    WatchedProbe* probe = reading.probe();
    if (!probe)
        return limit;
    LONG step = probe->stepCount;
    DWORD since = probe->stepStart;
    const char* text = probe->stepText;
    if (!probe->watching)
        return limit;
    if (step != probe->stepCount)
        return 0;
    DWORD elapsed = GetTickCount() - (step == probe->waitStep ? probe->waitFrom : since);
    if (elapsed < limit)
        return limit - elapsed;
    probe->askedStep = step;
    overdue->step = step;
    overdue->since = since;
    overdue->text = text;
    CopyText(overdue->name, probe->pluginName);
    return 0;
}

// On "Skip": false when the step asked about is still under way and the
// thread cannot be taken out of it.
bool Skipped(const Overdue& overdue)
{
    Reading reading;
    WatchedProbe* probe = reading.probe();
    // The plug-in may have shown its window after the question.
    return !probe || !Waiting(*probe) || SkipHungStep(*probe, overdue.step, WindowWaitedIn(*probe) != nullptr);
}

// The step asked about gets the time again, from now.
void WaitAgain(const Overdue& overdue)
{
    Reading reading;
    WatchedProbe* probe = reading.probe();
    if (probe && probe->askedStep == overdue.step) {
        probe->waitStep = overdue.step;
        probe->waitFrom = GetTickCount();
    }
}

// Sleeps until the current step's time is up (no sooner than the step
// could end), so nothing runs while plug-ins behave. The probe is not read
// while the user is asked: its frame may end meanwhile.
DWORD WINAPI Watch(void* ready)
{
    MSG queue;   // the thread's message queue, made before any plug-in runs
    PeekMessageA(&queue, nullptr, 0, 0, PM_NOREMOVE);
    if (askAboutHang)
        askAboutHang(nullptr, nullptr, 0, nullptr, nullptr, false);
    SetEvent(static_cast<HANDLE>(ready));
    for (;;) {
        Overdue overdue;
        overdue.step = -1;
        DWORD timeout = TimeToWait(&overdue);
        if (overdue.step < 0) {
            Rest(timeout);
            continue;
        }
        HangAnswer answer = askAboutHang ? askAboutHang(overdue.name, overdue.text, overdue.since, StillWaiting,
                                                        WindowWaitedIn, false)
                                         : HANG_WAIT;
        if (answer == HANG_SKIP && !Skipped(overdue))
            MustClose(overdue.name, overdue.text);
        // A window that was seen is not shown again: the next question gets
        // a new one, made while it still can be.
        if (askAboutHang && !LoaderLockHeld())
            askAboutHang(nullptr, nullptr, 0, nullptr, nullptr, false);
        WaitAgain(overdue);
    }
}

void StartWatchdog()
{
    limit = ReadLimit();
    wizardThreadId = GetCurrentThreadId();
    asm("movl %%fs:0x18, %0" : "=r"(wizardTib));   // the TEB's own address
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &wizardThread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    // Running, its window made, before the first plug-in is loaded: a
    // thread's start and a window's making need the loader, which a
    // plug-in stuck in its DllMain keeps to itself.
    KernelHandle ready(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    KernelHandle thread(CreateThread(nullptr, 0, Watch, ready, 0, nullptr));
    if (thread)
        WaitForSingleObject(ready, INFINITE);
}

} // namespace

void WatchProbe(WatchedProbe& probe, const char* pluginName, const void* stackTop, const LeftoverNotes& notes)
{
    if (!wizardThread)
        StartWatchdog();
    probe.notes = &notes;
    probe.pluginName = pluginName;
    probe.library = nullptr;
    probe.stackTop = stackTop;
    InterlockedExchange(&probe.skipRaised, 0);
    WatchdogStep(probe, "");
    InterlockedExchange(&probe.watching, 1);
    InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&watched), &probe);
}

void StopWatching(WatchedProbe& probe)
{
    InterlockedExchange(&probe.watching, 0);
    InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&watched), nullptr);
    while (readers)
        Sleep(1);
}

void WatchdogStep(WatchedProbe& probe, const char* step)
{
    probe.stepText = step;
    probe.stepStart = GetTickCount();
    InterlockedIncrement(&probe.stepCount);
}

void WatchdogLibrary(WatchedProbe& probe, HMODULE library)
{
    probe.library = library;
}

void RaiseSkipAgain(const WatchedProbe& probe)
{
    if (probe.skipRaised)
        RaiseSkipException();
}
