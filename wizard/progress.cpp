#include "wizard/progress.h"
#include <windows.h>
#include <algorithm>
#include <cstring>
#include "base/state.h"
#include "base/text.h"
#include "resource.h"

namespace {

// Redrawing the progress page costs more than analysing a known plug-in
// (each new line scrolls the list, each new status text is laid out again),
// so the page is brought up to date every 100 ms, or less often where a
// repaint takes longer than a ninth of that: drawing never takes more than a
// tenth of the time. In between, a DLL costs the list one message: its line
// is added with the list's drawing held back, and the last line is selected
// (which scrolls it into view) and the status line takes the latest path
// only when the page is drawn. What reaches the screen is the same as if
// every path were drawn at once. A DLL that is loaded is selected in the
// list and named on the status line at once, and only the status line is
// drawn then (ShowLoadingDll).
DWORD lastRepaint;
DWORD repaintCost;
char waitingPath[PATH_TEXT_SIZE];   // the status line's next text, or empty
HWND page;                          // the page the handles below belong to
HWND list, status;
LRESULT lastLine = LB_ERR;          // the line to select at the next repaint
bool held;                          // the list's drawing is held back

// The page's controls, looked up once a page; the list's storage reserved
// for every DLL found, so it grows no line at a time.
bool FindControls()
{
    if (!progressWindow)
        return false;
    if (page != progressWindow) {
        page = progressWindow;
        list = GetDlgItem(page, IDC_PROGRESS_LIST);
        status = GetDlgItem(page, IDC_PROGRESS_STATUS);
        lastLine = LB_ERR;
        held = false;
        waitingPath[0] = 0;
        SendMessageA(list, LB_INITSTORAGE, FoundDllList.count, FoundDllList.count * 64);
    }
    return true;
}

void ShowWaitingPath()
{
    if (!waitingPath[0])
        return;
    SetWindowTextA(status, waitingPath);
    waitingPath[0] = 0;
}

// The selection scrolls the last line into view while the list is out of
// drawing's sight, so no stale pixels move; the whole list is drawn after.
void SelectLastLine()
{
    if (lastLine == LB_ERR)
        return;
    LONG_PTR style = GetWindowLongPtrA(list, GWL_STYLE);
    SetWindowLongPtrA(list, GWL_STYLE, style & ~WS_VISIBLE);
    SendMessageA(list, LB_SETCURSEL, lastLine, 0);
    SetWindowLongPtrA(list, GWL_STYLE, style);
    lastLine = LB_ERR;
}

void RepaintProgress()
{
    DWORD start = GetTickCount();
    ShowWaitingPath();
    SelectLastLine();
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    held = false;
    InvalidateRect(list, nullptr, TRUE);
    UpdateWindow(page);
    lastRepaint = GetTickCount();
    repaintCost = lastRepaint - start;
}

} // namespace

void ShowProgress(const char* path)
{
    if (!FindControls())
        return;
    CopyText(waitingPath, path);
    if (!held) {
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        held = true;
    }
    LRESULT line = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path));
    if (line >= 0)
        lastLine = line;
    if (GetTickCount() - lastRepaint >= std::max<DWORD>(100, 9 * repaintCost))
        RepaintProgress();
}

void ShowLoadingDll(const char* path)
{
    if (!FindControls())
        return;
    if (strcmp(waitingPath, path) == 0)
        waitingPath[0] = 0;
    SelectLastLine();
    SetWindowTextA(status, path);
    UpdateWindow(status);
}
