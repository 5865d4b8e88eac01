// Stand-in until the probe is built.
#include "probe/probe.h"

void LoadVstPlugin(PluginRecord*) {}
