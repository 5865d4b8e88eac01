#include "probe/leftovers.h"
#include <tlhelp32.h>
#include <algorithm>
#include <cstring>
#include <cwchar>
#include "probe/watchdog.h"
#include "wizard/handles.h"

namespace {

// ---- What is noted while a probe runs -----------------------------------
// The stand-ins and the thread notice run on any thread, the notice inside
// the loader: the tables are guarded by a lock under which nothing is called.

volatile LONG tableLock;

class TableLock {
public:
    TableLock()
    {
        while (InterlockedExchange(&tableLock, 1))
            Sleep(0);
    }
    ~TableLock() { InterlockedExchange(&tableLock, 0); }
    TableLock(const TableLock&) = delete;
    TableLock& operator=(const TableLock&) = delete;
};

volatile LONG recording;
volatile LONG overflowed;   // kinds that did not fit their table: kept to be safe
bool threadsOverflowed;     // more threads than the table holds: every thread is looked at

// The libraries the probe brought in, from the system's load notices.
const int MAX_LIBRARIES = 64;
struct Range {
    ULONG_PTR base, size;
};
Range libraries[MAX_LIBRARIES];
int libraryCount;
bool librariesOverflowed;
wchar_t pluginFile[MAX_PATH];   // the probed DLL's file name, to know it among them

const int MAX_THREADS = 256;
struct ThreadNote {
    DWORD id;
    void* start;            // where the plug-in asked it to start, if it said
};
ThreadNote threads[MAX_THREADS];
int threadCount;

const int MAX_WINDOWS = 256;
HWND windows[MAX_WINDOWS];  // the CBT hook runs on the wizard's thread only
int windowCount;
HHOOK windowHook;

// Registrations made through the plug-in's import table.
const int MAX_REGISTRATIONS = 128;
struct Registration {
    unsigned char kind;     // LEFT_CLASS, LEFT_TIMER, LEFT_HOOK or LEFT_HANDLER
    bool wide;              // a class registered with the W call
    void* owner;            // timer: its window; class: its instance
    UINT_PTR key;           // timer: its id; class: its atom; hook, handler: the handle
    void* code;             // the callback (the class's procedure)
};
Registration registrations[MAX_REGISTRATIONS];
int registrationCount;

void Note(const Registration& registration)
{
    TableLock lock;
    for (int i = 0; i < registrationCount; ++i) {
        Registration& known = registrations[i];
        if (known.kind == registration.kind && known.owner == registration.owner && known.key == registration.key) {
            known = registration;
            return;
        }
    }
    if (registrationCount < MAX_REGISTRATIONS)
        registrations[registrationCount++] = registration;
    else
        InterlockedOr(&overflowed, registration.kind);
}

void Forget(unsigned char kind, void* owner, UINT_PTR key)
{
    TableLock lock;
    for (int i = 0; i < registrationCount; ++i)
        if (registrations[i].kind == kind && registrations[i].owner == owner && registrations[i].key == key) {
            registrations[i] = registrations[--registrationCount];
            return;
        }
}

void NoteThread(DWORD id, void* start)
{
    TableLock lock;
    for (int i = 0; i < threadCount; ++i)
        if (threads[i].id == id) {
            if (start)
                threads[i].start = start;
            return;
        }
    if (threadCount < MAX_THREADS)
        threads[threadCount++] = {id, start};
    else
        threadsOverflowed = true;
}

void ForgetThread(DWORD id)
{
    TableLock lock;
    for (int i = 0; i < threadCount; ++i)
        if (threads[i].id == id) {
            threads[i] = threads[--threadCount];
            return;
        }
}

// Every thread that starts or ends in the process passes here (a callback of
// the program's own thread-local storage, called by the loader).
void NTAPI ThreadNotice(PVOID, DWORD reason, PVOID)
{
    if (reason == DLL_THREAD_ATTACH && recording)
        NoteThread(GetCurrentThreadId(), nullptr);
    else if (reason == DLL_THREAD_DETACH)
        ForgetThread(GetCurrentThreadId());
}

LRESULT CALLBACK NoteWindow(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && recording) {
        if (windowCount < MAX_WINDOWS)
            windows[windowCount++] = reinterpret_cast<HWND>(wParam);
        else
            InterlockedOr(&overflowed, LEFT_WINDOW);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// ---- The system's notices of libraries loaded ---------------------------

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

bool IsPluginFile(const CountedText* name)
{
    size_t length = name->length / sizeof(wchar_t);
    return length == wcslen(pluginFile) && _wcsnicmp(name->text, pluginFile, length) == 0;
}

void NoteLibrary(const void* base, ULONG size)
{
    TableLock lock;   // a thread of the plug-in's may load a library meanwhile
    if (libraryCount < MAX_LIBRARIES)
        libraries[libraryCount++] = {reinterpret_cast<ULONG_PTR>(base), size};
    else
        librariesOverflowed = true;
}

// Runs on the loading thread, inside the loader, before the library's
// DllMain: the watchdog learns the plug-in's place early enough to take the
// thread out of a DllMain that never returns.
void CALLBACK LibraryLoaded(ULONG reason, const LibraryNotice* notice, void*)
{
    if (reason != LIBRARY_LOADED || !recording)
        return;
    NoteLibrary(notice->base, notice->size);
    if (notice->baseName && IsPluginFile(notice->baseName))
        WatchdogLibrary(static_cast<HMODULE>(notice->base));
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
        listen(0, reinterpret_cast<void*>(LibraryLoaded), nullptr, &cookie);
}

bool InPluginCode(const void* address)
{
    auto at = reinterpret_cast<ULONG_PTR>(address);
    if (!at)
        return false;
    for (int i = 0; i < libraryCount; ++i)
        if (at - libraries[i].base < libraries[i].size)
            return true;
    if (!librariesOverflowed)
        return false;
    // Not all of them were noted: any library but the program counts.
    MEMORY_BASIC_INFORMATION memory;
    return VirtualQuery(address, &memory, sizeof memory) && memory.Type == MEM_IMAGE
           && memory.AllocationBase != GetModuleHandleA(nullptr);
}

// ---- Threads ------------------------------------------------------------

using QueryThread = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
QueryThread queryThread;
const int THREAD_BASICS = 0;
const int THREAD_START_ADDRESS = 9;
struct ThreadBasics {
    LONG exitStatus;
    NT_TIB* tib;
    void* clientId[2];
    ULONG_PTR affinity;
    LONG priority, basePriority;
};

// The most of a stack that is looked through.
const ULONG_PTR STACK_LOOK = 1024 * 1024;

// Whether any word from the stack pointer to the stack's base points into
// the plug-in: a return address or a pointer to its data in a live frame.
bool StackReaches(HANDLE thread, DWORD esp)
{
    ThreadBasics basics{};
    if (!queryThread || queryThread(thread, THREAD_BASICS, &basics, sizeof basics, nullptr) < 0 || !basics.tib)
        return true;
    auto base = reinterpret_cast<ULONG_PTR>(basics.tib->StackBase);
    MEMORY_BASIC_INFORMATION memory;
    if (!VirtualQuery(reinterpret_cast<void*>(esp), &memory, sizeof memory) || memory.State != MEM_COMMIT)
        return true;
    ULONG_PTR end = reinterpret_cast<ULONG_PTR>(memory.BaseAddress) + memory.RegionSize;
    if (base < end)
        end = base;
    if (end - esp > STACK_LOOK)
        end = esp + STACK_LOOK;
    for (auto* word = reinterpret_cast<void* const*>(esp & ~3u); reinterpret_cast<ULONG_PTR>(word + 1) <= end; ++word)
        if (InPluginCode(*word))
            return true;
    return false;
}

// A thread that cannot be looked at is taken to reach the plug-in.
bool ThreadReaches(const ThreadNote& note)
{
    KernelHandle thread(OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION, FALSE,
                                   note.id));
    if (!thread.isOpen())
        return false;
    DWORD exitCode = 0;
    if (GetExitCodeThread(thread, &exitCode) && exitCode != STILL_ACTIVE)
        return false;
    void* start = note.start;
    if (!start && queryThread)
        queryThread(thread, THREAD_START_ADDRESS, &start, sizeof start, nullptr);
    if (InPluginCode(start))
        return true;
    if (SuspendThread(thread) == static_cast<DWORD>(-1))
        return true;
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL;
    // Only the look at its context makes the suspension certain.
    bool reaches = !GetThreadContext(thread, &context) || InPluginCode(reinterpret_cast<void*>(context.Eip))
                   || StackReaches(thread, context.Esp);
    ResumeThread(thread);
    return reaches;
}

// Where the notes do not tell which threads are new, every other thread of
// the process is looked at: only the plug-in's own reach its code.
bool AnyThreadReaches()
{
    KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot.isOpen())
        return true;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId() && entry.th32ThreadID != GetCurrentThreadId()
            && ThreadReaches({entry.th32ThreadID, nullptr}))
            return true;
    return false;
}

