// The plug-in record in the registry: class identifiers, class keys and
// display names, the full set of values, and whatever the registry hands the
// reader.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "base/registry.h"
#include "base/state.h"
#include "plugdb/record.h"
#include "support/files.h"
#include "support/registry.h"

namespace {

const std::string ENTRY = PLUGINS_KEY "\\TESTENT";

class RecordTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearProgramKeys();
        CreateKey(HKEY_LOCAL_MACHINE, ENTRY.c_str(), key.receive());
        moduleInstance = GetModuleHandleA(nullptr);
        WizardOptions = {};
        subdivideCount = subdivideGroup = 0;
    }
    void TearDown() override
    {
        key.close();
        ClearProgramKeys();
    }

    PluginRecord Named(const char* fullName, const char* dosName, DWORD uniqueId)
    {
        PluginRecord record{};
        strcpy(record.FullName, fullName);
        strcpy(record.DosName, dosName);
        record.uniqueId = uniqueId;
        return record;
    }

    std::string ClassText(const PluginRecord& record, bool props)
    {
        char text[64];
        MakeClassText(text, record, props);
        return text;
    }

    std::string DisplayName(const std::string& classText)
    {
        return TextAt(HKEY_CLASSES_ROOT, "CLSID\\" + classText, nullptr);
    }

    RegKey key;
};

} // namespace

TEST_F(RecordTest, ClassIdentifiersComeFromUniqueIdAndTheFirstEightCharactersOfDosName)
{
    PluginRecord reverb = Named("Reverb", "REVERB", 0x41624364);
    EXPECT_EQ("{141AC902-4162-4364-5245-564552420000}", ClassText(reverb, false));
    EXPECT_EQ("{141AC903-4162-4364-5245-564552420000}", ClassText(reverb, true));

    PluginRecord full = Named("x", "ABCDEFGH", 0xFFFFFFFF);
    EXPECT_EQ("{141AC902-FFFF-FFFF-4142-434445464748}", ClassText(full, false));
    strcpy(full.DosName, "ABCDEFGHIJKLM");   // characters 8 to 13 never enter it
    EXPECT_EQ("{141AC902-FFFF-FFFF-4142-434445464748}", ClassText(full, false));

    PluginRecord high = Named("x", "\xE9t\xE9", 0x00010002);   // codes above 127 as unsigned
    EXPECT_EQ("{141AC902-0001-0002-E974-E90000000000}", ClassText(high, false));
}

