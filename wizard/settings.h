// The program's settings under the product key: search folders, run
// options and the defaults for newly found plug-ins.
#pragma once
#include <windows.h>
#include "base/registry.h"

// Creates or opens "Paths", fills SearchPathList from it (or from the common
// "VstPluginsPath" when it holds no folder) and returns it still open.
RegKey LoadSearchPaths();
// subDivide, noPrefix and rescanExisting from the product key.
void ReadWizardOptions();
// The four stored defaults into DefaultRecord.
void ReadDefaults();
