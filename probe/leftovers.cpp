#include "probe/leftovers.h"
#include <mmsystem.h>
#include <tlhelp32.h>
#include <cstring>
#include <cwchar>
#include "base/handles.h"
#include "probe/spinlock.h"
#include "probe/threadinfo.h"
#include "probe/watchdog.h"

namespace {

// ---- What is noted while a probe runs -----------------------------------
// The stand-ins run on any thread, the loader's notices inside the loader:
// the LeftoverNotes of the probe under way, and the live-thread list, are
// reached under this lock.
volatile LONG tableLock;
LeftoverNotes* notesUnderWay;   // null between probes

using Registration = LeftoverNotes::Registration;

void Note(const Registration& registration)
{
    SpinLock lock(tableLock);
    LeftoverNotes* notes = notesUnderWay;
    if (!notes)
        return;
    Registration* registrations = notes->registrations;
    int& registrationCount = notes->registrationCount;
    for (int i = 0; i < registrationCount; ++i) {
        Registration& known = registrations[i];
        if (known.kind == registration.kind && known.owner == registration.owner && known.key == registration.key) {
            known = registration;
            return;
        }
    }
    if (registrationCount < LeftoverNotes::MAX_REGISTRATIONS)
        registrations[registrationCount++] = registration;
    else
        InterlockedOr(&notes->overflowed, registration.kind);
}

void Forget(unsigned short kind, void* owner, UINT_PTR key)
{
    SpinLock lock(tableLock);
    LeftoverNotes* notes = notesUnderWay;
    if (!notes)
        return;
    Registration* registrations = notes->registrations;
    int& registrationCount = notes->registrationCount;
    for (int i = 0; i < registrationCount; ++i)
        if (registrations[i].kind == kind && registrations[i].owner == owner && registrations[i].key == key) {
            registrations[i] = registrations[--registrationCount];
            return;
        }
}

void ForgetOwned(unsigned short kind, void* owner)
{
    SpinLock lock(tableLock);
    LeftoverNotes* notes = notesUnderWay;
    if (!notes)
        return;
    Registration* registrations = notes->registrations;
    int& registrationCount = notes->registrationCount;
    for (int i = registrationCount; i-- > 0;)
        if (registrations[i].kind == kind && registrations[i].owner == owner)
            registrations[i] = registrations[--registrationCount];
}

void NoteThread(DWORD id, void* start)
{
    SpinLock lock(tableLock);
    LeftoverNotes* notes = notesUnderWay;
    if (!notes)
        return;
    for (int i = 0; i < notes->threadCount; ++i)
        if (notes->threads[i].id == id) {
            notes->threads[i].start = start;
            return;
        }
    if (notes->threadCount < LeftoverNotes::MAX_THREADS)
        notes->threads[notes->threadCount++] = {id, start};
}

// Every thread of the process but the first, from its start to its end:
// the loader calls the callbacks of the program's thread-local storage for
// each. Cheaper to walk than a snapshot of the system's threads, which is
// taken only once more threads ran at once than this holds.
DWORD liveThreads[MAX_LIVE_THREADS];
int liveThreadCount;
bool liveThreadsOverflowed;

void ForgetLiveThread(DWORD id)
{
    for (int i = 0; i < liveThreadCount; ++i)
        if (liveThreads[i] == id) {
            liveThreads[i] = liveThreads[--liveThreadCount];
            return;
        }
}

void NTAPI ThreadNotice(PVOID, DWORD reason, PVOID)
{
    DWORD id = GetCurrentThreadId();
    SpinLock lock(tableLock);
    if (reason == DLL_THREAD_ATTACH) {
        if (liveThreadCount < MAX_LIVE_THREADS)
            liveThreads[liveThreadCount++] = id;
        else
            liveThreadsOverflowed = true;
        return;
    }
    if (reason != DLL_THREAD_DETACH)
        return;
    ForgetLiveThread(id);
    // Its id may be given to a new thread.
    LeftoverNotes* notes = notesUnderWay;
    for (int i = 0; notes && i < notes->threadCount; ++i)
        if (notes->threads[i].id == id) {
            notes->threads[i] = notes->threads[--notes->threadCount];
            return;
        }
}

// On the wizard's thread, which also sets and clears the pointer.
LRESULT CALLBACK NoteWindow(int code, WPARAM wParam, LPARAM lParam)
{
    LeftoverNotes* notes = notesUnderWay;
    if (code == HCBT_CREATEWND && notes) {
        if (notes->windowCount < LeftoverNotes::MAX_WINDOWS)
            notes->windows[notes->windowCount++] = reinterpret_cast<HWND>(wParam);
        else
            InterlockedOr(&notes->overflowed, LEFT_WINDOW);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// ---- The system's notices of libraries loaded and unloaded --------------

struct CountedText {
    USHORT length, maximumLength;   // in bytes
    PWSTR text;
};
struct LibraryNotice {
    ULONG flags;
    const CountedText* fullName;
    const CountedText* baseName;
    void* base;
    ULONG size;
};
const ULONG LIBRARY_LOADED = 1;
const ULONG LIBRARY_UNLOADED = 2;

bool IsPluginFile(const LeftoverNotes& notes, const CountedText* name)
{
    size_t length = name->length / sizeof(wchar_t);
    return length == wcslen(notes.pluginFile) && _wcsnicmp(name->text, notes.pluginFile, length) == 0;
}

// Under the table lock: a thread of the plug-in's may load a library
// meanwhile.
void NoteLibrary(LeftoverNotes& notes, const void* base, ULONG size)
{
    auto at = reinterpret_cast<ULONG_PTR>(base);
    for (int i = 0; i < notes.libraryCount; ++i)
        if (notes.libraries[i].base == at)
            return;
    if (notes.libraryCount < LeftoverNotes::MAX_LIBRARIES)
        notes.libraries[notes.libraryCount++] = {at, size};
    else
        notes.librariesOverflowed = true;
}

// Gone from the process (a load that failed takes back what it brought in).
void ForgetLibrary(const void* base)
{
    SpinLock lock(tableLock);
    LeftoverNotes* notes = notesUnderWay;
    for (int i = 0; notes && i < notes->libraryCount; ++i)
        if (notes->libraries[i].base == reinterpret_cast<ULONG_PTR>(base)) {
            notes->libraries[i] = notes->libraries[--notes->libraryCount];
            return;
        }
}

// Runs on the loading thread, inside the loader, after the library is
// mapped and before its DllMain. Wine has bound its imports by then, Windows
// binds them only afterwards: its slots are redirected now where they are
// bound, and again at its entry point, before any of its code runs. The
// watchdog learns the plug-in's place early enough to take the thread out
// of a DllMain that never returns. A library going away gets its slots back
// first.
void CALLBACK LibraryNoticed(ULONG reason, const LibraryNotice* notice, void*)
{
    if (reason == LIBRARY_UNLOADED) {
        RestoreImports(static_cast<HMODULE>(notice->base));
        ForgetLibrary(notice->base);
        ForgetKeptCode(notice->base);
        return;
    }
    if (reason != LIBRARY_LOADED)
        return;
    {
        SpinLock lock(tableLock);
        LeftoverNotes* notes = notesUnderWay;
        if (!notes || !notes->notingLibraries)
            return;
        NoteLibrary(*notes, notice->base, notice->size);
        if (notice->baseName && IsPluginFile(*notes, notice->baseName))
            WatchdogLibrary(*notes->watched, static_cast<HMODULE>(notice->base));
    }
    if (!RedirectImports(static_cast<HMODULE>(notice->base)))
        RedirectImportsAtEntry(static_cast<HMODULE>(notice->base));
}

void ListenToTheLoader()
{
    static bool asked;
    if (asked)
        return;
    asked = true;
    using Register = LONG(NTAPI*)(ULONG, void*, void*, void**);
    auto listen = reinterpret_cast<Register>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "LdrRegisterDllNotification")));
    void* cookie;
    if (listen)
        listen(0, reinterpret_cast<void*>(LibraryNoticed), nullptr, &cookie);
}

