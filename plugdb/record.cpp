#include "plugdb/record.h"
#include <objbase.h>
#include <cstdio>
#include <cstring>
#include "base/registry.h"
#include "base/state.h"
#include "base/text.h"
#include "plugdb/adapter.h"
#include "plugdb/shortnames.h"

WizardList<PluginRecord> PluginList;
PluginRecord DefaultRecord;

DWORD subdivideCount;
DWORD subdivideGroup;

namespace {

// The 32-bit fields in the order they are read and written.
struct DwordField {
    const char* name;
    DWORD PluginRecord::*field;
};

#define FIELD(f) {#f, reinterpret_cast<DWORD PluginRecord::*>(&PluginRecord::f)}
const DwordField DWORD_FIELDS[] = {
    FIELD(isBad),          FIELD(isSynth),         FIELD(isVst),       FIELD(numInputs),
    FIELD(numOutputs),     FIELD(numPrograms),     FIELD(numParams),   FIELD(progsChunks),
    FIELD(registerAsPlug), FIELD(registerAsSynth), FIELD(uniqueId),    FIELD(wantEvents),
    FIELD(cxEditor),       FIELD(cyEditor),        FIELD(forceStereo), FIELD(nrpnPassThrough),
};
#undef FIELD

GUID ParseClassText(const char* text)
{
    WCHAR wide[64];
    GUID id{};
    if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, wide, 64) > 0)
        CLSIDFromString(wide, &id);
    return id;
}

GUID ReadClassId(HKEY key, const char* name)
{
    char text[64];
    if (!ReadTextValue(key, name, text, sizeof text))
        return GUID{};
    return ParseClassText(text);
}

void FormatClassId(char (&text)[64], const GUID& id)
{
    snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
             id.Data1, id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2],
             id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
}

// The adapter library in the program's folder. False when that path does
// not fit its 256-character buffer even in its short form: a cut path would
// name the wrong file.
bool AdapterLibraryPath(char (&path)[256])
{
    char folder[MAX_PATH + 1];
    if (!ModuleFilePath(moduleInstance, folder, sizeof folder, ""))
        return false;
    if (CopyText(path, folder) && AppendText(path, ADAPTER_LIBRARY_FILE))
        return true;
    char shortForm[MAX_PATH + 1];
    DWORD length = GetShortPathNameA(folder, shortForm, sizeof shortForm);
    if (length == 0 || length >= sizeof shortForm)
        return false;
    return CopyText(path, shortForm) && AppendText(path, ADAPTER_LIBRARY_FILE);
}

// "VST", the subdivide group, a space and the name, cut so that "_P" still
// fits the 64-character buffer after it.
void MakeDisplayName(char (&name)[64], const PluginRecord& record)
{
    const WizardOptionFlags& options = WizardOptions;
    char prefix[32] = "";
    if (!options.noPrefix)
        CopyText(prefix, "VST");
    if (options.subDivide) {
        ++subdivideCount;
        if (subdivideCount % 25 == 0)
            ++subdivideGroup;
        char group[16];
        snprintf(group, sizeof group, "%lu", subdivideGroup);
        AppendText(prefix, group);
    }
    if (!(options.noPrefix && !options.subDivide))
        AppendText(prefix, " ");
    CopyText(name, sizeof name - 2, prefix);
    AppendText(name, sizeof name - 2, record.FullName);
}

void RegisterComClass(const char* classText, const char* displayName, const char* libraryPath)
{
    char keyPath[128];
    CopyText(keyPath, "CLSID\\");
    AppendText(keyPath, classText);
    RegKey classKey;
    if (CreateKey(HKEY_CLASSES_ROOT, keyPath, classKey.receive()) != ERROR_SUCCESS)
        return;
    WriteTextValue(classKey, nullptr, displayName);
    if (!libraryPath)
        return;
    RegKey server;
    if (CreateKey(classKey, "InprocServer32", server.receive()) == ERROR_SUCCESS)
        WriteTextValue(server, nullptr, libraryPath);
}

// The base of the last path component, cut at its last dot (unless that
// would leave nothing) and at eight characters. False when only dots or
// nothing would remain, since such a name would open "Plug-Ins" itself.
bool BaseName(const char* form, char (&name)[10])
{
    const char* base = strrchr(form, '\\');
    base = base ? base + 1 : form;
    size_t length = strlen(base);
    const char* dot = strrchr(base, '.');
    if (dot && dot != base)
        length = dot - base;
    if (length > 8)
        length = 8;
    memset(name, 0, sizeof name);
    memcpy(name, base, length);
    return strspn(name, ".") != length;
}

} // namespace

void MakeClassText(char (&text)[64], const PluginRecord& record, bool propertyPage)
{
    const unsigned char* dos = reinterpret_cast<const unsigned char*>(record.DosName);
    snprintf(text, sizeof text, "%s%04lX-%04lX-%02X%02X-%02X%02X%02X%02X%02X%02X}",
             propertyPage ? PROPERTY_PAGE_CLASS_PREFIX : PLUGIN_CLASS_PREFIX, record.uniqueId >> 16,
             record.uniqueId & 0xFFFF,
             dos[0], dos[1], dos[2], dos[3], dos[4], dos[5], dos[6], dos[7]);
}

