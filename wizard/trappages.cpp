#include "wizard/trappages.h"
#include "about/help.h"
#include "base/state.h"
#include "base/trap.h"
#include "resource.h"

namespace {

bool exceptionPageShown;

INT_PTR LoadErrorMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    TraceProc("DlgErrProc");
    switch (message) {
    case WM_HELP:
        ShowHelp();
        return TRUE;
    case WM_INITDIALOG: {
        const char* pluginName = reinterpret_cast<const char*>(lParam);
        SetDlgItemTextA(dialog, IDC_LOAD_ERROR_NAME, pluginName ? pluginName : "");
        SetDlgItemTextA(dialog, IDC_LOAD_ERROR_STEP, FailureTrace.traceProbeStep);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            EndDialog(dialog, 0);
        return FALSE;
    }
    return FALSE;
}

// Writes no trace: the page shows the texts as the trap left them.
INT_PTR ExceptionMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_HELP:
        ShowHelp();
        return TRUE;
    case WM_INITDIALOG:
        SetDlgItemTextA(dialog, IDC_EXCEPTION_OPERATION, FailureTrace.traceOperation);
        SetDlgItemTextA(dialog, IDC_EXCEPTION_POINT, FailureTrace.traceFailurePoint);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            EndDialog(dialog, 0);
        return FALSE;
    }
    return FALSE;
}

} // namespace

const DLGPROC DlgErrProc = GuardedDialogProc<LoadErrorMessage>;
const DLGPROC DlgExceptionProc = GuardedDialogProc<ExceptionMessage>;

void ShowExceptionPage()
{
    if (exceptionPageShown)
        EndWizardProcess();
    exceptionPageShown = true;
    if (!Trapped([] {
            ShowModalDialog(IDD_EXCEPTION, DlgExceptionProc);
        }))
        EndWizardProcess();
}
