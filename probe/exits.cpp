#include "probe/exits.h"
#include <cstdlib>
#include <cstring>
#include "probe/hostile.h"

namespace {

DWORD guardedThread;    // 0: no guard up

bool Guarded() { return guardedThread && GetCurrentThreadId() == guardedThread; }

[[noreturn]] void RaiseExited()
{
    RaiseException(EXCEPTION_PLUGIN_EXITED, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    for (;;)
        ;
}

enum Origin { C_RUNTIME, KERNEL };

// The stand-ins, in the order of the table below; each remembers the
// function it stands for, so that calls it lets through reach the
// plug-in's own runtime.
enum {
    EXIT, UNDERSCORE_EXIT, UPPER_EXIT, QUICK_EXIT, ABORT, AMSG_EXIT,
    EXIT_PROCESS, FATAL_EXIT, FATAL_APP_EXIT_A, FATAL_APP_EXIT_W, TERMINATE_PROCESS, EXIT_THREAD,
    STAND_IN_COUNT
};
void* originals[STAND_IN_COUNT];

template <class F> F Original(int which, F fallback)
{
    return originals[which] ? reinterpret_cast<F>(originals[which]) : fallback;
}

using ExitFn = void(__cdecl*)(int);
void __cdecl LastResort(int code) { _exit(code); }

void __cdecl Exit(int code)
{
    if (Guarded())
        RaiseExited();
    Original<ExitFn>(EXIT, exit)(code);
}
void __cdecl UnderscoreExit(int code)
{
    if (Guarded())
        RaiseExited();
    Original<ExitFn>(UNDERSCORE_EXIT, LastResort)(code);
}
void __cdecl UpperExit(int code)
{
    if (Guarded())
        RaiseExited();
    Original<ExitFn>(UPPER_EXIT, LastResort)(code);
}
void __cdecl QuickExit(int code)
{
    if (Guarded())
        RaiseExited();
    Original<ExitFn>(QUICK_EXIT, LastResort)(code);
}
void __cdecl Abort()
{
    if (Guarded())
        RaiseExited();
    Original<void(__cdecl*)()>(ABORT, abort)();
}
// The runtime's own end after a fatal runtime error.
void __cdecl AmsgExit(int code)
{
    if (Guarded())
        RaiseExited();
    Original<ExitFn>(AMSG_EXIT, LastResort)(code);
}
void WINAPI StandInExitProcess(UINT code)
{
    if (Guarded())
        RaiseExited();
    Original<void(WINAPI*)(UINT)>(EXIT_PROCESS, ExitProcess)(code);
}
void WINAPI StandInFatalExit(int code)
{
    if (Guarded())
        RaiseExited();
    Original<void(WINAPI*)(int)>(FATAL_EXIT, FatalExit)(code);
}
void WINAPI StandInFatalAppExitA(UINT action, LPCSTR text)
{
    if (Guarded())
        RaiseExited();
    Original<void(WINAPI*)(UINT, LPCSTR)>(FATAL_APP_EXIT_A, FatalAppExitA)(action, text);
}
void WINAPI StandInFatalAppExitW(UINT action, LPCWSTR text)
{
    if (Guarded())
        RaiseExited();
    Original<void(WINAPI*)(UINT, LPCWSTR)>(FATAL_APP_EXIT_W, FatalAppExitW)(action, text);
}
// Ending another process is the plug-in's business.
BOOL WINAPI StandInTerminateProcess(HANDLE process, UINT code)
{
    if (Guarded() && (process == GetCurrentProcess() || GetProcessId(process) == GetCurrentProcessId()))
        RaiseExited();
    return Original<BOOL(WINAPI*)(HANDLE, UINT)>(TERMINATE_PROCESS, TerminateProcess)(process, code);
}
// A thread of the plug-in's own may end itself; the wizard's thread may not.
void WINAPI StandInExitThread(DWORD code)
{
    if (Guarded())
        RaiseExited();
    Original<void(WINAPI*)(DWORD)>(EXIT_THREAD, ExitThread)(code);
}

struct StandIn {
    const char* name;
    Origin origin;
    void* function;
};

const StandIn STAND_INS[STAND_IN_COUNT] = {
    {"exit", C_RUNTIME, reinterpret_cast<void*>(Exit)},
    {"_exit", C_RUNTIME, reinterpret_cast<void*>(UnderscoreExit)},
    {"_Exit", C_RUNTIME, reinterpret_cast<void*>(UpperExit)},
    {"quick_exit", C_RUNTIME, reinterpret_cast<void*>(QuickExit)},
    {"abort", C_RUNTIME, reinterpret_cast<void*>(Abort)},
    {"_amsg_exit", C_RUNTIME, reinterpret_cast<void*>(AmsgExit)},
    {"ExitProcess", KERNEL, reinterpret_cast<void*>(StandInExitProcess)},
    {"FatalExit", KERNEL, reinterpret_cast<void*>(StandInFatalExit)},
    {"FatalAppExitA", KERNEL, reinterpret_cast<void*>(StandInFatalAppExitA)},
    {"FatalAppExitW", KERNEL, reinterpret_cast<void*>(StandInFatalAppExitW)},
    {"TerminateProcess", KERNEL, reinterpret_cast<void*>(StandInTerminateProcess)},
    {"ExitThread", KERNEL, reinterpret_cast<void*>(StandInExitThread)},
};

bool StartsWith(const char* text, const char* prefix) { return _strnicmp(text, prefix, strlen(prefix)) == 0; }

// Which family of libraries an import comes from: the C runtimes (msvcrt,
// the versioned msvcrXX, the universal runtime and its forwarders), or the
// kernel (kernel32, kernelbase and the core forwarders).
bool FromOrigin(const char* library, Origin origin)
{
    if (origin == C_RUNTIME)
        return StartsWith(library, "msvcr") || StartsWith(library, "ucrtbase") || StartsWith(library, "api-ms-win-crt-")
               || StartsWith(library, "crtdll");
    return _stricmp(library, "kernel32.dll") == 0 || _stricmp(library, "kernelbase.dll") == 0
           || StartsWith(library, "api-ms-win-core-");
}

struct Patch {
    void** slot;
    void* original;
};
Patch patches[32];
unsigned patchCount;

bool WriteSlot(void** slot, void* value)
{
    DWORD protection;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection))
        return false;
    *slot = value;
    VirtualProtect(slot, sizeof *slot, protection, &protection);
    return true;
}

