#include "wizard/progress.h"
#include <windows.h>
#include <algorithm>
#include "resource.h"
#include "wizard/state.h"
#include "wizard/text.h"

namespace {

// Redrawing the progress page costs more than analysing a known plug-in
// (each new line scrolls the list, each new status text is laid out again),
// so the page is brought up to date every 100 ms, or less often where a
// repaint takes longer than a ninth of that: drawing never takes more than a
// tenth of the time. Lines are added with the list's drawing held back, and
// the status line takes the latest path only when it is drawn: what reaches
// the screen is the same as if every path were drawn at once. A probe gets
// no drawing of its own: one that hangs is named by the not-responding
// window, one that crashes by the load-error page.
DWORD lastRepaint;
DWORD repaintCost;
char waitingPath[PATH_TEXT_SIZE];   // the status line's next text, or empty
HWND heldList;                      // the list whose drawing is held back

void ShowWaitingPath()
{
    if (!waitingPath[0])
        return;
    SetDlgItemTextA(progressWindow, IDC_PROGRESS_STATUS, waitingPath);
    waitingPath[0] = 0;
}

void RepaintProgress(HWND list)
{
    DWORD start = GetTickCount();
    ShowWaitingPath();
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    heldList = nullptr;
    InvalidateRect(list, nullptr, TRUE);
    UpdateWindow(progressWindow);
    lastRepaint = GetTickCount();
    repaintCost = lastRepaint - start;
}

// The list is out of drawing's sight while it takes a line: the scroll to
// the new line then moves no pixels (the next repaint draws it). It is back
// in sight before anything else can draw the page.
void AddProgressLine(HWND list, const char* path)
{
    if (heldList != list) {
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        heldList = list;
    }
    LONG_PTR style = GetWindowLongPtrA(list, GWL_STYLE);
    SetWindowLongPtrA(list, GWL_STYLE, style & ~WS_VISIBLE);
    LRESULT line = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path));
    SendMessageA(list, LB_SETCURSEL, line, 0);
    SetWindowLongPtrA(list, GWL_STYLE, style);
}

} // namespace

void ShowProgress(const char* path)
{
    if (!progressWindow)
        return;
    CopyText(waitingPath, path);
    HWND list = GetDlgItem(progressWindow, IDC_PROGRESS_LIST);
    AddProgressLine(list, path);
    if (GetTickCount() - lastRepaint >= std::max<DWORD>(100, 9 * repaintCost))
        RepaintProgress(list);
}
