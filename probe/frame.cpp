#include "probe/frame.h"
#include "probe/exits.h"
#include "probe/guard.h"
#include "probe/leftovers.h"
#include "probe/marker.h"
#include "probe/watchdog.h"

namespace {

// The system's loader catches a fault in a DllMain and fails the load; the
// fault is noted on its way past, so that the probe can report it as the
// plug-in's. Only faults count (their codes have the error severity): a
// plug-in may throw and catch exceptions of its own in its DllMain.
volatile DWORD loadingThread;
volatile DWORD loadFault;

LONG CALLBACK NoteLoadFault(EXCEPTION_POINTERS* pointers)
{
    DWORD code = pointers->ExceptionRecord->ExceptionCode;
    if (loadingThread == GetCurrentThreadId() && !loadFault && (code & 0xF0000000u) == 0xC0000000u)
        loadFault = code;
    return EXCEPTION_CONTINUE_SEARCH;
}

void UnguardPlugin()
{
    LowerExitGuard();
    RestoreImports();
}

} // namespace

ProbeFrame::ProbeFrame(const char* path, const char* entryName, bool newEntry, const char* pluginName)
{
    BeginProbeMarker(path, entryName, newEntry);
    BeginLeftoverWatch(path);
    // Every frame of the probe lies below this object.
    WatchProbe(pluginName, this);
}

ProbeFrame::~ProbeFrame()
{
    StopWatching();
    UnguardPlugin();
    EndLeftoverWatch();
    EndProbeMarker();
    RestoreFloatingPointState();
}

HMODULE LoadPlugin(const char* path)
{
    static PVOID noticing = AddVectoredExceptionHandler(1, NoteLoadFault);
    (void)noticing;
    loadFault = 0;
    loadingThread = GetCurrentThreadId();
    // As hosts do: DLLs the plug-in needs from its own folder are found there.
    HMODULE library = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    DWORD error = GetLastError();
    loadingThread = 0;
    RaiseSkipAgain();
    if (!library && loadFault)
        RaiseException(loadFault, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    if (library)
        NoteProbedLibrary(library);
    WatchdogLibrary(library);
    SetLastError(error);
    return library;
}

void GuardPlugin(HMODULE library)
{
    RedirectImports(library, {EXIT_GUARD, LEFTOVER_WATCH});
    RaiseExitGuard();
}

unsigned ReleasePlugin(HMODULE library)
{
    UnguardPlugin();
    unsigned left = LeftBehind();
    if (!left) {
        // Its DllMain runs again in here, and may hang like any step.
        FreeLibrary(library);
        RaiseSkipAgain();
    }
    WatchdogLibrary(nullptr);
    return left;
}
