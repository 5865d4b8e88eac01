// The plug-in record and its registry entry under "Plug-Ins".
#pragma once
#include <windows.h>
#include <cstring>
#include "wizard/text.h"

// One plug-in's record, stored field by field under registry values of the
// same names. A plain record: copied whole, owns no pointers.
struct PluginRecord {
    GUID  clsidPlug;
    GUID  clsidProps;
    char  FullName[PATH_TEXT_SIZE];
    char  FullPath[PATH_TEXT_SIZE];
    char  PresetPath[PATH_TEXT_SIZE];
    char  DosName[14];
    DWORD uniqueId;
    DWORD isVst;
    DWORD isSynth;
    DWORD isBad;
    DWORD wantEvents;
    LONG  numInputs;
    LONG  numOutputs;
    LONG  numPrograms;
    LONG  numParams;
    DWORD progsChunks;
    DWORD registerAsPlug;
    DWORD registerAsSynth;
    LONG  cxEditor;
    LONG  cyEditor;
    DWORD forceStereo;
    DWORD nrpnPassThrough;
    DWORD addVstPrefix;
    DWORD isNew;            // first seen in this run; never stored
};

// Group numbering of the class display names while "Subdivide menu" is on.
extern DWORD subdivideCount;
extern DWORD subdivideGroup;

void ReadVstData(HKEY entryKey, PluginRecord* record);
void WriteVstData(HKEY entryKey, PluginRecord* record);

// Every class identifier the record writer makes begins with one of these:
// the plug-in's class, and its property page's.
const char PLUGIN_CLASS_PREFIX[] = "{141AC902-";
const char PROPERTY_PAGE_CLASS_PREFIX[] = "{141AC903-";

// A key named after one of those classes. The case of the letters counts:
// only the names the record writer makes are matched.
inline bool IsAdapterClassName(const char* name)
{
    return strncmp(name, PLUGIN_CLASS_PREFIX, sizeof PLUGIN_CLASS_PREFIX - 1) == 0
           || strncmp(name, PROPERTY_PAGE_CLASS_PREFIX, sizeof PROPERTY_PAGE_CLASS_PREFIX - 1) == 0;
}

// The 38-character class identifier text of a record: the plug-in class or
// its property page class.
void MakeClassText(char (&text)[64], const PluginRecord& record, bool propertyPage);

// The file fields of a probed DLL's record: DosName (the entry name),
// FullName (the long file name without its extension) and FullPath.
void FillFileFields(PluginRecord& record, const char* entryName, const char* path);

// The entry name of a DLL: the base of its short (8.3) file name, at most
// eight characters (the long name's when it has no short one). False when
// no usable name can be made.
bool MakeEntryName(const char* path, char (&name)[10]);