bool InPluginCode(const LeftoverNotes& notes, const void* address)
{
    auto at = reinterpret_cast<ULONG_PTR>(address);
    if (!at)
        return false;
    for (int i = 0; i < notes.libraryCount; ++i)
        if (at - notes.libraries[i].base < notes.libraries[i].size)
            return true;
    if (!notes.librariesOverflowed)
        return false;
    // Not all of them were noted: any library but the program counts.
    MEMORY_BASIC_INFORMATION memory;
    return VirtualQuery(address, &memory, sizeof memory) && memory.Type == MEM_IMAGE
           && memory.AllocationBase != GetModuleHandleA(nullptr);
}

bool InProgram(const void* address)
{
    MEMORY_BASIC_INFORMATION memory;
    return address && VirtualQuery(address, &memory, sizeof memory)
           && memory.AllocationBase == GetModuleHandleA(nullptr);
}

// ---- Threads ------------------------------------------------------------

// The most of a stack that is looked through.
const ULONG_PTR STACK_LOOK = 1024 * 1024;

// Whether any word from the stack pointer to the stack's base points into
// the plug-in: a return address or a pointer to its data in a live frame.
// A stack that cannot be read counts as reaching it.
bool StackReaches(const LeftoverNotes& notes, HANDLE thread, DWORD esp)
{
    NT_TIB* tib = ThreadInformationBlock(thread);
    if (!tib)
        return true;
    auto base = reinterpret_cast<ULONG_PTR>(tib->StackBase);
    MEMORY_BASIC_INFORMATION memory;
    if (!VirtualQuery(reinterpret_cast<void*>(esp), &memory, sizeof memory) || memory.State != MEM_COMMIT)
        return true;
    ULONG_PTR end = reinterpret_cast<ULONG_PTR>(memory.BaseAddress) + memory.RegionSize;
    if (base < end)
        end = base;
    if (end - esp > STACK_LOOK)
        end = esp + STACK_LOOK;
    for (auto* word = reinterpret_cast<void* const*>(esp & ~3u); reinterpret_cast<ULONG_PTR>(word + 1) <= end; ++word)
        if (InPluginCode(notes, *word))
            return true;
    return false;
}

