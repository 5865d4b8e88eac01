// The wizard run: the program's whole life, from the welcome page to the
// finished page.
#pragma once
#include <windows.h>

// The whole run inside the outer trap region. Always 0.
int WizardMain(HINSTANCE instance);

// One step of the analysis: the DLL's entry created or read, the DLL probed
// where needed, its record written (and kept in PluginList) or its entry
// deleted.
void AnalyseDll(const char* path);

// Shows a modal page of the run. A page that cannot be shown (no display, no
// template) ends the process as "&Cancel" does.
void ShowRunPage(int id, DLGPROC proc, LPARAM parameter = 0);
