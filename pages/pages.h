// The wizard's pages and dialogs.
#pragma once
#include <windows.h>
#include <shlobj.h>

extern const DLGPROC DlgWelcomeProc;
// Progress page, registering notice and finished page. The finished page
// takes, as its creation parameter, a text to show in place of its success
// message (null on success).
extern const DLGPROC DlgNullProc;
extern const DLGPROC DlgPathsProc;
extern const DLGPROC DlgResetProc;
extern const DLGPROC DlgListProc;
extern const DLGPROC DlgItemProc;
extern const DLGPROC DlgPropsProc;
// What became of every DLL the scan found (dialog 140), from the list page.
extern const DLGPROC DlgReportProc;
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
extern const DLGPROC DlgHangProc;

// The shell's folder browser as the search-path page's "Add..." calls it;
// tests put their own answer here.
extern PIDLIST_ABSOLUTE (WINAPI* BrowseForFolder)(LPBROWSEINFOA info);