void StoredNumbers::note(const char* name, DWORD value)
{
    for (unsigned i = 0; i < count; ++i)
        if (strcmp(numbers[i].name, name) == 0) {
            numbers[i].value = value;
            return;
        }
    if (count < CAPACITY)
        numbers[count++] = {name, value};
}

bool StoredNumbers::holds(const char* name, DWORD value) const
{
    for (unsigned i = 0; i < count; ++i)
        if (strcmp(numbers[i].name, name) == 0)
            return numbers[i].value == value;
    return false;
}

void WriteNumber(HKEY entryKey, StoredNumbers* stored, const char* name, DWORD value)
{
    if (stored && stored->holds(name, value))
        return;
    if (WriteDwordValue(entryKey, name, value) == ERROR_SUCCESS && stored)
        stored->note(name, value);
}

namespace {

// A number value into target, as ReadDwordValue reads it (4 bytes of any
// type); noted in stored when it is a REG_DWORD, whose bytes are then
// exactly the ones a write of target would store.
void ReadNumber(HKEY entryKey, const char* name, DWORD* target, StoredNumbers* stored)
{
    DWORD value = 0, type = REG_NONE, size = sizeof value;
    if (RegQueryValueExA(entryKey, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS
        || size != sizeof value)
        return;
    *target = value;
    if (stored && type == REG_DWORD)
        stored->note(name, value);
}

} // namespace

void ReadVstData(HKEY entryKey, PluginRecord* record, StoredNumbers* stored)
{
    TraceOperation("READ VST DATA");
    PluginRecord working{};

    working.clsidPlug = ReadClassId(entryKey, "clsidPlug");
    working.clsidProps = ReadClassId(entryKey, "clsidProps");
    ReadTextValue(entryKey, "FullName", working.FullName, sizeof working.FullName);
    ReadTextValue(entryKey, "FullPath", working.FullPath, sizeof working.FullPath);
    ReadTextValue(entryKey, "DosName", working.DosName, sizeof working.DosName);
    // Everything after the name's end is zero, so the bytes that feed the
    // class identifiers are well defined.
    size_t end = strnlen(working.DosName, sizeof working.DosName);
    memset(working.DosName + end, 0, sizeof working.DosName - end);
    ReadTextValue(entryKey, "PresetPath", working.PresetPath, sizeof working.PresetPath);
    if (stored)
        stored->forget();
    for (const DwordField& f : DWORD_FIELDS)
        ReadNumber(entryKey, f.name, &(working.*f.field), stored);
    ReadNumber(entryKey, "addVstPrefix", &working.addVstPrefix, stored);

    *record = working;
}

void WriteVstData(HKEY entryKey, PluginRecord* record, StoredNumbers* stored)
{
    TraceOperation("WRITE VST DATA");
    char plugClass[64], propsClass[64];
    MakeClassText(plugClass, *record, false);
    MakeClassText(propsClass, *record, true);

    char libraryPath[256];
    const char* library = AdapterLibraryPath(libraryPath) ? libraryPath : nullptr;

    char displayName[64];
    MakeDisplayName(displayName, *record);
    RegisterComClass(plugClass, displayName, library);
    AppendText(displayName, "_P");
    if (!record->isBad)
        RegisterComClass(propsClass, displayName, library);

    record->clsidPlug = ParseClassText(plugClass);
    record->clsidProps = ParseClassText(propsClass);

    char text[64];
    FormatClassId(text, record->clsidPlug);
    WriteTextValue(entryKey, "clsidPlug", text);
    FormatClassId(text, record->clsidProps);
    WriteTextValue(entryKey, "clsidProps", text);
    WriteTextValue(entryKey, "FullName", record->FullName);
    WriteTextValue(entryKey, "FullPath", record->FullPath);
    WriteTextValue(entryKey, "DosName", record->DosName);
    WriteTextValue(entryKey, "PresetPath", record->PresetPath);
    for (const DwordField& f : DWORD_FIELDS)
        WriteNumber(entryKey, stored, f.name, record->*f.field);
    WriteNumber(entryKey, stored, "addVstPrefix", WizardOptions.noPrefix ? 0 : 1);
    WriteNumber(entryKey, stored, "touch", 1);
    if (stored)
        stored->forget();
}

void FillFileFields(PluginRecord& record, const char* entryName, const char* path)
{
    CopyText(record.DosName, entryName);
    const char* name = strrchr(path, '\\');
    name = name ? name + 1 : path;
    // The scan reaches a file whose long name the code page cannot write
    // through its short name (which has a "~"): the name shown is still the
    // long one, as the code page writes it.
    WIN32_FIND_DATAA file;
    if (strchr(name, '~') && DirectoryEntryOf(path, file) && _stricmp(name, file.cAlternateFileName) == 0)
        name = file.cFileName;
    CopyText(record.FullName, name);
    if (char* dot = strrchr(record.FullName, '.'))
        *dot = 0;
    CopyText(record.FullPath, path);
}

bool MakeEntryName(const char* path, char (&name)[10])
{
    // The short form's last part is the file's own short name, which the
    // directory entry carries: looking that up spares resolving every folder
    // of the path.
    char shortName[MAX_PATH];
    if (ShortNameOf(path, shortName) && BaseName(shortName, name))
        return true;
    // No short name to be had: the long name stands in for it.
    return BaseName(path, name);
}
