// Stand-in until the folder scan is built.
#include "probe/scan.h"

void GetVstPaths(char*) {}
