// The wizard's pages and dialogs.
#pragma once
#include <windows.h>
#include <shlobj.h>

INT_PTR CALLBACK DlgWelcomeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Progress page, registering notice and finished page. The finished page
// takes, as its creation parameter, a text to show in place of its success
// message (null on success).
INT_PTR CALLBACK DlgNullProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DlgPathsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DlgResetProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DlgListProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DlgItemProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DlgPropsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// What became of every DLL the scan found (dialog 140), from the list page.
INT_PTR CALLBACK DlgReportProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void RefreshPlugList();

// The not-responding window, opened on the watchdog's thread with a
// HangQuestion as its creation parameter. Ends with IDC_HANG_WAIT or
// IDC_HANG_SKIP, or with 0 once stillWaiting() says the plug-in returned.
struct HangQuestion {
    const char* pluginName;
    const char* step;
    DWORD stepStart;            // GetTickCount() when the step began
    bool (*stillWaiting)();
};
INT_PTR CALLBACK DlgHangProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The shell's folder browser as the search-path page's "Add..." calls it;
// tests put their own answer here.
extern PIDLIST_ABSOLUTE (WINAPI* BrowseForFolder)(LPBROWSEINFOA info);