TEST_F(RecordTest, WriteStoresEveryValueRegistersBothClassesAndTouches)
{
    PluginRecord record = Named("Reverb", "REVERB", 0x41624364);
    strcpy(record.FullPath, "C:\\Plugins\\Reverb.dll");
    strcpy(record.PresetPath, "C:\\Presets");
    record.isVst = 1;
    record.isSynth = 1;
    record.wantEvents = 1;
    record.numInputs = 2;
    record.numOutputs = -3;
    record.numPrograms = 16;
    record.numParams = 12;
    record.progsChunks = 1;
    record.registerAsPlug = 1;
    record.cxEditor = 400;
    record.cyEditor = -1;
    record.nrpnPassThrough = 1;
    record.addVstPrefix = 0;   // ignored: the stored value follows noPrefix
    WriteVstData(key, &record);

    EXPECT_EQ("{141AC902-4162-4364-5245-564552420000}", TextAt(HKEY_LOCAL_MACHINE, ENTRY, "clsidPlug"));
    EXPECT_EQ("{141AC903-4162-4364-5245-564552420000}", TextAt(HKEY_LOCAL_MACHINE, ENTRY, "clsidProps"));
    EXPECT_EQ("Reverb", TextAt(HKEY_LOCAL_MACHINE, ENTRY, "FullName"));
    EXPECT_EQ("C:\\Plugins\\Reverb.dll", TextAt(HKEY_LOCAL_MACHINE, ENTRY, "FullPath"));
    EXPECT_EQ("REVERB", TextAt(HKEY_LOCAL_MACHINE, ENTRY, "DosName"));
    EXPECT_EQ("C:\\Presets", TextAt(HKEY_LOCAL_MACHINE, ENTRY, "PresetPath"));
    const std::pair<const char*, long long> numbers[] = {
        {"isBad", 0},          {"isSynth", 1},         {"isVst", 1},         {"numInputs", 2},
        {"numOutputs", 0xFFFFFFFD}, {"numPrograms", 16},   {"numParams", 12},    {"progsChunks", 1},
        {"registerAsPlug", 1}, {"registerAsSynth", 0}, {"uniqueId", 0x41624364}, {"wantEvents", 1},
        {"cxEditor", 400},     {"cyEditor", 0xFFFFFFFF}, {"forceStereo", 0},  {"nrpnPassThrough", 1},
        {"addVstPrefix", 1},   {"touch", 1},
    };
    for (auto& [name, value] : numbers)
        EXPECT_EQ(value, DwordAt(HKEY_LOCAL_MACHINE, ENTRY, name)) << name;

    HKEY entry;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, ENTRY.c_str(), 0, KEY_READ, &entry);
    DWORD values = 0;
    RegQueryInfoKeyA(entry, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    DWORD type = 0;
    RegQueryValueExA(entry, "FullName", nullptr, &type, nullptr, nullptr);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    RegQueryValueExA(entry, "cxEditor", nullptr, &type, nullptr, nullptr);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    RegCloseKey(entry);
    EXPECT_EQ(24u, values);   // 23 record values and "touch"

    std::string library = ExeDir() + "\\OlVst.dll";
    EXPECT_EQ("VST Reverb", DisplayName("{141AC902-4162-4364-5245-564552420000}"));
    EXPECT_EQ(library, TextAt(HKEY_CLASSES_ROOT, "CLSID\\{141AC902-4162-4364-5245-564552420000}\\InprocServer32", nullptr));
    EXPECT_EQ("VST Reverb_P", TextAt(HKEY_CLASSES_ROOT, "CLSID\\{141AC903-4162-4364-5245-564552420000}", nullptr));
    EXPECT_EQ(library, TextAt(HKEY_CLASSES_ROOT, "CLSID\\{141AC903-4162-4364-5245-564552420000}\\InprocServer32", nullptr));

    // The record now holds the identifiers it was registered under.
    CLSID expected;
    CLSIDFromString(L"{141AC902-4162-4364-5245-564552420000}", &expected);
    EXPECT_TRUE(IsEqualGUID(expected, record.clsidPlug));
}

TEST_F(RecordTest, ABadPluginGetsNoPropertyPageClassButKeepsBothIdentifiers)
{
    PluginRecord record = Named("Crashy", "CRASHY", 7);
    record.isBad = 1;
    WriteVstData(key, &record);
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\{141AC902-0000-0007-4352-415348590000}"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\{141AC903-0000-0007-4352-415348590000}"));
    EXPECT_EQ("{141AC903-0000-0007-4352-415348590000}", TextAt(HKEY_LOCAL_MACHINE, ENTRY, "clsidProps"));
}

TEST_F(RecordTest, DisplayNamesFollowThePrefixAndSubdivideOptions)
{
    PluginRecord record = Named("Reverb", "REVERB", 1);
    struct Case { DWORD noPrefix, subDivide; const char* name; DWORD addVstPrefix; };
    for (Case c : {Case{0, 0, "VST Reverb", 1}, Case{1, 0, "Reverb", 0}, Case{0, 1, "VST0 Reverb", 1},
                   Case{1, 1, "0 Reverb", 0}}) {
        WizardOptions.noPrefix = c.noPrefix;
        WizardOptions.subDivide = c.subDivide;
        WriteVstData(key, &record);
        EXPECT_EQ(c.name, DisplayName("{141AC902-0000-0001-5245-564552420000}"));
        EXPECT_EQ(std::string(c.name) + "_P", DisplayName("{141AC903-0000-0001-5245-564552420000}"));
        EXPECT_EQ(c.addVstPrefix, DwordAt(HKEY_LOCAL_MACHINE, ENTRY, "addVstPrefix"));
    }
}