void* NotedStart(const LeftoverNotes& notes, DWORD id)
{
    SpinLock lock(tableLock);
    for (int i = 0; i < notes.threadCount; ++i)
        if (notes.threads[i].id == id)
            return notes.threads[i].start;
    return nullptr;
}

// A thread that has ended, or that cannot be opened (it has ended and its
// id is gone, perhaps without a word to the loader), does not reach the
// plug-in; one that cannot be stopped and
// looked at does. Threads started in the program's own code are the
// wizard's (the watchdog) and are left alone.
bool ThreadReaches(const LeftoverNotes& notes, DWORD id)
{
    KernelHandle thread(OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION, FALSE, id));
    DWORD exitCode = 0;
    if (!thread.isOpen() || (GetExitCodeThread(thread, &exitCode) && exitCode != STILL_ACTIVE)) {
        SpinLock lock(tableLock);
        ForgetLiveThread(id);
        return false;
    }
    void* start = ThreadStartAddress(thread);
    if (InProgram(start))
        return false;
    if (InPluginCode(notes, start) || InPluginCode(notes, NotedStart(notes, id)))
        return true;
    if (SuspendThread(thread) == static_cast<DWORD>(-1))
        return true;
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL;
    // Suspension is asynchronous: only reading the context makes it certain.
    bool reaches = !GetThreadContext(thread, &context) || InPluginCode(notes, reinterpret_cast<void*>(context.Eip))
                   || StackReaches(notes, thread, context.Esp);
    ResumeThread(thread);
    return reaches;
}

// Every thread of the process: a thread pool's may have been there before
// the probe and run the plug-in's callback now.
bool SnapshotThreadReaches(const LeftoverNotes& notes)
{
    KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot.isOpen())
        return true;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId() && entry.th32ThreadID != GetCurrentThreadId()
            && ThreadReaches(notes, entry.th32ThreadID))
            return true;
    return false;
}

// The threads the loader has told of, and those the plug-in started that
// may not have begun to run yet.
bool AnyThreadReaches(LeftoverNotes& notes)
{
    DWORD* ids = notes.threadIds;
    int count;
    {
        SpinLock lock(tableLock);
        if (liveThreadsOverflowed) {
            count = -1;
        } else {
            memcpy(ids, liveThreads, (count = liveThreadCount) * sizeof *ids);
            for (int i = 0; i < notes.threadCount; ++i)
                ids[count++] = notes.threads[i].id;
        }
    }
    if (count < 0)
        return SnapshotThreadReaches(notes);
    for (int i = 0; i < count; ++i)
        if (ids[i] != GetCurrentThreadId() && ThreadReaches(notes, ids[i]))
            return true;
    return false;
}

// ---- Windows ------------------------------------------------------------

bool WindowReaches(const LeftoverNotes& notes, HWND window)
{
    DWORD process = 0;
    if (!IsWindow(window) || !GetWindowThreadProcessId(window, &process) || process != GetCurrentProcessId())
        return false;
    // Asked in the window's own character set, the answer is the procedure
    // itself, not a handle standing for it.
    bool wide = IsWindowUnicode(window);
    auto procedure = wide ? GetWindowLongPtrW(window, GWLP_WNDPROC) : GetWindowLongPtrA(window, GWLP_WNDPROC);
    auto classProcedure = wide ? GetClassLongPtrW(window, GCLP_WNDPROC) : GetClassLongPtrA(window, GCLP_WNDPROC);
    if (InPluginCode(notes, reinterpret_cast<void*>(procedure))
        || InPluginCode(notes, reinterpret_cast<void*>(classProcedure)))
        return true;
    char className[8];
    if (!GetClassNameA(window, className, sizeof className) || strcmp(className, "#32770") != 0)
        return false;
    auto dialogProcedure = wide ? GetWindowLongPtrW(window, DWLP_DLGPROC) : GetWindowLongPtrA(window, DWLP_DLGPROC);
    return InPluginCode(notes, reinterpret_cast<void*>(dialogProcedure));
}

// ---- Registrations ------------------------------------------------------

bool ClassReaches(const LeftoverNotes& notes, const Registration& registration)
{
    auto instance = static_cast<HINSTANCE>(registration.owner);
    auto atom = reinterpret_cast<LPCSTR>(registration.key);
    if (registration.wide) {
        WNDCLASSEXW found{};
        found.cbSize = sizeof found;
        return GetClassInfoExW(instance, reinterpret_cast<LPCWSTR>(atom), &found)
               && InPluginCode(notes, reinterpret_cast<void*>(found.lpfnWndProc));
    }
    WNDCLASSEXA found{};
    found.cbSize = sizeof found;
    return GetClassInfoExA(instance, atom, &found) && InPluginCode(notes, reinterpret_cast<void*>(found.lpfnWndProc));
}

