// The pages that show what a trap region caught: the load-error page after a
// plug-in's probe, the exception page after anything else.
#pragma once
#include <windows.h>

// Takes the name of the plug-in as its creation parameter; shows the trace's
// probe step beside it.
extern const DLGPROC DlgErrProc;
extern const DLGPROC DlgExceptionProc;

// The outer region's answer to a trap: the exception page, with the trace as
// the trap left it. A fault while the page is up ends the process (exit code 0).
void ShowExceptionPage();
