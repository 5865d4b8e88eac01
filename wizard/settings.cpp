#include "wizard/settings.h"
#include "base/registry.h"
#include "base/state.h"
#include "plugdb/record.h"

namespace {

const char VST_KEY[] = "Software\\Vst";

enum class Folder { Read, NotAText, TooLong };

// A folder text from raw value data. Only text types name a folder. The
// text must end inside a path text: data that fills one or more without a
// terminating zero is a path too long to be a folder (cutting it would name
// another folder).
Folder FolderFromData(DWORD type, const char* data, DWORD size, char* folder)
{
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return Folder::NotAText;
    DWORD length = 0;
    while (length < size && data[length])
        ++length;
    if (length >= PATH_TEXT_SIZE)
        return Folder::TooLong;
    memcpy(folder, data, length);
    folder[length] = 0;
    if (type == REG_EXPAND_SZ && !ExpandText(folder, PATH_TEXT_SIZE))
        return Folder::TooLong;
    return folder[0] ? Folder::Read : Folder::NotAText;
}

// Every value of "Paths", in the order the registry gives them, up to the
// first one that cannot be read (a name or data too long for its buffer).
// Values that hold no text (an empty one, a number) are no folder and are
// passed over.
void EnumerateSearchPaths(HKEY paths)
{
    char name[PATH_TEXT_SIZE];
    char data[PATH_TEXT_SIZE];
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = sizeof name;
        DWORD dataSize = sizeof data;
        DWORD type = 0;
        if (RegEnumValueA(paths, index, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize)
            != ERROR_SUCCESS)
            return;
        char folder[PATH_TEXT_SIZE];
        Folder read = FolderFromData(type, data, dataSize, folder);
        if (read == Folder::TooLong)
            return;
        if (read == Folder::Read)
            SearchPathList.append(NewPathText(folder));
    }
}

// The common VST plug-in folder becomes the first folder of our own.
void AdoptCommonFolder(HKEY paths)
{
    RegKey vst;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, VST_KEY, 0, KEY_READ, vst.receive()) != ERROR_SUCCESS)
        return;
    char data[PATH_TEXT_SIZE];
    DWORD size = sizeof data;
    DWORD type = 0;
    if (RegQueryValueExA(vst, "VstPluginsPath", nullptr, &type, reinterpret_cast<BYTE*>(data), &size)
        != ERROR_SUCCESS)
        return;
    char folder[PATH_TEXT_SIZE];
    if (FolderFromData(type, data, size, folder) != Folder::Read)
        return;
    SearchPathList.append(NewPathText(folder));
    WriteTextValue(paths, folder, folder);
}

} // namespace

RegKey LoadSearchPaths()
{
    RegKey paths;
    CreateKey(HKEY_LOCAL_MACHINE, PATHS_KEY, paths.receive());
    DWORD values = 0;
    RegQueryInfoKeyA(paths, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    if (values > 0)
        EnumerateSearchPaths(paths);
    else
        AdoptCommonFolder(paths);
    return paths;
}

// Options and defaults are read as exactly 4 bytes whatever their stored
// type; a value of another size is treated as missing.
void ReadWizardOptions()
{
    RegKey product;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PRODUCT_KEY, 0, KEY_READ, product.receive()) != ERROR_SUCCESS)
        return;
    ReadDwordValue(product, "subDivide", &WizardOptions.subDivide);
    ReadDwordValue(product, "noPrefix", &WizardOptions.noPrefix);
    ReadDwordValue(product, "rescanExisting", &WizardOptions.rescanExisting);
}

void ReadDefaults()
{
    RegKey defaults;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, DEFAULTS_KEY, 0, KEY_READ, defaults.receive()) != ERROR_SUCCESS) {
        DefaultRecord.registerAsPlug = 1;
        DefaultRecord.registerAsSynth = 0;
        return;
    }
    ReadDwordValue(defaults, "registerAsPlug", &DefaultRecord.registerAsPlug);
    ReadDwordValue(defaults, "registerAsSynth", &DefaultRecord.registerAsSynth);
    ReadDwordValue(defaults, "forceStereo", &DefaultRecord.forceStereo);
    ReadDwordValue(defaults, "nrpnPassThrough", &DefaultRecord.nrpnPassThrough);
}
