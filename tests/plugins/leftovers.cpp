// What GUI frameworks, licence checks and crash reporters start in effOpen
// and never stop: a plug-in that leaves some of it behind after effClose
// (LEAVE_<kind>, EXIT_LATER), or, tidy, takes it all back there.
#include "plugin.h"

namespace fixtures {

namespace {

#if defined(LEAVE_THREAD)
volatile LONG stopBusy;
HANDLE busyThread;

// Runs until the process ends (or the plug-in tidies up), in its own code.
DWORD WINAPI KeepBusy(void*)
{
    while (!stopBusy)
        Sleep(20);
    return 0;
}
#endif

#if defined(LEAVE_WINDOW)
HWND leftWindow;

LRESULT CALLBACK LeftWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}
#endif

#if defined(LEAVE_TIMER)
UINT_PTR leftTimer;
void CALLBACK LeftTimerProc(HWND, UINT, UINT_PTR, DWORD) {}
#endif

#if defined(LEAVE_HOOK)
HHOOK leftHook;

LRESULT CALLBACK LeftHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
#endif

#if defined(LEAVE_HANDLER)
void* leftHandler;

LONG CALLBACK LeftHandler(EXCEPTION_POINTERS*)
{
    return EXCEPTION_CONTINUE_SEARCH;
}
#endif

#if defined(MANY_THREADS)
const int MANY = 300;
HANDLE goAhead;

DWORD WINAPI WaitToEnd(void*)
{
    WaitForSingleObject(goAhead, INFINITE);
    return 0;
}

// More threads at once than a host would look for, all ended again.
void StartAndEndMany()
{
    goAhead = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE many[MANY];
    for (HANDLE& thread : many)
        thread = CreateThread(nullptr, 0, WaitToEnd, nullptr, 0, nullptr);
    Sleep(200);
    SetEvent(goAhead);
    for (HANDLE thread : many) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
}
#endif

#if defined(LEAVE_POOL_WORK)
// A work item that never ends, on a thread of the system's pool.
DWORD WINAPI BusyWorkItem(void*)
{
    for (;;)
        Sleep(20);
}
#endif

#if defined(LEAVE_WAIT)
// Called by the system's pool when its event is set, which it never is.
void CALLBACK WaitTimedOut(void*, BOOLEAN) {}
#endif

#if defined(LEAVE_FIBRE_LOCAL)
// Called at every thread's end and at the process's, for a slot with a value.
void WINAPI SlotCleanUp(void*) {}
DWORD leftSlot;
#endif

#if defined(LEAVE_WIDE_DIALOG)
INT_PTR CALLBACK WideDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// A hidden dialog without controls, made with the W call.
struct {
    DLGTEMPLATE header;
    WORD menu, windowClass, title;
} const __attribute__((aligned(4))) WIDE_DIALOG = {{WS_POPUP, 0, 0, 0, 0, 50, 20}, 0, 0, 0};
#endif

#if defined(EXIT_LATER)
// A thread that ends the process, or crashes, a while after the plug-in was
// closed.
DWORD WINAPI ExitLater(void*)
{
    Sleep(EXIT_LATER_MILLISECONDS);
#ifdef CRASH_LATER
    // Raised, not faulted: the code is the same on every processor and
    // emulator, and the exception's address is the system's, not the
    // plug-in's.
    RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 0, nullptr);
    return 0;
#else
    ExitProcess(5);
#endif
}
#endif

} // namespace

void LeaveSomethingBehind([[maybe_unused]] HMODULE self)
{
#ifdef MANY_THREADS
    StartAndEndMany();
#endif
#ifdef LEAVE_THREAD
    busyThread = CreateThread(nullptr, 0, KeepBusy, nullptr, 0, nullptr);
#endif
#ifdef LEAVE_WINDOW
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = LeftWindowProc;
    windowClass.hInstance = self;
    windowClass.lpszClassName = "FixtureLeftWindow";
    RegisterClassA(&windowClass);
    leftWindow = CreateWindowExA(0, "FixtureLeftWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, self, nullptr);
    PostMessageA(leftWindow, WM_USER, 0, 0);
#endif
#ifdef LEAVE_TIMER
    leftTimer = SetTimer(nullptr, 0, 10, LeftTimerProc);
#endif
#ifdef LEAVE_HOOK
    leftHook = SetWindowsHookExA(WH_GETMESSAGE, LeftHookProc, nullptr, GetCurrentThreadId());
#endif
#ifdef LEAVE_HANDLER
    leftHandler = AddVectoredExceptionHandler(1, LeftHandler);
#endif
#ifdef LEAVE_POOL_WORK
    QueueUserWorkItem(BusyWorkItem, nullptr, WT_EXECUTELONGFUNCTION);
#endif
#ifdef LEAVE_WAIT
    HANDLE wait;
    RegisterWaitForSingleObject(&wait, CreateEventA(nullptr, TRUE, FALSE, nullptr), WaitTimedOut, nullptr, INFINITE, 0);
#endif
#ifdef LEAVE_FIBRE_LOCAL
    leftSlot = FlsAlloc(SlotCleanUp);
    FlsSetValue(leftSlot, &leftSlot);
#endif
#ifdef LEAVE_WIDE_DIALOG
    HWND dialog = CreateDialogIndirectParamW(self, &WIDE_DIALOG.header, nullptr, WideDialogProc, 0);
    PostMessageW(dialog, WM_USER, 0, 0);
#endif
#ifdef EXIT_LATER
    CloseHandle(CreateThread(nullptr, 0, ExitLater, nullptr, 0, nullptr));
#endif
}

void TakeItBack([[maybe_unused]] HMODULE self)
{
#ifdef TIDY_IN_CLOSE
#ifdef LEAVE_THREAD
    stopBusy = 1;
    WaitForSingleObject(busyThread, INFINITE);
    CloseHandle(busyThread);
#endif
#ifdef LEAVE_WINDOW
    DestroyWindow(leftWindow);
    UnregisterClassA("FixtureLeftWindow", self);
#endif
#ifdef LEAVE_TIMER
    KillTimer(nullptr, leftTimer);
#endif
#ifdef LEAVE_HOOK
    UnhookWindowsHookEx(leftHook);
#endif
#ifdef LEAVE_HANDLER
    RemoveVectoredExceptionHandler(leftHandler);
#endif
#endif
}

} // namespace fixtures