bool RegistrationReaches(const LeftoverNotes& notes, const Registration& registration)
{
    switch (registration.kind) {
    case LEFT_CLASS:
        return ClassReaches(notes, registration);
    case LEFT_TIMER:
        // A window's timers go with the window.
        if (registration.owner && !IsWindow(static_cast<HWND>(registration.owner)))
            return false;
        break;
    }
    return InPluginCode(notes, registration.code);
}

bool FilterReaches(const LeftoverNotes& notes)
{
    LPTOP_LEVEL_EXCEPTION_FILTER filter = SetUnhandledExceptionFilter(nullptr);
    SetUnhandledExceptionFilter(filter);
    return InPluginCode(notes, reinterpret_cast<void*>(filter));
}

// ---- The stand-ins --------------------------------------------------------
// Each passes the call on to what the caller's own slot held, and notes what
// the call registered or took back.

#define CALLER __builtin_return_address(0)

template <class F> F Original(const void* caller, F self, F fallback = nullptr)
{
    F original = OriginalOf(caller, self);
    return original ? original : fallback;
}

template <class F> void* Code(F function) { return reinterpret_cast<void*>(function); }

// Taken back when the system says so, or says the callback is still
// running and will be the last (the thread scan then sees it).
bool TakenBack(BOOL done) { return done || GetLastError() == ERROR_IO_PENDING; }

HANDLE WINAPI WatchCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack, LPTHREAD_START_ROUTINE start,
                                LPVOID parameter, DWORD flags, LPDWORD id)
{
    HANDLE thread = Original(CALLER, &WatchCreateThread, CreateThread)(security, stack, start, parameter, flags, id);
    if (thread)
        NoteThread(GetThreadId(thread), Code(start));
    return thread;
}

using BeginThreadEx = uintptr_t(__cdecl*)(void*, unsigned, unsigned(__stdcall*)(void*), void*, unsigned, unsigned*);
uintptr_t __cdecl WatchBeginThreadEx(void* security, unsigned stack, unsigned(__stdcall* start)(void*),
                                     void* parameter, unsigned flags, unsigned* id)
{
    BeginThreadEx begin = Original<BeginThreadEx>(CALLER, &WatchBeginThreadEx);
    if (!begin)
        return 0;
    uintptr_t thread = begin(security, stack, start, parameter, flags, id);
    if (thread)
        NoteThread(GetThreadId(reinterpret_cast<HANDLE>(thread)), Code(start));
    return thread;
}

// The A and W forms of a call differ only in their types: one stand-in
// each, made from one template.
template <class WindowClass, ATOM(WINAPI* Register)(const WindowClass*), bool Wide>
ATOM WINAPI WatchRegisterClass(const WindowClass* windowClass)
{
    ATOM atom = Original(CALLER, &WatchRegisterClass<WindowClass, Register, Wide>, Register)(windowClass);
    if (atom)
        Note({LEFT_CLASS, Wide, windowClass->hInstance, atom, Code(windowClass->lpfnWndProc)});
    return atom;
}

UINT_PTR WINAPI WatchSetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC callback)
{
    UINT_PTR timer = Original(CALLER, &WatchSetTimer, SetTimer)(window, id, elapse, callback);
    if (timer && callback)
        Note({LEFT_TIMER, false, window, window ? id : timer, Code(callback)});
    return timer;
}
BOOL WINAPI WatchKillTimer(HWND window, UINT_PTR id)
{
    BOOL killed = Original(CALLER, &WatchKillTimer, KillTimer)(window, id);
    if (killed)
        Forget(LEFT_TIMER, window, id);
    return killed;
}

template <HHOOK(WINAPI* Set)(int, HOOKPROC, HINSTANCE, DWORD)>
HHOOK WINAPI WatchSetWindowsHookEx(int type, HOOKPROC callback, HINSTANCE module, DWORD thread)
{
    HHOOK hook = Original(CALLER, &WatchSetWindowsHookEx<Set>, Set)(type, callback, module, thread);
    if (hook)
        Note({LEFT_HOOK, false, nullptr, reinterpret_cast<UINT_PTR>(hook), Code(callback)});
    return hook;
}
BOOL WINAPI WatchUnhookWindowsHookEx(HHOOK hook)
{
    BOOL removed = Original(CALLER, &WatchUnhookWindowsHookEx, UnhookWindowsHookEx)(hook);
    if (removed)
        Forget(LEFT_HOOK, nullptr, reinterpret_cast<UINT_PTR>(hook));
    return removed;
}

