// What a run that died inside a probe left behind, taken up by the next run;
// and the one wizard at a time that this needs.
#pragma once

// Ends the process (exit code 0) after a message when another wizard is
// running: two runs would take each other's probe marker for a dead run's.
void ClaimWizard();

// When the last run ended inside the probe of a DLL that is still there:
// writes that DLL's entry as a plug-in that faulted, removes the marker, puts
// its last step into the trace, and gives the plug-in's name for the
// load-error page the run then shows. Null otherwise; a marker that is
// malformed or names a missing DLL is only removed.
const char* RecoverMarkedPlugin();

// The DLL path taken from the marker in this run; null when there was none.
const char* RecoveredPluginPath();
