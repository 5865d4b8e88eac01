// The progress page as the analysis writes into it: every DLL's path added
// to its list, and shown on its status line. No message loop runs
// meanwhile, so the page is drawn on request, at a pace that keeps drawing
// to a tenth of the time; a DLL about to be loaded is named at once.
#pragma once

// The DLL the analysis turns to next. path is a FoundDllList text, which
// lives as long as the page.
void ShowProgress(const char* path);

// The DLL about to be loaded: its path goes onto the status line and is
// drawn there now, before the plug-in's code can run (its own window, the
// not-responding window or the load-error page may come next).
void ShowLoadingDll(const char* path);
