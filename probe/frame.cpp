#include "probe/frame.h"
#include "base/state.h"
#include "base/text.h"
#include "base/threadstate.h"
#include "base/trap.h"
#include "probe/exits.h"
#include "probe/hostile.h"
#include "probe/kept.h"
#include "probe/leftovers.h"
#include "probe/marker.h"
#include "probe/probe.h"
#include "probe/watchdog.h"

namespace {

// The system's loader catches a fault in a DllMain and fails the load; the
// fault is noted on its way past, so that the probe can report it as the
// plug-in's. Only faults count (their codes have the error severity), and
// the plug-in's request to end the process: a plug-in may throw and catch
// exceptions of its own in its DllMain.
volatile DWORD loadingThread;
volatile DWORD loadFault;

LONG CALLBACK NoteLoadFault(EXCEPTION_POINTERS* pointers)
{
    DWORD code = pointers->ExceptionRecord->ExceptionCode;
    bool fault = (code & 0xF0000000u) == 0xC0000000u || code == EXCEPTION_PLUGIN_EXITED;
    if (loadingThread == GetCurrentThreadId() && !loadFault && fault)
        loadFault = code;
    return EXCEPTION_CONTINUE_SEARCH;
}

// The probe under way: the library loaded, and whether it was released.
HMODULE loaded;
bool released;
char probedPath[PATH_TEXT_SIZE];
char probedEntry[10];

} // namespace

ProbeFrame::ProbeFrame(const char* path, const char* entryName, bool newEntry, const char* pluginName)
{
    static bool chosen = (UseStandIns({EXIT_GUARD, LEFTOVER_WATCH}), true);
    (void)chosen;
    loaded = nullptr;
    released = false;
    CopyText(probedPath, path);
    CopyText(probedEntry, entryName);
    BeginProbeMarker(path, entryName, newEntry);
    // Every frame of the probe lies below this object. The watchdog's thread
    // is started here, before the notes begin: it is the wizard's own.
    WatchProbe(pluginName, this);
    BeginLeftoverWatch(path);
}

// A library that stays loaded, after a fault or for what it left running,
// keeps its stand-ins and is known by its code from now on.
ProbeFrame::~ProbeFrame()
{
    StopWatching();
    LowerExitGuard();
    if (loaded && !released) {
        CodeRange ranges[64];
        KeepPlugin(probedPath, probedEntry, ranges, ProbedCode(ranges, 64));
    }
    EndLeftoverWatch();
    EndProbeMarker();
    RestoreFloatingPointState();
}

ProbeResult ProbeFrame::probe(PluginRecord* record)
{
    ProbeResult result{};
    TrapResult trap = Trapped([&] { result.outcome = LoadVstPlugin(record); });
    if (!trap) {
        result.trapped = true;
        result.exceptionCode = trap.exceptionCode;
        CopyText(result.step, FailureTrace.traceProbeStep);
    }
    return result;
}

HMODULE LoadPlugin(const char* path)
{
    static PVOID noticing = AddVectoredExceptionHandler(1, NoteLoadFault);
    (void)noticing;
    loadFault = 0;
    loadingThread = GetCurrentThreadId();
    // Its slots lead to the stand-ins before its DllMain runs.
    BeginLibraryNotes();
    RaiseExitGuard();
    // As hosts do: DLLs the plug-in needs from its own folder are found there.
    HMODULE library = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    DWORD error = GetLastError();
    loadingThread = 0;
    RaiseSkipAgain();
    if (!library && loadFault)
        RaiseException(loadFault, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    if (library) {
        loaded = library;
        NoteProbedLibrary(library);
    }
    WatchdogLibrary(library);
    SetLastError(error);
    return library;
}

unsigned ReleasePlugin(HMODULE library)
{
    // Decided while the slots still lead to the stand-ins.
    unsigned left = LeftBehind();
    if (!left) {
        LowerExitGuard();
        RestoreProbedImports();
        released = true;
        // Its DllMain runs again in here, and may hang like any step.
        FreeLibrary(library);
        RaiseSkipAgain();
    }
    WatchdogLibrary(nullptr);
    return left;
}