// ---- Windows ------------------------------------------------------------

bool WindowReaches(HWND window)
{
    DWORD process = 0;
    if (!IsWindow(window) || !GetWindowThreadProcessId(window, &process) || process != GetCurrentProcessId())
        return false;
    // Asked in the window's own character set, the answer is the procedure itself.
    bool wide = IsWindowUnicode(window);
    auto procedure = wide ? GetWindowLongPtrW(window, GWLP_WNDPROC) : GetWindowLongPtrA(window, GWLP_WNDPROC);
    auto classProcedure = wide ? GetClassLongPtrW(window, GCLP_WNDPROC) : GetClassLongPtrA(window, GCLP_WNDPROC);
    if (InPluginCode(reinterpret_cast<void*>(procedure)) || InPluginCode(reinterpret_cast<void*>(classProcedure)))
        return true;
    char className[8];
    if (GetClassNameA(window, className, sizeof className) && strcmp(className, "#32770") == 0)
        return InPluginCode(reinterpret_cast<void*>(GetWindowLongPtrA(window, DWLP_DLGPROC)));
    return false;
}

// ---- Registrations ------------------------------------------------------

bool ClassReaches(const Registration& registration)
{
    auto instance = static_cast<HINSTANCE>(registration.owner);
    auto atom = reinterpret_cast<LPCSTR>(registration.key);
    if (registration.wide) {
        WNDCLASSEXW found{};
        found.cbSize = sizeof found;
        return GetClassInfoExW(instance, reinterpret_cast<LPCWSTR>(atom), &found)
               && InPluginCode(reinterpret_cast<void*>(found.lpfnWndProc));
    }
    WNDCLASSEXA found{};
    found.cbSize = sizeof found;
    return GetClassInfoExA(instance, atom, &found) && InPluginCode(reinterpret_cast<void*>(found.lpfnWndProc));
}

