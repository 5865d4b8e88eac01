// A plug-in whose start-up code waits for ever, faults or adds a vectored
// exception handler, all while the loader holds its lock; or whose clean-up
// never ends once it has faulted, as some plug-ins' does. Without any of
// these the C runtime's own DllMain, which does nothing, is linked instead.
#include "plugin.h"

#if defined(SLEEP_IN_ATTACH) || defined(FAULT_IN_ATTACH) || defined(HANDLER_IN_ATTACH) || defined(HANG_ON_DETACH)

namespace {

#ifdef HANDLER_IN_ATTACH
LONG CALLBACK AttachHandler(EXCEPTION_POINTERS*)
{
    return EXCEPTION_CONTINUE_SEARCH;
}
#endif

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
#if defined(SLEEP_IN_ATTACH)
        for (;;)
            Sleep(200);
#elif defined(FAULT_IN_ATTACH)
        *fixtures::badAddress = 1;
#elif defined(HANDLER_IN_ATTACH)
        // Never removed.
        AddVectoredExceptionHandler(1, AttachHandler);
#endif
    }
#ifdef HANG_ON_DETACH
    if (reason == DLL_PROCESS_DETACH && fixtures::faulted)
        Sleep(INFINITE);
#endif
    return TRUE;
}

#endif
