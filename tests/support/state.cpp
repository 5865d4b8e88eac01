#include "support/state.h"
#include <commctrl.h>
#include <objbase.h>
#include "base/registry.h"
#include "base/text.h"
#include "probe/scan.h"
#include "wizard/stages.h"

void StartFreshRun()
{
    moduleInstance = GetModuleHandleA(nullptr);
    WizardOptions = {};
    DefaultRecord = {};
    ReleaseLists();
    editSelectedPlugin = 0;
    rememberedRow = -1;
    InitCommonControls();
    CoInitialize(nullptr);
}

PluginRecord& AddPlugin(const char* name, const char* dosName, const char* path,
                        const std::function<void(PluginRecord&)>& setup)
{
    PluginRecord record{};
    CopyText(record.FullName, name);
    CopyText(record.DosName, dosName);
    CopyText(record.FullPath, path);
    record.isVst = 1;
    record.registerAsPlug = 1;
    if (setup)
        setup(record);
    std::string key = std::string(PLUGINS_KEY "\\") + dosName;
    RegKey entry;
    if (*dosName && CreateKey(HKEY_LOCAL_MACHINE, key.c_str(), entry.receive()) == ERROR_SUCCESS)
        WriteVstData(entry, &record);
    return PluginList.append(record)->element;
}

std::vector<std::string> TakeFound()
{
    std::vector<std::string> found;
    while (ListEntry<char*>* entry = FoundDllList.first()) {
        found.push_back(entry->element);
        FreePathText(entry->element);
        FoundDllList.remove(entry);
    }
    return found;
}

std::vector<std::string> ScanFolder(const std::string& folder)
{
    char* text = NewPathText(folder.c_str());
    GetVstPaths(text);
    FreePathText(text);
    return TakeFound();
}
