#include "base/trap.h"
#include "base/threadstate.h"

namespace {

// An exception registration record on the stack, followed by the place the
// region resumes at after a trap and the code of the exception trapped.
struct TrapFrame {
    TrapFrame* next;
    void* handler;
    void* resume[5];
    volatile DWORD exceptionCode;   // read after the jump back: never kept in a register
};

TrapFrame* ChainHead()
{
    TrapFrame* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void SetChainHead(TrapFrame* head)
{
    asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}

extern "C" EXCEPTION_DISPOSITION __cdecl TrapHandler(EXCEPTION_RECORD* record, void* establisher,
                                                     CONTEXT*, void*)
{
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    // A plug-in's unmasked x87 exceptions would fault again in the code below.
    RestoreFloatingPointState();
    TrapFrame* frame = static_cast<TrapFrame*>(establisher);
    frame->exceptionCode = record->ExceptionCode;
    // Lets the frames above ours run their unwind handlers, then leaves
    // ours at the head of the chain.
    RtlUnwind(frame, nullptr, record, nullptr);
    SetChainHead(frame->next);
    __builtin_longjmp(frame->resume, 1);
}

__attribute__((noinline)) bool CallCatching(void (*body)(void*), void* context)
{
    try {
        body(context);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace

bool pluginLeftLoaded;
void (*answerTrap)();

TrapResult RunTrapped(void (*body)(void*), void* context)
{
    TrapFrame frame;
    frame.next = ChainHead();
    frame.handler = reinterpret_cast<void*>(TrapHandler);
    frame.exceptionCode = 0;
    if (__builtin_setjmp(frame.resume)) {
        DWORD code = frame.exceptionCode;
        // The overflow used up the guard page; the stack is unwound to here
        // now, so it can be armed again.
        if (code == EXCEPTION_STACK_OVERFLOW)
            RearmStackGuard();
        return {false, code};
    }
    SetChainHead(&frame);
    bool finished = CallCatching(body, context);
    SetChainHead(frame.next);
    return {finished, 0};
}

void EndWizardProcess()
{
    if (pluginLeftLoaded)
        TerminateProcess(GetCurrentProcess(), 0);
    ExitProcess(0);
}

INT_PTR GuardedDialogCall(INT_PTR (*handler)(HWND, UINT, WPARAM, LPARAM),
                          HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR result = 0;
    if (!Trapped([&] { result = handler(dialog, message, wParam, lParam); })) {
        if (answerTrap)
            answerTrap();
        EndWizardProcess();
    }
    return result;
}

