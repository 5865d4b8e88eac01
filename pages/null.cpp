// The progress page, the registering notice and the finished page: pages that
// only inform, and take no input but the finished page's "&Finish".
#include "about/picture.h"
#include "base/state.h"
#include "base/trap.h"
#include "pages/pages.h"
#include "resource.h"

namespace {

// The finished page after a failed registration: the run's text replaces the
// success message, in the room above the separator line (the success line's
// own two lines are too few for it).
void ShowFailure(HWND page, const char* text)
{
    HWND message = GetDlgItem(page, IDC_FINISHED_TEXT);
    if (!message)
        return;
    RECT room = {99, 10, 99 + 220, 130};
    MapDialogRect(page, &room);
    MoveWindow(message, room.left, room.top, room.right - room.left, room.bottom - room.top, FALSE);
    SetWindowTextA(message, text);
}

INT_PTR NullMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    TraceProc("DlgNullProc");
    switch (message) {
    case WM_INITDIALOG:
        FitPictures(page);
        if (lParam)
            ShowFailure(page, reinterpret_cast<const char*>(lParam));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            EndDialog(page, 0);
        return 0;
    }
    return 0;
}

} // namespace

const DLGPROC DlgNullProc = GuardedDialogProc<NullMessage>;