HWINEVENTHOOK WINAPI WatchSetWinEventHook(DWORD first, DWORD last, HMODULE module, WINEVENTPROC callback,
                                          DWORD process, DWORD thread, DWORD flags)
{
    auto set = Original(CALLER, &WatchSetWinEventHook);
    HWINEVENTHOOK hook = set ? set(first, last, module, callback, process, thread, flags) : nullptr;
    if (hook)
        Note({LEFT_EVENT_HOOK, false, nullptr, reinterpret_cast<UINT_PTR>(hook), Code(callback)});
    return hook;
}
BOOL WINAPI WatchUnhookWinEvent(HWINEVENTHOOK hook)
{
    auto unhook = Original(CALLER, &WatchUnhookWinEvent);
    BOOL removed = unhook && unhook(hook);
    if (removed)
        Forget(LEFT_EVENT_HOOK, nullptr, reinterpret_cast<UINT_PTR>(hook));
    return removed;
}

// Exception handlers and continue handlers alike.
template <PVOID(WINAPI* Add)(ULONG, PVECTORED_EXCEPTION_HANDLER)>
PVOID WINAPI WatchAddVectoredHandler(ULONG first, PVECTORED_EXCEPTION_HANDLER handler)
{
    PVOID added = Original(CALLER, &WatchAddVectoredHandler<Add>, Add)(first, handler);
    if (added)
        Note({LEFT_HANDLER, false, nullptr, reinterpret_cast<UINT_PTR>(added), Code(handler)});
    return added;
}
template <ULONG(WINAPI* Remove)(PVOID)>
ULONG WINAPI WatchRemoveVectoredHandler(PVOID added)
{
    ULONG removed = Original(CALLER, &WatchRemoveVectoredHandler<Remove>, Remove)(added);
    if (removed)
        Forget(LEFT_HANDLER, nullptr, reinterpret_cast<UINT_PTR>(added));
    return removed;
}

// Calls queued to run once (pool work items, simple pool callbacks, APCs)
// go through the wizard's own code, which notes each until it has run. A
// call's record is on the heap, not in LeftoverNotes: the call may run
// after its probe has ended, when there is no probe's table to remove it
// from.
struct QueuedCall {
    void* function;
    void* context;
};

QueuedCall* Queue(void* function, void* context)
{
    auto* call = new QueuedCall{function, context};
    Note({LEFT_QUEUED_CALL, false, nullptr, reinterpret_cast<UINT_PTR>(call), function});
    return call;
}
QueuedCall Ran(QueuedCall* queued)
{
    QueuedCall call = *queued;
    Forget(LEFT_QUEUED_CALL, nullptr, reinterpret_cast<UINT_PTR>(queued));
    delete queued;
    return call;
}
// Not queued after all: forgotten again.
template <class R> R Unqueued(R result, QueuedCall* call)
{
    if (!result)
        Ran(call);
    return result;
}

DWORD WINAPI RunWorkItem(void* queued)
{
    // The note goes only after the plug-in's function has returned.
    QueuedCall call = *static_cast<QueuedCall*>(queued);
    DWORD result = reinterpret_cast<LPTHREAD_START_ROUTINE>(call.function)(call.context);
    Ran(static_cast<QueuedCall*>(queued));
    return result;
}
BOOL WINAPI WatchQueueUserWorkItem(LPTHREAD_START_ROUTINE function, PVOID context, ULONG flags)
{
    auto queue = Original(CALLER, &WatchQueueUserWorkItem);
    if (!queue)
        return FALSE;
    QueuedCall* call = Queue(Code(function), context);
    return Unqueued(queue(RunWorkItem, call, flags), call);
}

VOID CALLBACK RunSimpleCallback(PTP_CALLBACK_INSTANCE instance, PVOID queued)
{
    QueuedCall call = *static_cast<QueuedCall*>(queued);
    reinterpret_cast<PTP_SIMPLE_CALLBACK>(call.function)(instance, call.context);
    Ran(static_cast<QueuedCall*>(queued));
}
BOOL WINAPI WatchTrySubmitThreadpoolCallback(PTP_SIMPLE_CALLBACK function, PVOID context,
                                             PTP_CALLBACK_ENVIRON environment)
{
    auto submit = Original(CALLER, &WatchTrySubmitThreadpoolCallback);
    if (!submit)
        return FALSE;
    QueuedCall* call = Queue(Code(function), context);
    return Unqueued(submit(RunSimpleCallback, call, environment), call);
}

VOID CALLBACK RunApc(ULONG_PTR queued)
{
    QueuedCall call = *reinterpret_cast<QueuedCall*>(queued);
    reinterpret_cast<PAPCFUNC>(call.function)(reinterpret_cast<ULONG_PTR>(call.context));
    Ran(reinterpret_cast<QueuedCall*>(queued));
}
DWORD WINAPI WatchQueueUserAPC(PAPCFUNC function, HANDLE thread, ULONG_PTR data)
{
    auto queue = Original(CALLER, &WatchQueueUserAPC);
    if (!queue)
        return 0;
    QueuedCall* call = Queue(Code(function), reinterpret_cast<void*>(data));
    return Unqueued(queue(RunApc, thread, reinterpret_cast<ULONG_PTR>(call)), call);
}