bool RegistrationReaches(const Registration& registration)
{
    switch (registration.kind) {
    case LEFT_CLASS:
        return ClassReaches(registration);
    case LEFT_TIMER:
        // A window's timers go with the window.
        if (registration.owner && !IsWindow(static_cast<HWND>(registration.owner)))
            return false;
        break;
    }
    return InPluginCode(registration.code);
}

bool FilterReaches()
{
    LPTOP_LEVEL_EXCEPTION_FILTER filter = SetUnhandledExceptionFilter(nullptr);
    SetUnhandledExceptionFilter(filter);
    return InPluginCode(reinterpret_cast<void*>(filter));
}

// ---- The stand-ins --------------------------------------------------------

void* Code(const void* function) { return const_cast<void*>(function); }

HANDLE WINAPI WatchCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack, LPTHREAD_START_ROUTINE start,
                                LPVOID parameter, DWORD flags, LPDWORD id)
{
    HANDLE thread = CreateThread(security, stack, start, parameter, flags, id);
    if (thread && recording)
        NoteThread(GetThreadId(thread), Code(reinterpret_cast<void*>(start)));
    return thread;
}

using BeginThreadEx = uintptr_t(__cdecl*)(void*, unsigned, unsigned(__stdcall*)(void*), void*, unsigned, unsigned*);
uintptr_t __cdecl WatchBeginThreadEx(void* security, unsigned stack, unsigned(__stdcall* start)(void*),
                                     void* parameter, unsigned flags, unsigned* id)
{
    auto begin = reinterpret_cast<BeginThreadEx>(ImportOf(__builtin_return_address(0), "_beginthreadex", C_RUNTIME));
    if (!begin)
        return 0;
    uintptr_t thread = begin(security, stack, start, parameter, flags, id);
    if (thread && recording)
        NoteThread(GetThreadId(reinterpret_cast<HANDLE>(thread)), reinterpret_cast<void*>(start));
    return thread;
}

