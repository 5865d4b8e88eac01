// The probe: loads one DLL as a VST 2 plug-in and reads what it is.
#pragma once
#include <windows.h>
#include "plugdb/record.h"

// Probes the DLL at record->FullPath and fills the record in place.
void LoadVstPlugin(PluginRecord* record);