TEST_F(RecordTest, SubdivideGroupsChangeAtEveryTwentyFifthWrite)
{
    PluginRecord record = Named("Reverb", "REVERB", 1);
    WizardOptions.subDivide = 1;
    for (int write = 1; write <= 50; ++write) {
        WriteVstData(key, &record);
        const char* expected = write < 25 ? "VST0 Reverb" : write < 50 ? "VST1 Reverb" : "VST2 Reverb";
        EXPECT_EQ(expected, DisplayName("{141AC902-0000-0001-5245-564552420000}")) << "write " << write;
    }
    // Writes while the option is off leave the counters alone.
    WizardOptions.subDivide = 0;
    WriteVstData(key, &record);
    EXPECT_EQ(50u, subdivideCount);
}

TEST_F(RecordTest, ALongNameIsCutSoTheDisplayNameAndItsPropertyPageNameFit)
{
    PluginRecord record = Named("", "LONG", 1);
    std::string name(1000, 'n');
    strcpy(record.FullName, name.c_str());
    WizardOptions.subDivide = 1;
    WriteVstData(key, &record);
    std::string display = DisplayName("{141AC902-0000-0001-4C4F-4E4700000000}");
    std::string props = DisplayName("{141AC903-0000-0001-4C4F-4E4700000000}");
    EXPECT_EQ(61u, display.size());
    EXPECT_EQ("VST0 " + name.substr(0, 56), display);
    EXPECT_EQ(display + "_P", props);
    EXPECT_EQ(name, TextAt(HKEY_LOCAL_MACHINE, ENTRY, "FullName"));   // the entry keeps it whole
}

TEST_F(RecordTest, TheDefaultsRecordRegistersTheAllZeroClasses)
{
    PluginRecord defaults{};
    defaults.registerAsPlug = 1;
    WriteVstData(key, &defaults);
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\{141AC902-0000-0000-0000-000000000000}"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\{141AC903-0000-0000-0000-000000000000}"));
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, ENTRY, "touch"));
}

TEST_F(RecordTest, ReadingBackGivesTheRecordThatWasWritten)
{
    PluginRecord written = Named("Delay Line", "DELAYL", 0x12345678);
    strcpy(written.FullPath, "D:\\VST\\Delay Line.dll");
    strcpy(written.PresetPath, "D:\\Presets\\Delay");
    written.isVst = written.registerAsSynth = written.forceStereo = 1;
    written.numOutputs = 6;
    written.cyEditor = -20;
    written.isNew = 1;
    WriteVstData(key, &written);

    PluginRecord read;
    memset(&read, 0xCC, sizeof read);
    ReadVstData(key, &read);
    written.addVstPrefix = 1;   // what the writer stored
    written.isNew = 0;          // never stored
    EXPECT_EQ(0, memcmp(&written, &read, sizeof read));
    EXPECT_STREQ("READ VST DATA", FailureTrace.traceOperation);
}

TEST_F(RecordTest, WhateverTheRegistryHoldsTheReaderNeitherOverflowsNorLeavesATextUnterminated)
{
    const std::string huge(5000, 'x');
    SetText(HKEY_LOCAL_MACHINE, ENTRY, "FullName", huge);                     // longer than its field
    SetRaw(HKEY_LOCAL_MACHINE, ENTRY, "FullPath", REG_SZ, huge.data(), 1024); // fills it, no terminator
    SetRaw(HKEY_LOCAL_MACHINE, ENTRY, "DosName", REG_SZ, "ABCDEFGHIJKLMN", 14);
    SetRaw(HKEY_LOCAL_MACHINE, ENTRY, "PresetPath", REG_BINARY, "\x01\x02\x03", 3);
    SetText(HKEY_LOCAL_MACHINE, ENTRY, "isVst", "1");                          // text where a number belongs
    WORD shortValue = 7;
    SetRaw(HKEY_LOCAL_MACHINE, ENTRY, "numParams", REG_DWORD, &shortValue, sizeof shortValue);
    ULONGLONG wide = 0x100000005ull;
    SetRaw(HKEY_LOCAL_MACHINE, ENTRY, "numInputs", REG_QWORD, &wide, sizeof wide);
    SetRaw(HKEY_LOCAL_MACHINE, ENTRY, "uniqueId", REG_BINARY, "\x78\x56\x34\x12", 4);
    SetText(HKEY_LOCAL_MACHINE, ENTRY, "clsidPlug", "not a class id");
    SetText(HKEY_LOCAL_MACHINE, ENTRY, "clsidProps", std::string(200, '{'));

    PluginRecord record;
    memset(&record, 0xCC, sizeof record);
    ReadVstData(key, &record);

    EXPECT_STREQ("", record.FullName);
    EXPECT_EQ(1023u, strlen(record.FullPath));
    EXPECT_EQ(13u, strlen(record.DosName));
    EXPECT_EQ(3u, strlen(record.PresetPath));
    EXPECT_EQ(0u, record.isVst);          // only a 4-byte value is a number
    EXPECT_EQ(0, record.numParams);
    EXPECT_EQ(0, record.numInputs);
    EXPECT_EQ(0x12345678u, record.uniqueId);   // 4 raw bytes, whatever the type
    EXPECT_TRUE(IsEqualGUID(GUID{}, record.clsidPlug));
    EXPECT_TRUE(IsEqualGUID(GUID{}, record.clsidProps));
    EXPECT_EQ(0u, record.nrpnPassThrough);     // absent
}

