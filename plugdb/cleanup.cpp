// Stand-in until the clean-up is built.
#include "plugdb/cleanup.h"

void RegistryCleanup() {}
void ResetConfiguration() {}
