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

// The entry name of a DLL: the base of its short (8.3) file name, at most
// eight characters (the long name's when it has no short one). False when
// no usable name can be made.
bool MakeEntryName(const char* path, char (&name)[10]);
