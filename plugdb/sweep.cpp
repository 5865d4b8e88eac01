// Stand-in until the sweep is built.
#include "plugdb/sweep.h"

void ClearTouchFlags() {}
void DeleteUntouched() {}
LONG EliminateSubkey(HKEY, const char*) { return 0; }
