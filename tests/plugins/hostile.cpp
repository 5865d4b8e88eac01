// A plug-in that harms the process it runs in rather than its own call: it
// changes the x87 unit's state, ends the process through the kernel, waits
// in its entry point for a person's answer in a window of its own, or holds
// a large part of the address space.
#include "plugin.h"
#include <commdlg.h>

namespace fixtures {

namespace {

#ifdef LARGE_IMAGE
// Uninitialised data of this many megabytes, as sample-based instruments
// carry: the loaded image holds all of it in the address space.
volatile char largeData[LARGE_IMAGE << 20];
#endif

} // namespace

bool GoOnInEntry()
{
#ifdef MODAL_IN_ENTRY
    // Waits for an answer in a window of its own, as licence checks and
    // loaders that ask for a file do; a plug-in left without one gives up.
    if (MessageBoxA(nullptr, "Enter your licence key.", "Fixture Licence", MB_OKCANCEL) != IDOK)
        return false;
#endif
#ifdef FILE_DIALOG_IN_ENTRY
    char file[MAX_PATH] = "";
    OPENFILENAMEA open{};
    open.lStructSize = sizeof open;
    open.lpstrFile = file;
    open.nMaxFile = sizeof file;
    open.lpstrTitle = "Fixture Loader";
    open.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameA(&open))
        return false;
#endif
    return true;
}

void HarmInOpen()
{
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
}

} // namespace fixtures
