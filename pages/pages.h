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

// The not-responding window, on the watchdog's thread. MakeHangWindow makes
// it ahead, hidden (again, once the last one has been seen), so that it can
// appear while a plug-in holds the loader's lock. AskHangQuestion shows it
// and returns IDC_HANG_WAIT or IDC_HANG_SKIP, or 0 once stillWaiting() says
// the plug-in returned; with mustClose it only tells that the wizard must
// close, and returns when that has been read. Once waitedIn() gives a
// window, it tells that the plug-in waits for an answer in that window of
// its own, and keeps clear of it.
struct HangQuestion {
    const char* pluginName;
    const char* step;
    DWORD stepStart;            // GetTickCount() when the step began
    bool (*stillWaiting)();
    HWND (*waitedIn)();
    bool mustClose;
};
void MakeHangWindow();
int AskHangQuestion(const HangQuestion& question);
extern const DLGPROC DlgHangProc;

// The shell's folder browser as the search-path page's "Add..." calls it;
// tests put their own answer here.
extern PIDLIST_ABSOLUTE (WINAPI* BrowseForFolder)(LPBROWSEINFOA info);
