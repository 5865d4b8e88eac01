// The touch-and-sweep of "Plug-Ins" entries, and deletion of whole key trees.
#pragma once
#include <windows.h>

void ClearTouchFlags();
void DeleteUntouched();
// Deletes parent\name with everything below it, depth first. 0 when deleted
// or missing (or parent is invalid), E_FAIL for an empty name, else the
// registry error of the step that failed.
LONG EliminateSubkey(HKEY parent, const char* name);