// The A and W forms of a call differ only in their types: one stand-in
// each, made from one template.
template <class WindowClass, ATOM(WINAPI* Register)(const WindowClass*), bool Wide>
ATOM WINAPI WatchRegisterClass(const WindowClass* windowClass)
{
    ATOM atom = Register(windowClass);
    if (atom)
        Note({LEFT_CLASS, Wide, windowClass->hInstance, atom, reinterpret_cast<void*>(windowClass->lpfnWndProc)});
    return atom;
}

UINT_PTR WINAPI WatchSetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC callback)
{
    UINT_PTR timer = SetTimer(window, id, elapse, callback);
    if (timer && callback)
        Note({LEFT_TIMER, false, window, window ? id : timer, reinterpret_cast<void*>(callback)});
    return timer;
}
BOOL WINAPI WatchKillTimer(HWND window, UINT_PTR id)
{
    BOOL killed = KillTimer(window, id);
    if (killed)
        Forget(LEFT_TIMER, window, id);
    return killed;
}

template <HHOOK(WINAPI* Set)(int, HOOKPROC, HINSTANCE, DWORD)>
HHOOK WINAPI WatchSetWindowsHookEx(int type, HOOKPROC callback, HINSTANCE module, DWORD thread)
{
    HHOOK hook = Set(type, callback, module, thread);
    if (hook)
        Note({LEFT_HOOK, false, nullptr, reinterpret_cast<UINT_PTR>(hook), reinterpret_cast<void*>(callback)});
    return hook;
}
BOOL WINAPI WatchUnhookWindowsHookEx(HHOOK hook)
{
    BOOL removed = UnhookWindowsHookEx(hook);
    if (removed)
        Forget(LEFT_HOOK, nullptr, reinterpret_cast<UINT_PTR>(hook));
    return removed;
}

// Exception handlers and continue handlers alike.
template <PVOID(WINAPI* Add)(ULONG, PVECTORED_EXCEPTION_HANDLER)>
PVOID WINAPI WatchAddVectoredHandler(ULONG first, PVECTORED_EXCEPTION_HANDLER handler)
{
    PVOID added = Add(first, handler);
    if (added)
        Note({LEFT_HANDLER, false, nullptr, reinterpret_cast<UINT_PTR>(added), reinterpret_cast<void*>(handler)});
    return added;
}
template <ULONG(WINAPI* Remove)(PVOID)>
ULONG WINAPI WatchRemoveVectoredHandler(PVOID added)
{
    ULONG removed = Remove(added);
    if (removed)
        Forget(LEFT_HANDLER, nullptr, reinterpret_cast<UINT_PTR>(added));
    return removed;
}

