// The program's process-wide state, set back between tests.
#pragma once
#include "wizard/state.h"

void EmptyPluginList();
// Frees every text of a list of path texts and empties it.
void EmptyPathList(WizardList<char*>& list);
// What a run starts from: this program as the module, the options and the
// defaults record all zero, and no plug-in listed.
void StartFreshRun();
