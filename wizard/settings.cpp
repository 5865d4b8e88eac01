// Stand-in until the settings store is built.
#include "wizard/settings.h"
#include "wizard/registry.h"
#include "wizard/state.h"

HKEY LoadSearchPaths()
{
    HKEY paths = nullptr;
    CreateKey(HKEY_LOCAL_MACHINE, PATHS_KEY, &paths);
    return paths;
}

void ReadWizardOptions() {}

void ReadDefaults()
{
    DefaultRecord.registerAsPlug = 1;
}