const StandIn WATCHES[] = {
    {"CreateThread", KERNEL, reinterpret_cast<void*>(WatchCreateThread)},
    {"_beginthreadex", C_RUNTIME, reinterpret_cast<void*>(WatchBeginThreadEx)},
    {"RegisterClassA", USER, reinterpret_cast<void*>(WatchRegisterClass<WNDCLASSA, RegisterClassA, false>)},
    {"RegisterClassW", USER, reinterpret_cast<void*>(WatchRegisterClass<WNDCLASSW, RegisterClassW, true>)},
    {"RegisterClassExA", USER, reinterpret_cast<void*>(WatchRegisterClass<WNDCLASSEXA, RegisterClassExA, false>)},
    {"RegisterClassExW", USER, reinterpret_cast<void*>(WatchRegisterClass<WNDCLASSEXW, RegisterClassExW, true>)},
    {"SetTimer", USER, reinterpret_cast<void*>(WatchSetTimer)},
    {"KillTimer", USER, reinterpret_cast<void*>(WatchKillTimer)},
    {"SetWindowsHookExA", USER, reinterpret_cast<void*>(WatchSetWindowsHookEx<SetWindowsHookExA>)},
    {"SetWindowsHookExW", USER, reinterpret_cast<void*>(WatchSetWindowsHookEx<SetWindowsHookExW>)},
    {"UnhookWindowsHookEx", USER, reinterpret_cast<void*>(WatchUnhookWindowsHookEx)},
    {"AddVectoredExceptionHandler", KERNEL,
     reinterpret_cast<void*>(WatchAddVectoredHandler<AddVectoredExceptionHandler>)},
    {"AddVectoredContinueHandler", KERNEL, reinterpret_cast<void*>(WatchAddVectoredHandler<AddVectoredContinueHandler>)},
    {"RemoveVectoredExceptionHandler", KERNEL,
     reinterpret_cast<void*>(WatchRemoveVectoredHandler<RemoveVectoredExceptionHandler>)},
    {"RemoveVectoredContinueHandler", KERNEL,
     reinterpret_cast<void*>(WatchRemoveVectoredHandler<RemoveVectoredContinueHandler>)},
};

} // namespace

// The loader calls the callbacks listed in the program's thread-local
// storage directory at every thread's start and end.
extern "C" __attribute__((section(".CRT$XLY"), used)) const PIMAGE_TLS_CALLBACK tandrelThreadNotice = ThreadNotice;

const StandIns LEFTOVER_WATCH = StandInsOf(WATCHES);

void BeginLeftoverWatch(const char* path)
{
    ListenToTheLoader();
    if (!queryThread)
        queryThread = reinterpret_cast<QueryThread>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread")));
    const char* name = strrchr(path, '\\');
    if (!MultiByteToWideChar(CP_ACP, 0, name ? name + 1 : path, -1, pluginFile, MAX_PATH))
        pluginFile[0] = 0;
    {
        TableLock lock;
        threadCount = 0;
        threadsOverflowed = false;
        registrationCount = 0;
        libraryCount = 0;
        librariesOverflowed = false;
        overflowed = 0;
    }
    windowCount = 0;
    windowHook = SetWindowsHookExA(WH_CBT, NoteWindow, nullptr, GetCurrentThreadId());
    InterlockedExchange(&recording, 1);
}

void EndLeftoverWatch()
{
    InterlockedExchange(&recording, 0);
    if (windowHook)
        UnhookWindowsHookEx(windowHook);
    windowHook = nullptr;
}

int WindowsMadeInProbe(HWND* found, int size)
{
    int made = windowCount, count = made < size ? made : size;
    for (int i = 0; i < count; ++i)
        found[i] = windows[made - count + i];
    return count;
}

void NoteProbedLibrary(HMODULE library)
{
    if (InPluginCode(library))
        return;
    auto* base = reinterpret_cast<BYTE*>(library);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    NoteLibrary(base, nt->OptionalHeader.SizeOfImage);
}

unsigned LeftBehind()
{
    ThreadNote noted[MAX_THREADS];
    Registration registered[MAX_REGISTRATIONS];
    int threadsNoted, registrationsNoted;
    unsigned left;
    bool everyThread;
    {
        TableLock lock;
        threadsNoted = threadCount;
        memcpy(noted, threads, threadsNoted * sizeof *threads);
        registrationsNoted = registrationCount;
        memcpy(registered, registrations, registrationsNoted * sizeof *registrations);
        left = overflowed;
        everyThread = threadsOverflowed;
    }
    if (everyThread ? AnyThreadReaches() : std::any_of(noted, noted + threadsNoted, ThreadReaches))
        left |= LEFT_THREAD;
    for (int i = 0; i < windowCount && !(left & LEFT_WINDOW); ++i)
        if (WindowReaches(windows[i]))
            left |= LEFT_WINDOW;
    for (int i = 0; i < registrationsNoted; ++i)
        if (!(left & registered[i].kind) && RegistrationReaches(registered[i]))
            left |= registered[i].kind;
    if (FilterReaches())
        left |= LEFT_FILTER;
    return left;
}
