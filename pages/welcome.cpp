// The welcome page: the first page of the run.
#include "about/about.h"
#include "about/help.h"
#include "about/picture.h"
#include "base/state.h"
#include "base/trap.h"
#include "pages/pages.h"
#include "resource.h"

namespace {

// The About box has no owner, so the page is disabled while it is up, as an
// owner would be: otherwise a second "&About..." would open a second box.
void ShowAbout(HWND page)
{
    EnableWindow(page, FALSE);
    ShowModalDialog(IDD_ABOUT, DlgAboutProc);
    EnableWindow(page, TRUE);
    SetForegroundWindow(page);
}

INT_PTR WelcomeCommand(HWND page, int command)
{
    switch (command) {
    case IDC_WELCOME_ABOUT:
        ShowAbout(page);
        break;
    case IDOK:
        EndDialog(page, 0);
        break;
    case IDC_WELCOME_CANCEL:
        // Nothing has been read or written yet: there is nothing to undo.
        ExitProcess(0);
    }
    return 0;
}

INT_PTR WelcomeMessage(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    // The welcome page shares its trace texts with the other information pages.
    TraceProc("DlgNullProc");
    switch (message) {
    case WM_HELP:
        ShowHelp();
        return TRUE;
    case WM_INITDIALOG:
        FitPictures(page);
        return TRUE;
    case WM_COMMAND:
        return WelcomeCommand(page, LOWORD(wParam));
    }
    return 0;
}

} // namespace

const DLGPROC DlgWelcomeProc = GuardedDialogProc<WelcomeMessage>;
