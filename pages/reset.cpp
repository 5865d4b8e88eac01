// The confirmation asked before the whole adapter configuration is reset.
// Its result is 1 for "Yes" and 0 for "No".
#include "about/help.h"
#include "base/state.h"
#include "base/trap.h"
#include "pages/pages.h"
#include "resource.h"

namespace {

// F1 is answered before the trace is written, so the trace still names
// what the page behind was doing.
INT_PTR ResetMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_HELP) {
        ShowHelp();
        return TRUE;
    }
    TraceProc("DlgResetProc");
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(dialog, 1);
            break;
        case IDC_RESET_NO:
            EndDialog(dialog, 0);
            break;
        }
        return FALSE;
    }
    return FALSE;
}

} // namespace

const DLGPROC DlgResetProc = GuardedDialogProc<ResetMessage>;
