// The not-responding window: asked on the watchdog's thread while a plug-in
// holds the wizard's thread. It writes no trace: the trace belongs to the
// wizard's thread and must go on naming the plug-in's step.
#include <cstdio>
#include "pages/pages.h"
#include "about/help.h"
#include "resource.h"
#include "wizard/trap.h"

namespace {

const UINT_PTR LOOK_TIMER = 1;
const UINT LOOK_INTERVAL = 250;

void ShowWaited(HWND dialog, const HangQuestion* question)
{
    char text[96];
    snprintf(text, sizeof text, "The Wizard has waited %lu seconds for it.",
             static_cast<unsigned long>((GetTickCount() - question->stepStart) / 1000));
    SetDlgItemTextA(dialog, IDC_HANG_WAITED, text);
}

INT_PTR HangMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* question = reinterpret_cast<const HangQuestion*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_HELP:
        ShowHelp();
        return TRUE;
    case WM_INITDIALOG:
        question = reinterpret_cast<const HangQuestion*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        SetDlgItemTextA(dialog, IDC_HANG_NAME, question->pluginName);
        SetDlgItemTextA(dialog, IDC_HANG_STEP, question->step);
        ShowWaited(dialog, question);
        // No owner, yet above the progress page, which cannot be brought
        // forward while its thread is in the plug-in.
        SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetTimer(dialog, LOOK_TIMER, LOOK_INTERVAL, nullptr);
        return TRUE;
    case WM_TIMER:
        if (!question->stillWaiting())
            EndDialog(dialog, 0);
        else
            ShowWaited(dialog, question);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_HANG_WAIT || LOWORD(wParam) == IDC_HANG_SKIP)
            EndDialog(dialog, LOWORD(wParam));
        return FALSE;
    }
    return FALSE;
}

} // namespace

const DLGPROC DlgHangProc = GuardedDialogProc<HangMessage>;
