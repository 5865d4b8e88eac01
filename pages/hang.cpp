// The not-responding window: shown on the watchdog's thread while a plug-in
// holds the wizard's thread. It writes no trace: the trace belongs to the
// wizard's thread and must go on naming the plug-in's step.
//
// A plug-in stuck in its DllMain holds the loader's lock, and under it no
// dialog can be made from a template, nor a window shown the first time or
// activated with an input method looking on. So the window is made ahead,
// with input methods off for its thread, and shown once unseen.
#include <windows.h>
#include <imm.h>
#include <cstdio>
#include "about/help.h"
#include "base/state.h"
#include "base/trap.h"
#include "pages/pages.h"
#include "resource.h"

namespace {

const UINT_PTR LOOK_TIMER = 1;
const UINT LOOK_INTERVAL = 250;

const char MUST_CLOSE_ADVICE[] = "The Configuration Wizard cannot stop this plug-in, and must close now. When you "
                                 "run it again, it will go on without this plug-in.";

const char OWN_WINDOW_ADVICE[] = "It is waiting for an answer in a window of its own: answer that window, and the "
                                 "Wizard goes on. Skip this plug-in closes that window and disables the plug-in, "
                                 "and the Wizard goes on with the next one.";

HWND window;                    // made ahead, hidden and untitled until asked
char caption[64];               // its title, from the template
bool shown;                     // it has been seen: the next question gets a new one
bool toldOwnWindow;             // it says the plug-in waits in a window of its own
const HangQuestion* asked;      // while it is up
int answer;                     // -1 until there is one

void ShowWaited(HWND dialog)
{
    char text[96];
    snprintf(text, sizeof text, "The Wizard has waited %lu seconds for it.",
             static_cast<unsigned long>((GetTickCount() - asked->stepStart) / 1000));
    SetDlgItemTextA(dialog, IDC_HANG_WAITED, text);
}

// Below the plug-in's own window, which is to be answered, or above it when
// the screen has no room below.
void MoveClearOf(HWND dialog, HWND waitedIn)
{
    RECT mine, theirs;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetWindowRect(dialog, &mine) || !GetWindowRect(waitedIn, &theirs)
        || !GetMonitorInfoA(MonitorFromWindow(waitedIn, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    int height = mine.bottom - mine.top;
    int top = theirs.bottom + height <= monitor.rcWork.bottom ? theirs.bottom : theirs.top - height;
    if (top < monitor.rcWork.top)
        top = monitor.rcWork.top;
    SetWindowPos(dialog, nullptr, mine.left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Once the plug-in waits in a window of its own, says so and keeps clear of it.
void TellOwnWindow(HWND dialog)
{
    if (toldOwnWindow)
        return;
    if (HWND waitedIn = asked->waitedIn()) {
        toldOwnWindow = true;
        SetDlgItemTextA(dialog, IDC_HANG_ADVICE, OWN_WINDOW_ADVICE);
        MoveClearOf(dialog, waitedIn);
    }
}

INT_PTR HangMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_HELP:
        ShowHelp();
        return TRUE;
    case WM_INITDIALOG:
        return TRUE;
    case WM_TIMER:
        if (!asked)
            return TRUE;
        if (!asked->stillWaiting()) {
            answer = 0;
        } else {
            ShowWaited(dialog);
            TellOwnWindow(dialog);
        }
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_HANG_WAIT || LOWORD(wParam) == IDC_HANG_SKIP)
            answer = LOWORD(wParam);
        return FALSE;
    }
    return FALSE;
}

// Shown once with no pixels of its own (an empty window region) and no
// title, so that neither a person nor a program looking for the question
// sees it, and nothing of it stays on a page that cannot repaint.
void ShowUnseen(HWND dialog)
{
    GetWindowTextA(dialog, caption, sizeof caption);
    SetWindowTextA(dialog, "");
    SetWindowRgn(dialog, CreateRectRgn(0, 0, 0, 0), FALSE);
    ShowWindow(dialog, SW_SHOWNOACTIVATE);
    UpdateWindow(dialog);
    ShowWindow(dialog, SW_HIDE);
    SetWindowRgn(dialog, nullptr, FALSE);
}

void ShowMustClose(HWND dialog)
{
    SetDlgItemTextA(dialog, IDC_HANG_WAITED, "");
    SetDlgItemTextA(dialog, IDC_HANG_ADVICE, MUST_CLOSE_ADVICE);
    ShowWindow(GetDlgItem(dialog, IDC_HANG_WAIT), SW_HIDE);
    SetDlgItemTextA(dialog, IDC_HANG_SKIP, "OK");
    SendMessageA(dialog, DM_SETDEFID, IDC_HANG_SKIP, 0);
}

} // namespace

const DLGPROC DlgHangProc = GuardedDialogProc<HangMessage>;

void MakeHangWindow()
{
    if (window && !shown)
        return;
    if (window)
        DestroyWindow(window);
    ImmDisableIME(GetCurrentThreadId());
    window = CreateDialogParamA(moduleInstance, MAKEINTRESOURCEA(IDD_HANG), nullptr, DlgHangProc, 0);
    shown = false;
    if (window)
        ShowUnseen(window);
}

int AskHangQuestion(const HangQuestion& question)
{
    MakeHangWindow();
    if (!window)
        return IDC_HANG_WAIT;
    asked = &question;
    answer = -1;
    shown = true;
    SetWindowTextA(window, caption);
    SetDlgItemTextA(window, IDC_HANG_NAME, question.pluginName);
    SetDlgItemTextA(window, IDC_HANG_STEP, question.step);
    if (question.mustClose) {
        ShowMustClose(window);
    } else {
        ShowWaited(window);
        toldOwnWindow = false;
        TellOwnWindow(window);
        SetTimer(window, LOOK_TIMER, LOOK_INTERVAL, nullptr);
    }
    // No owner, yet above the progress page, which cannot be brought
    // forward while its thread is in the plug-in.
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ShowWindow(window, SW_SHOW);
    MSG message;
    while (answer < 0 && GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    KillTimer(window, LOOK_TIMER);
    ShowWindow(window, SW_HIDE);
    asked = nullptr;
    return answer < 0 ? 0 : answer;
}
