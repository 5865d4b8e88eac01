// The progress page as the analysis writes into it: every DLL's path added
// and selected in its list, and shown on its status line. No message loop
// runs meanwhile, so the page is drawn on request, at a pace that keeps
// drawing to a tenth of the time.
#pragma once

// The DLL the analysis turns to next. path is a FoundDllList text, which
// lives as long as the page.
void ShowProgress(const char* path);
