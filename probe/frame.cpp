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

// The frame under way, for the vectored handler, which runs on any thread
// for any exception: set and cleared by the frame, on the wizard's thread.
ProbeFrame* volatile underWay;

} // namespace

// The system's loader catches a fault in a DllMain and fails the load; the
// fault is noted as it passes this vectored handler, so that the probe can
// report it as the plug-in's. Only faults count (their codes have the error severity), and
// the plug-in's request to end the process: a plug-in may throw and catch
// exceptions of its own in its DllMain. Only the loading thread's own
// exceptions are looked at, and that thread is the frame's: the frame is
// alive while it runs.
LONG CALLBACK ProbeFrame::NoteLoadFault(EXCEPTION_POINTERS* pointers)
{
    ProbeFrame* frame = underWay;
    if (!frame)
        return EXCEPTION_CONTINUE_SEARCH;
    DWORD code = pointers->ExceptionRecord->ExceptionCode;
    bool fault = (code & 0xF0000000u) == 0xC0000000u || code == EXCEPTION_PLUGIN_EXITED;
    if (frame->loadingThread_ == GetCurrentThreadId() && !frame->loadFault_ && fault)
        frame->loadFault_ = code;
    return EXCEPTION_CONTINUE_SEARCH;
}

ProbeFrame::ProbeFrame(const char* path, const char* entryName, bool newEntry, const char* pluginName)
{
    static bool chosen = (UseStandIns({EXIT_GUARD, LEFTOVER_WATCH}), true);
    (void)chosen;
    static PVOID noticing = AddVectoredExceptionHandler(1, NoteLoadFault);
    (void)noticing;
    CopyText(path_, path);
    CopyText(entryName_, entryName);
    underWay = this;
    BeginProbeMarker(marker_, path, entryName, newEntry);
    // Every stack frame of the probe lies below this object. The watchdog's
    // thread is started here, before the leftover watch begins: it is the
    // wizard's own thread, not one of the plug-in's.
    WatchProbe(watched_, pluginName, this, notes_);
    BeginLeftoverWatch(notes_, path, watched_);
}

// A library that stays loaded, after a fault or for what it left running,
// keeps its stand-ins and is known by its code from now on.
ProbeFrame::~ProbeFrame()
{
    StopWatching(watched_);
    LowerExitGuard(exitGuard_);
    if (loaded_ && !released_) {
        CodeRange ranges[64];
        KeepPlugin(path_, entryName_, ranges, ProbedCode(notes_, ranges, 64));
    }
    EndLeftoverWatch(notes_);
    EndProbeMarker(marker_);
    underWay = nullptr;
    RestoreFloatingPointState();
}

ProbeResult ProbeFrame::probe(PluginRecord* record)
{
    ProbeResult result{};
    TrapResult trap = Trapped([&] { result.outcome = LoadVstPlugin(*this, record); });
    if (!trap) {
        result.trapped = true;
        result.exceptionCode = trap.exceptionCode;
        CopyText(result.step, FailureTrace.traceProbeStep);
    }
    return result;
}

// A plug-in that caught the skip exception (EXCEPTION_PLUGIN_SKIPPED) gets
// it again at its next step.
void ProbeFrame::step(const char* text, bool runsPlugin)
{
    RaiseSkipAgain(watched_);
    ProbeStep(marker_, text, runsPlugin);
    WatchdogStep(watched_, text);
}

HMODULE ProbeFrame::loadPlugin(const char* path)
{
    loadFault_ = 0;
    loadingThread_ = GetCurrentThreadId();
    // Its slots lead to the stand-ins before its DllMain runs.
    BeginLibraryNotes(notes_);
    RaiseExitGuard(exitGuard_);
    // As hosts do: DLLs the plug-in needs from its own folder are found there.
    HMODULE library = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    DWORD error = GetLastError();
    loadingThread_ = 0;
    RaiseSkipAgain(watched_);
    if (!library && loadFault_)
        RaiseException(loadFault_, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    if (library) {
        loaded_ = library;
        NoteProbedLibrary(notes_, library);
    }
    WatchdogLibrary(watched_, library);
    SetLastError(error);
    return library;
}

unsigned ProbeFrame::releasePlugin(HMODULE library)
{
    // Decided while the slots still lead to the stand-ins.
    unsigned left = LeftBehind(notes_);
    if (!left) {
        LowerExitGuard(exitGuard_);
        RestoreProbedImports(notes_);
        released_ = true;
        // Its DllMain runs again in here, and may hang like any step.
        FreeLibrary(library);
        RaiseSkipAgain(watched_);
    }
    WatchdogLibrary(watched_, nullptr);
    return left;
}

ProbeResult ProbePlugin(const char* path, const char* entryName, bool newEntry, PluginRecord* record)
{
    return ProbeFrame(path, entryName, newEntry, record->FullName).probe(record);
}