BOOL WINAPI WatchRegisterWait(PHANDLE wait, HANDLE object, WAITORTIMERCALLBACK callback, PVOID context,
                              ULONG milliseconds, ULONG flags)
{
    auto wrap = Original(CALLER, &WatchRegisterWait);
    BOOL done = wrap && wrap(wait, object, callback, context, milliseconds, flags);
    if (done)
        Note({LEFT_POOL, false, nullptr, reinterpret_cast<UINT_PTR>(*wait), Code(callback)});
    return done;
}
BOOL WINAPI WatchUnregisterWait(HANDLE wait)
{
    auto unregister = Original(CALLER, &WatchUnregisterWait);
    BOOL done = unregister && unregister(wait);
    if (TakenBack(done))
        Forget(LEFT_POOL, nullptr, reinterpret_cast<UINT_PTR>(wait));
    return done;
}
BOOL WINAPI WatchUnregisterWaitEx(HANDLE wait, HANDLE completion)
{
    auto unregister = Original(CALLER, &WatchUnregisterWaitEx);
    BOOL done = unregister && unregister(wait, completion);
    if (TakenBack(done))
        Forget(LEFT_POOL, nullptr, reinterpret_cast<UINT_PTR>(wait));
    return done;
}

BOOL WINAPI WatchCreateTimerQueueTimer(PHANDLE timer, HANDLE queue, WAITORTIMERCALLBACK callback, PVOID context,
                                       DWORD due, DWORD period, ULONG flags)
{
    auto create = Original(CALLER, &WatchCreateTimerQueueTimer);
    BOOL done = create && create(timer, queue, callback, context, due, period, flags);
    if (done)
        Note({LEFT_POOL, false, queue, reinterpret_cast<UINT_PTR>(*timer), Code(callback)});
    return done;
}
BOOL WINAPI WatchDeleteTimerQueueTimer(HANDLE queue, HANDLE timer, HANDLE completion)
{
    auto remove = Original(CALLER, &WatchDeleteTimerQueueTimer);
    BOOL done = remove && remove(queue, timer, completion);
    if (TakenBack(done))
        Forget(LEFT_POOL, queue, reinterpret_cast<UINT_PTR>(timer));
    return done;
}
BOOL WINAPI WatchDeleteTimerQueueEx(HANDLE queue, HANDLE completion)
{
    auto remove = Original(CALLER, &WatchDeleteTimerQueueEx);
    BOOL done = remove && remove(queue, completion);
    if (TakenBack(done))
        ForgetOwned(LEFT_POOL, queue);
    return done;
}
BOOL WINAPI WatchDeleteTimerQueue(HANDLE queue)
{
    auto remove = Original(CALLER, &WatchDeleteTimerQueue);
    BOOL done = remove && remove(queue);
    if (TakenBack(done))
        ForgetOwned(LEFT_POOL, queue);
    return done;
}

// The thread pool's objects: work, timers and waits are made alike.
template <class Object, class Callback>
Object WINAPI WatchCreatePoolObject(Callback callback, PVOID context, PTP_CALLBACK_ENVIRON environment)
{
    auto create = Original(CALLER, &WatchCreatePoolObject<Object, Callback>);
    Object made = create ? create(callback, context, environment) : nullptr;
    if (made)
        Note({LEFT_POOL, false, nullptr, reinterpret_cast<UINT_PTR>(made), Code(callback)});
    return made;
}
PTP_IO WINAPI WatchCreateThreadpoolIo(HANDLE file, PTP_WIN32_IO_CALLBACK callback, PVOID context,
                                      PTP_CALLBACK_ENVIRON environment)
{
    auto create = Original(CALLER, &WatchCreateThreadpoolIo);
    PTP_IO made = create ? create(file, callback, context, environment) : nullptr;
    if (made)
        Note({LEFT_POOL, false, nullptr, reinterpret_cast<UINT_PTR>(made), Code(callback)});
    return made;
}
template <class Object> VOID WINAPI WatchClosePoolObject(Object object)
{
    auto close = Original(CALLER, &WatchClosePoolObject<Object>);
    Forget(LEFT_POOL, nullptr, reinterpret_cast<UINT_PTR>(object));
    if (close)
        close(object);
}

// Never taken back while the handle lives.
BOOL WINAPI WatchBindIoCompletionCallback(HANDLE file, LPOVERLAPPED_COMPLETION_ROUTINE callback, ULONG flags)
{
    auto bind = Original(CALLER, &WatchBindIoCompletionCallback);
    BOOL done = bind && bind(file, callback, flags);
    if (done)
        Note({LEFT_POOL, false, nullptr, reinterpret_cast<UINT_PTR>(file), Code(callback)});
    return done;
}