TEST_F(RecordTest, StrayCharactersAfterTheStoredDosNameAreCleared)
{
    SetRaw(HKEY_LOCAL_MACHINE, ENTRY, "DosName", REG_SZ, "REV\0GARBAGE", 12);
    SetDword(HKEY_LOCAL_MACHINE, ENTRY, "uniqueId", 5);
    PluginRecord read{};
    ReadVstData(key, &read);
    const char clean[sizeof read.DosName] = "REV";
    EXPECT_EQ(0, memcmp(clean, read.DosName, sizeof read.DosName));
    EXPECT_EQ("{141AC902-0000-0005-5245-560000000000}", ClassText(read, false));
}

// The class keys name the adapter library beside the program: by its long
// path while that fits their 256-byte text (the program's own path may be
// longer), else by its folder's short form, else not at all.
TEST_F(RecordTest, TheLibraryBesideTheProgramIsNamedLongOrShortOrNotAtAll)
{
    char base[MAX_PATH] = "";
    GetShortPathNameA(FreshDir("libpath").c_str(), base, sizeof base);
    // A folder of exactly length characters, ending in one long name or made
    // of names of at most eight characters (then its short form is itself).
    auto folderOf = [&](size_t length, bool longName) {
        std::string folder = base;
        while (folder.size() < length) {
            size_t left = length - folder.size();
            size_t part = longName ? left : left == 10 ? 8 : std::min<size_t>(left, 9);
            folder += "\\" + std::string(part - 1, longName ? 'l' : 'd');
            CreateDirectoryA(folder.c_str(), nullptr);
        }
        return folder;
    };
    enum Form { LONG_FORM, SHORT_FORM, NONE };
    // A class of its own for each case, from its unique id.
    struct Case { size_t folder; bool longName; Form named; DWORD uniqueId; const char* classText; };
    // 245 + "\OlVst.dll" is 255 characters; the program's path is 257.
    for (Case c : {Case{245, true, LONG_FORM, 1, "{141AC902-0000-0001-5245-564552420000}"},
                   Case{246, true, SHORT_FORM, 2, "{141AC902-0000-0002-5245-564552420000}"},
                   Case{246, false, NONE, 3, "{141AC902-0000-0003-5245-564552420000}"}}) {
        std::string folder = folderOf(c.folder, c.longName);
        ASSERT_EQ(c.folder, folder.size());
        std::string program = folder + "\\program.dll";
        ASSERT_TRUE(CopyInto(ExeDir() + "\\help_double.dll", program));
        moduleInstance = LoadLibraryExA(program.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
        ASSERT_NE(nullptr, moduleInstance) << program.size();

        PluginRecord record = Named("Reverb", "REVERB", c.uniqueId);
        WriteVstData(key, &record);
        std::string server = std::string("CLSID\\") + c.classText + "\\InprocServer32";
        char shortForm[MAX_PATH] = "";
        GetShortPathNameA((folder + "\\").c_str(), shortForm, sizeof shortForm);
        SCOPED_TRACE(program);
        if (c.named == NONE)
            EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, server));
        else
            EXPECT_EQ((c.named == LONG_FORM ? folder + "\\" : std::string(shortForm)) + "OlVst.dll",
                      TextAt(HKEY_CLASSES_ROOT, server, nullptr));
        FreeLibrary(moduleInstance);
    }
}
