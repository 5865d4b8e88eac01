// The stages of the run from the scan to the registration, as the run calls
// them one after another; the full-run benchmark times each one.
#pragma once

// The progress page opens and every search folder is scanned into
// FoundDllList.
void ScanFolders();
// Every DLL found is analysed, with the progress page showing each one; the
// page closes after the last.
void AnalyseFoundDlls();
// The entries of the plug-ins not found in this run are removed.
void SweepUntouched();
// The list page, modal.
void ConfigurePlugins();
// The registering notice, while the adapter library registers everything.
// True when it reported success.
bool RegisterPlugins();
// The three lists and the report are emptied, their texts released.
void ReleaseLists();