MMRESULT WINAPI WatchTimeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags)
{
    auto set = Original(CALLER, &WatchTimeSetEvent);
    MMRESULT timer = set ? set(delay, resolution, callback, user, flags) : 0;
    // With an event flag the callback is an event handle, not code.
    if (timer && !(flags & (TIME_CALLBACK_EVENT_SET | TIME_CALLBACK_EVENT_PULSE)))
        Note({LEFT_MEDIA_TIMER, false, nullptr, timer, Code(callback)});
    return timer;
}
MMRESULT WINAPI WatchTimeKillEvent(UINT timer)
{
    auto kill = Original(CALLER, &WatchTimeKillEvent);
    MMRESULT result = kill ? kill(timer) : MMSYSERR_INVALPARAM;
    if (result == TIMERR_NOERROR)
        Forget(LEFT_MEDIA_TIMER, nullptr, timer);
    return result;
}

// Its callback runs at every thread's end and at the process's, for every
// slot still allocated.
DWORD WINAPI WatchFlsAlloc(PFLS_CALLBACK_FUNCTION callback)
{
    auto alloc = Original(CALLER, &WatchFlsAlloc);
    DWORD index = alloc ? alloc(callback) : FLS_OUT_OF_INDEXES;
    if (index != FLS_OUT_OF_INDEXES && callback)
        Note({LEFT_FIBRE_LOCAL, false, nullptr, index, Code(callback)});
    return index;
}
BOOL WINAPI WatchFlsFree(DWORD index)
{
    auto free = Original(CALLER, &WatchFlsFree);
    BOOL done = free && free(index);
    if (done)
        Forget(LEFT_FIBRE_LOCAL, nullptr, index);
    return done;
}

#define WATCH(name, origin, standIn) {name, origin, reinterpret_cast<void*>(standIn)}

const StandIn WATCHES[] = {
    WATCH("CreateThread", KERNEL, WatchCreateThread),
    WATCH("_beginthreadex", C_RUNTIME, WatchBeginThreadEx),
    WATCH("RegisterClassA", USER, (WatchRegisterClass<WNDCLASSA, RegisterClassA, false>)),
    WATCH("RegisterClassW", USER, (WatchRegisterClass<WNDCLASSW, RegisterClassW, true>)),
    WATCH("RegisterClassExA", USER, (WatchRegisterClass<WNDCLASSEXA, RegisterClassExA, false>)),
    WATCH("RegisterClassExW", USER, (WatchRegisterClass<WNDCLASSEXW, RegisterClassExW, true>)),
    WATCH("SetTimer", USER, WatchSetTimer),
    WATCH("KillTimer", USER, WatchKillTimer),
    WATCH("SetWindowsHookExA", USER, WatchSetWindowsHookEx<SetWindowsHookExA>),
    WATCH("SetWindowsHookExW", USER, WatchSetWindowsHookEx<SetWindowsHookExW>),
    WATCH("UnhookWindowsHookEx", USER, WatchUnhookWindowsHookEx),
    WATCH("SetWinEventHook", USER, WatchSetWinEventHook),
    WATCH("UnhookWinEvent", USER, WatchUnhookWinEvent),
    WATCH("AddVectoredExceptionHandler", KERNEL, WatchAddVectoredHandler<AddVectoredExceptionHandler>),
    WATCH("AddVectoredContinueHandler", KERNEL, WatchAddVectoredHandler<AddVectoredContinueHandler>),
    WATCH("RemoveVectoredExceptionHandler", KERNEL, WatchRemoveVectoredHandler<RemoveVectoredExceptionHandler>),
    WATCH("RemoveVectoredContinueHandler", KERNEL, WatchRemoveVectoredHandler<RemoveVectoredContinueHandler>),
    WATCH("QueueUserWorkItem", KERNEL, WatchQueueUserWorkItem),
    WATCH("TrySubmitThreadpoolCallback", KERNEL, WatchTrySubmitThreadpoolCallback),
    WATCH("QueueUserAPC", KERNEL, WatchQueueUserAPC),
    WATCH("RegisterWaitForSingleObject", KERNEL, WatchRegisterWait),
    WATCH("UnregisterWait", KERNEL, WatchUnregisterWait),
    WATCH("UnregisterWaitEx", KERNEL, WatchUnregisterWaitEx),
    WATCH("CreateTimerQueueTimer", KERNEL, WatchCreateTimerQueueTimer),
    WATCH("DeleteTimerQueueTimer", KERNEL, WatchDeleteTimerQueueTimer),
    WATCH("DeleteTimerQueueEx", KERNEL, WatchDeleteTimerQueueEx),
    WATCH("DeleteTimerQueue", KERNEL, WatchDeleteTimerQueue),
    WATCH("CreateThreadpoolWork", KERNEL, (WatchCreatePoolObject<PTP_WORK, PTP_WORK_CALLBACK>)),
    WATCH("CreateThreadpoolTimer", KERNEL, (WatchCreatePoolObject<PTP_TIMER, PTP_TIMER_CALLBACK>)),
    WATCH("CreateThreadpoolWait", KERNEL, (WatchCreatePoolObject<PTP_WAIT, PTP_WAIT_CALLBACK>)),
    WATCH("CreateThreadpoolIo", KERNEL, WatchCreateThreadpoolIo),
    WATCH("CloseThreadpoolWork", KERNEL, WatchClosePoolObject<PTP_WORK>),
    WATCH("CloseThreadpoolTimer", KERNEL, WatchClosePoolObject<PTP_TIMER>),
    WATCH("CloseThreadpoolWait", KERNEL, WatchClosePoolObject<PTP_WAIT>),
    WATCH("CloseThreadpoolIo", KERNEL, WatchClosePoolObject<PTP_IO>),
    WATCH("BindIoCompletionCallback", KERNEL, WatchBindIoCompletionCallback),
    WATCH("timeSetEvent", MULTIMEDIA, WatchTimeSetEvent),
    WATCH("timeKillEvent", MULTIMEDIA, WatchTimeKillEvent),
    WATCH("FlsAlloc", KERNEL, WatchFlsAlloc),
    WATCH("FlsFree", KERNEL, WatchFlsFree),
};

