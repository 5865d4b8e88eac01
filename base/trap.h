// The trap regions: the outer one around the whole run, the plug-in's
// around each probe, and one around every call of a page's message handler.
//
// A region is a frame on the thread's structured-exception chain, so every
// exception (hardware faults, RaiseException with any code) that code called
// from inside it does not handle itself ends there; a plug-in's own handlers
// still see its exceptions first. The program's own C++ throws end there too.
#pragma once
#include <windows.h>
#include <type_traits>

// What a trap region answers: finished when the body ran to its end;
// otherwise the code of the exception it trapped (0 for one of the program's
// own C++ throws).
struct TrapResult {
    bool finished;
    DWORD exceptionCode;
    explicit operator bool() const { return finished; }
};

// Runs body(context) inside a trap region. When an exception was trapped, the
// frames above the region are abandoned without their clean-up, and the
// trace stays as it was at the fault.
TrapResult RunTrapped(void (*body)(void*), void* context);

template <class Body> TrapResult Trapped(Body&& body)
{
    using B = std::remove_reference_t<Body>;
    return RunTrapped([](void* context) { (*static_cast<B*>(context))(); }, &body);
}

// Set when a plug-in stays loaded: a trap left it so, or its code may still
// run. Its own clean-up may never return (once it has faulted, or while its
// threads run), so the process then ends without any library's.
extern bool pluginLeftLoaded;
// Ends the process with exit code 0 (see pluginLeftLoaded).
[[noreturn]] void EndWizardProcess();

// How the run answers a trap: the exception page, with the trace as the trap
// left it. The run sets it; while it is null a trap in a dialog call only
// ends the process.
extern void (*answerTrap)();

// Calls a dialog procedure's message handler. Nothing may unwind through the
// dialog manager's frames (and 64-bit Windows may swallow exceptions that
// cross a window-procedure callback), so a trap here is answered in place as
// the outer region answers it: answerTrap, then exit code 0.
INT_PTR GuardedDialogCall(INT_PTR (*handler)(HWND, UINT, WPARAM, LPARAM),
                          HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The dialog procedure that calls Handler under that guard.
template <INT_PTR (*Handler)(HWND, UINT, WPARAM, LPARAM)>
INT_PTR CALLBACK GuardedDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return GuardedDialogCall(Handler, dialog, message, wParam, lParam);
}
