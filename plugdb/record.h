// The plug-in record and its registry entry under "Plug-Ins".
#pragma once
#include <windows.h>
#include <cstring>
#include "base/state.h"
#include "base/text.h"

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

// The plug-ins found in this run, in scan order, as the pages edit them; and
// the record a newly found plug-in starts from.
extern WizardList<PluginRecord> PluginList;
extern PluginRecord DefaultRecord;

// Group numbering of the class display names while "Subdivide menu" is on.
extern DWORD subdivideCount;
extern DWORD subdivideGroup;

// The number values of one entry as they were read, each with its stored
// type and bytes, so that writing the same record back costs no call for a
// value that already holds what would be written. Only number values are
// kept: a number's bytes read through the ANSI calls are the stored bytes,
// while a text read through them is a conversion of what is stored.
struct StoredNumbers {
    enum { CAPACITY = 20 };
    struct Number {
        const char* name;   // one of the record writer's value names, or "touch"
        DWORD value;
    };
    Number numbers[CAPACITY];
    unsigned count = 0;

    void forget() { count = 0; }
    // A REG_DWORD of 4 bytes found, or just written, under name.
    void note(const char* name, DWORD value);
    bool holds(const char* name, DWORD value) const;
};

// Writes a REG_DWORD value unless stored says the entry already holds it;
// what is written is noted in stored.
void WriteNumber(HKEY entryKey, StoredNumbers* stored, const char* name, DWORD value);

// With stored, ReadVstData notes there every number value it finds as a
// REG_DWORD of 4 bytes, and WriteVstData leaves out the number values that
// stored shows already there; stored must then describe entryKey as it is
// (nothing written to it since but through WriteNumber). WriteVstData
// forgets stored once it has written.
void ReadVstData(HKEY entryKey, PluginRecord* record, StoredNumbers* stored = nullptr);
void WriteVstData(HKEY entryKey, PluginRecord* record, StoredNumbers* stored = nullptr);

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
