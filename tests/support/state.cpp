#include "support/state.h"

void EmptyPluginList()
{
    while (PluginList.count)
        PluginList.remove(PluginList.first());
}

void EmptyPathList(WizardList<char*>& list)
{
    while (list.count) {
        FreePathText(list.first()->element);
        list.remove(list.first());
    }
}

void StartFreshRun()
{
    moduleInstance = GetModuleHandleA(nullptr);
    WizardOptions = {};
    DefaultRecord = {};
    EmptyPluginList();
}