void Redirect(void** slot, int which)
{
    if (patchCount == sizeof patches / sizeof patches[0] || *slot == STAND_INS[which].function)
        return;
    void* original = *slot;
    if (!WriteSlot(slot, STAND_INS[which].function))
        return;
    patches[patchCount++] = {slot, original};
    originals[which] = original;
}

int StandInFor(const char* library, const char* name)
{
    for (int which = 0; which < STAND_IN_COUNT; ++which)
        if (strcmp(STAND_INS[which].name, name) == 0 && FromOrigin(library, STAND_INS[which].origin))
            return which;
    return -1;
}

// Walks the library's import directory. Imports by ordinal are passed over,
// and so is a library bound without its name table (the names are gone).
void RedirectImports(HMODULE library)
{
    auto* base = reinterpret_cast<BYTE*>(library);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return;
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE)
        return;
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!directory.VirtualAddress)
        return;
    for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); import->Name;
         ++import) {
        if (!import->OriginalFirstThunk)
            continue;
        const char* libraryName = reinterpret_cast<const char*>(base + import->Name);
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            int which = StandInFor(libraryName, reinterpret_cast<const char*>(byName->Name));
            if (which >= 0)
                Redirect(reinterpret_cast<void**>(&slots->u1.Function), which);
        }
    }
}

} // namespace

void GuardExits(HMODULE library)
{
    UnguardExits();
    RedirectImports(library);
    guardedThread = GetCurrentThreadId();
}

void UnguardExits()
{
    guardedThread = 0;
    while (patchCount) {
        --patchCount;
        WriteSlot(patches[patchCount].slot, patches[patchCount].original);
    }
}