#undef WATCH
#undef CALLER

} // namespace

// The loader calls the callbacks listed in the program's thread-local
// storage directory at every thread's start and end.
extern "C" __attribute__((section(".CRT$XLY"), used)) const PIMAGE_TLS_CALLBACK tandrelThreadNotice = ThreadNotice;

const StandIns LEFTOVER_WATCH = StandInsOf(WATCHES);

void BeginLeftoverWatch(LeftoverNotes& notes, const char* path, WatchedProbe& watched)
{
    ListenToTheLoader();
    const char* name = strrchr(path, '\\');
    if (!MultiByteToWideChar(CP_ACP, 0, name ? name + 1 : path, -1, notes.pluginFile, MAX_PATH))
        notes.pluginFile[0] = 0;
    notes.watched = &watched;
    notes.windowHook = SetWindowsHookExA(WH_CBT, NoteWindow, nullptr, GetCurrentThreadId());
    SpinLock lock(tableLock);
    notesUnderWay = &notes;
}

void BeginLibraryNotes(LeftoverNotes& notes)
{
    InterlockedExchange(&notes.notingLibraries, 1);
}

void EndLeftoverWatch(LeftoverNotes& notes)
{
    {
        SpinLock lock(tableLock);
        notesUnderWay = nullptr;
    }
    if (notes.windowHook)
        UnhookWindowsHookEx(notes.windowHook);
    notes.windowHook = nullptr;
}

int WindowsMadeInProbe(const LeftoverNotes& notes, HWND* found, int size)
{
    int made = notes.windowCount, count = made < size ? made : size;
    for (int i = 0; i < count; ++i)
        found[i] = notes.windows[made - count + i];
    return count;
}

void NoteProbedLibrary(LeftoverNotes& notes, HMODULE library)
{
    if (!InPluginCode(notes, library)) {
        auto* base = reinterpret_cast<BYTE*>(library);
        auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        SpinLock lock(tableLock);
        NoteLibrary(notes, base, nt->OptionalHeader.SizeOfImage);
    }
    for (int i = 0; i < notes.libraryCount; ++i)
        RedirectImports(reinterpret_cast<HMODULE>(notes.libraries[i].base));
}

unsigned LeftBehind(LeftoverNotes& notes)
{
    Registration* registered = notes.registered;
    int registrationsNoted;
    unsigned left;
    {
        SpinLock lock(tableLock);
        registrationsNoted = notes.registrationCount;
        memcpy(registered, notes.registrations, registrationsNoted * sizeof *registered);
        left = notes.overflowed;
    }
    if (AnyThreadReaches(notes))
        left |= LEFT_THREAD;
    for (int i = 0; i < notes.windowCount && !(left & LEFT_WINDOW); ++i)
        if (WindowReaches(notes, notes.windows[i]))
            left |= LEFT_WINDOW;
    for (int i = 0; i < registrationsNoted; ++i)
        if (!(left & registered[i].kind) && RegistrationReaches(notes, registered[i]))
            left |= registered[i].kind;
    if (FilterReaches(notes))
        left |= LEFT_FILTER;
    return left;
}

void RestoreProbedImports(const LeftoverNotes& notes)
{
    for (int i = notes.libraryCount; i-- > 0;)
        RestoreImports(reinterpret_cast<HMODULE>(notes.libraries[i].base));
}

int ProbedCode(const LeftoverNotes& notes, CodeRange* ranges, int max)
{
    SpinLock lock(tableLock);
    int count = notes.libraryCount < max ? notes.libraryCount : max;
    memcpy(ranges, notes.libraries, count * sizeof *ranges);
    return count;
}
