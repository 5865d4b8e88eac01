// The touch-and-sweep of "Plug-Ins" entries, and deletion of whole key trees.
#pragma once
#include <windows.h>

void ClearTouchFlags();
void DeleteUntouched();
// Deletes parent\name with everything below it, depth first. 0 when deleted
// or missing (or parent is invalid), E_FAIL for an empty name, else the
// registry error of the step that failed.
LONG EliminateSubkey(HKEY parent, const char* name);

// Visits every subkey of key once, in enumeration order, in a single pass.
// visit(key, name) deletes the subkey or leaves it, and returns whether it
// tried to delete it; one that could not be deleted is then stepped past.
// Returns the status that ended the enumeration (ERROR_NO_MORE_ITEMS once
// every subkey has been visited).
LONG SweepSubkeys(HKEY key, bool (*visit)(HKEY key, const char* name));
