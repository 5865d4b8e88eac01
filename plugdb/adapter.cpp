// Stand-in until the adapter registration is built.
#include "plugdb/adapter.h"

bool RegisterAdapter() { return true; }
void UnregisterAdapter() {}
