// The wizard run: the program's whole life, from the welcome page to the
// finished page.
#pragma once
#include <windows.h>
#include "plugdb/record.h"

// The whole run inside the outer trap region. Always 0.
int WizardMain(HINSTANCE instance);

// One step of the analysis: the DLL's entry created or read, the DLL probed
// where needed, its record written (and kept in PluginList) or its entry
// deleted.
void AnalyseDll(const char* path);

// Shows a modal page of the run. A page that cannot be shown (no display, no
// template) ends the process as "&Cancel" does.
void ShowRunPage(int id, DLGPROC proc, LPARAM parameter = 0);

// The file fields of a probed DLL's record: DosName (the entry name),
// FullName (the long file name without its extension) and FullPath.
void FillFileFields(PluginRecord& record, const char* entryName, const char* path);

// The entry name of a DLL: the base of its short (8.3) file name, at most
// eight characters (the long name's when it has no short one). False when
// no usable name can be made.
bool MakeEntryName(const char* path, char (&name)[10]);
