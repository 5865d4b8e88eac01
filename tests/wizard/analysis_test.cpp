// One analysis step per DLL, row by row through its decision table: which
// DLLs are probed, skipped or only touched, and what their entries and
// PluginList hold afterwards. Real fixture plug-ins, the real probe and the
// real load-error page.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>
#include "base/state.h"
#include "base/threadstate.h"
#include "plugins/fixtures.h"
#include "probe/probe.h"
#include "probe/scan.h"
#include "report/report.h"
#include "support/dialogs.h"
#include "support/files.h"
#include "support/registry.h"
#include "support/state.h"
#include "wizard/run.h"
#include "wizard/stages.h"

namespace {

class AnalysisTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearProgramKeys();
        StartFreshRun();
        DefaultRecord.registerAsPlug = 1;
        folder = FreshDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        script.answerLoadErrors(&loadErrors);
    }
    void TearDown() override
    {
        ReleaseLists();
        tellLostName = nullptr;
        ClearProgramKeys();
    }

    // Copies a fixture plug-in into this test's folder under a file name.
    std::string Plant(const char* fixture, const std::string& fileName, const std::string& sub = "")
    {
        std::string path = folder + sub + "\\" + fileName;
        EXPECT_TRUE(PlantFixture(fixture, path)) << fixture;
        return path;
    }

    struct Known {
        std::string path, entry;
    };

    // A DLL with an entry as an earlier run left it, then analysed.
    Known AnalyseKnown(const char* fixture, const std::string& fileName, DWORD isVst, DWORD isBad,
                       const std::string& sub = "")
    {
        std::string path = Plant(fixture, fileName, sub);
        std::string entry = EntryKeyOf(path);
        SetDword(HKEY_LOCAL_MACHINE, entry, "isVst", isVst);
        SetDword(HKEY_LOCAL_MACHINE, entry, "isBad", isBad);
        SetText(HKEY_LOCAL_MACHINE, entry, "FullName", "Stored Name");
        SetText(HKEY_LOCAL_MACHINE, entry, "FullPath", "C:\\Old\\place.dll");
        SetText(HKEY_LOCAL_MACHINE, entry, "PresetPath", "C:\\Presets");
        SetDword(HKEY_LOCAL_MACHINE, entry, "registerAsPlug", 0);
        SetDword(HKEY_LOCAL_MACHINE, entry, "registerAsSynth", 0);
        SetDword(HKEY_LOCAL_MACHINE, entry, "forceStereo", 0);
        SetDword(HKEY_LOCAL_MACHINE, entry, "nrpnPassThrough", 1);
        SetDword(HKEY_LOCAL_MACHINE, entry, "cxEditor", 999);
        SetDword(HKEY_LOCAL_MACHINE, entry, "wantEvents", 1);
        AnalyseDll(path.c_str());
        return {path, entry};
    }

    long long Value(const std::string& entry, const char* name) { return DwordAt(HKEY_LOCAL_MACHINE, entry, name); }
    std::string Text(const std::string& entry, const char* name) { return TextAt(HKEY_LOCAL_MACHINE, entry, name); }

    // A folder of a table row's own, with plain.dll planted below it by the
    // wide calls.
    std::string RowFolder(int row, const std::wstring& below)
    {
        std::string root = folder + "\\" + std::to_string(row);
        CreateDirectoryA(root.c_str(), nullptr);
        EXPECT_TRUE(PlantFixture("plain.dll", root, below));
        return root;
    }

    // The run's stages from the scan to the sweep, with one search folder,
    // from an empty report and lists.
    void ScanAndAnalyse(const std::string& searched)
    {
        ReleaseLists();
        SearchPathList.append(NewPathText(searched.c_str()));
        ScanFolders();
        AnalyseFoundDlls();
        SweepUntouched();
    }

    std::vector<PluginRecord> Listed()
    {
        std::vector<PluginRecord> records;
        for (PluginRecord& r : PluginList)
            records.push_back(r);
        return records;
    }

    std::string folder;
    DialogScript script;
    std::vector<PluginStep> loadErrors;
};

} // namespace

TEST_F(AnalysisTest, ANewPluginIsProbedAndWrittenFromTheDefaults)
{
    strcpy(DefaultRecord.PresetPath, "C:\\Default Presets");
    DefaultRecord.nrpnPassThrough = 1;
    std::string path = Plant("plain.dll", "My Plain Effect.dll");
    std::string entry = EntryKeyOf(path);

    AnalyseDll(path.c_str());

    ASSERT_EQ(1u, PluginList.count);
    PluginRecord r = Listed()[0];
    EXPECT_EQ(1u, r.isNew);
    EXPECT_EQ(1u, r.isVst);
    EXPECT_STREQ("My Plain Effect", r.FullName);
    EXPECT_EQ(path, r.FullPath);
    EXPECT_EQ(entry, std::string(PLUGINS_KEY "\\") + r.DosName);
    EXPECT_EQ(static_cast<DWORD>(fixtures::PLAIN_UNIQUE_ID), r.uniqueId);
    EXPECT_EQ(fixtures::PLAIN_PARAMS, r.numParams);

    EXPECT_EQ(1, Value(entry, "touch"));
    EXPECT_EQ(0, Value(entry, "isBad"));
    EXPECT_EQ(1, Value(entry, "registerAsPlug"));
    EXPECT_EQ(1, Value(entry, "nrpnPassThrough"));
    EXPECT_EQ("C:\\Default Presets", Text(entry, "PresetPath"));
    EXPECT_EQ(path, Text(entry, "FullPath"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + Text(entry, "clsidPlug")));
    EXPECT_STREQ("Plugin analysis loop", FailureTrace.traceFailurePoint);
    EXPECT_TRUE(loadErrors.empty());
    EXPECT_STREQ("", DefaultRecord.FullName);   // the template itself is left alone
}

TEST_F(AnalysisTest, ANewInstrumentIsConfiguredAsAStereoSynthButAKnownOneKeepsItsChoices)
{
    std::string fresh = Plant("synth.dll", "synth.dll", "\\new");
    AnalyseDll(fresh.c_str());
    EXPECT_EQ(1, Value(EntryKeyOf(fresh), "registerAsSynth"));
    EXPECT_EQ(1, Value(EntryKeyOf(fresh), "forceStereo"));

    WizardOptions.rescanExisting = 1;
    std::string entry = AnalyseKnown("synth.dll", "synth2.dll", 1, 0, "\\known").entry;
    EXPECT_EQ(1, Value(entry, "isSynth"));
    EXPECT_EQ(0, Value(entry, "registerAsSynth"));
    EXPECT_EQ(0, Value(entry, "forceStereo"));
}

TEST_F(AnalysisTest, ANewDllThatIsNotAPluginLeavesNothingBehind)
{
    std::string path = Plant("noentry.dll", "helper.dll");
    AnalyseDll(path.c_str());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, EntryKeyOf(path)));
    EXPECT_EQ(0, SubkeyCount(HKEY_LOCAL_MACHINE, PLUGINS_KEY));
    EXPECT_EQ(0u, PluginList.count);
    EXPECT_STREQ("Plugin analysis loop", FailureTrace.traceFailurePoint);
}

TEST_F(AnalysisTest, ANewPluginThatFaultsIsReportedStoredBadAndListed)
{
    std::string path = Plant("fault_main.dll", "Crashing Plug.dll");
    std::string entry = EntryKeyOf(path);
    AnalyseDll(path.c_str());

    EXPECT_EQ((std::vector<PluginStep>{{"Crashing Plug", "Main Call"}}), loadErrors);
    EXPECT_EQ(1, Value(entry, "isBad"));
    EXPECT_EQ(1, Value(entry, "isVst"));
    EXPECT_EQ(1, Value(entry, "registerAsPlug"));   // from the defaults
    EXPECT_EQ(path, Text(entry, "FullPath"));
    ASSERT_EQ(1u, PluginList.count);
    EXPECT_EQ(1u, Listed()[0].isNew);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + Text(entry, "clsidProps")));
}

TEST_F(AnalysisTest, AKnownBadPluginIsSkippedUnlessFailedOnesAreRescanned)
{
    TraceFailurePoint("before");
    std::string entry = AnalyseKnown("fault_main.dll", "bad.dll", 1, 1).entry;
    EXPECT_TRUE(loadErrors.empty()) << "a skipped plug-in was loaded";
    EXPECT_EQ(1, Value(entry, "touch"));
    EXPECT_EQ("Stored Name", Text(entry, "FullName"));
    EXPECT_EQ(0u, PluginList.count);
    EXPECT_STREQ("before", FailureTrace.traceFailurePoint);

    // Rescanning failed plug-ins probes it again; once it loads it is good.
    WizardOptions.rescanFailed = 1;
    std::string healedEntry = AnalyseKnown("plain.dll", "healed.dll", 1, 1).entry;
    EXPECT_EQ(0, Value(healedEntry, "isBad"));
    EXPECT_EQ(fixtures::PLAIN_UNIQUE_ID, Value(healedEntry, "uniqueId"));
    EXPECT_EQ(0, Value(healedEntry, "registerAsPlug"));   // the stored options stay
    ASSERT_EQ(1u, PluginList.count);
    EXPECT_EQ(0u, Listed()[0].isNew);
}

TEST_F(AnalysisTest, AKnownPluginIsOnlyTouchedAndItsStoredRecordWrittenBack)
{
    std::string entry = AnalyseKnown("fault_main.dll", "known.dll", 1, 0).entry;
    EXPECT_TRUE(loadErrors.empty()) << "a known plug-in was loaded";
    EXPECT_EQ(1, Value(entry, "touch"));
    EXPECT_EQ("Stored Name", Text(entry, "FullName"));
    EXPECT_EQ("C:\\Old\\place.dll", Text(entry, "FullPath"));
    EXPECT_EQ(999, Value(entry, "cxEditor"));
    EXPECT_EQ(0, Value(entry, "isBad"));
    ASSERT_EQ(1u, PluginList.count);
    EXPECT_EQ(0u, Listed()[0].isNew);

    // A stored entry that says it is no plug-in is deleted.
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, AnalyseKnown("plain.dll", "other.dll", 0, 0).entry));
    EXPECT_EQ(1u, PluginList.count);
}

// A second run over the same plug-ins leaves their entries and class keys
// byte for byte as the first left them, whatever it finds stored between:
// it leaves out a number already stored as it would write it, and writes
// every value and key that differs, in type or data.
TEST_F(AnalysisTest, ASecondRunLeavesEntriesAndClassKeysByteForByteAsTheFirstDid)
{
    const DWORD params = fixtures::PLAIN_PARAMS, id = fixtures::PLAIN_UNIQUE_ID;
    const struct {
        const char* between;
        std::function<void(const std::string& entry, const std::string& plugClass)> change;
    } rows[] = {
        {"nothing", [](auto&, auto&) {}},
        {"a number of the same bytes as REG_BINARY",
         [&](auto& entry, auto&) { SetRaw(HKEY_LOCAL_MACHINE, entry, "numParams", REG_BINARY, &params, 4); }},
        {"a number of the same bytes as REG_DWORD_BIG_ENDIAN",
         [&](auto& entry, auto&) { SetRaw(HKEY_LOCAL_MACHINE, entry, "uniqueId", REG_DWORD_BIG_ENDIAN, &id, 4); }},
        {"a number that differs", [](auto& entry, auto&) { SetDword(HKEY_LOCAL_MACHINE, entry, "addVstPrefix", 0); }},
        {"a number missing", [](auto& entry, auto&) { DeleteValue(HKEY_LOCAL_MACHINE, entry, "isBad"); }},
        {"a text as REG_EXPAND_SZ",
         [](auto& entry, auto&) { SetRaw(HKEY_LOCAL_MACHINE, entry, "FullName", REG_EXPAND_SZ, "plain", 6); }},
        {"another server",
         [](auto&, auto& plugClass) { SetText(HKEY_CLASSES_ROOT, plugClass + "\\InprocServer32", "", "C:\\x.dll"); }},
        {"a class key gone", [](auto&, auto& plugClass) { RegDeleteTreeA(HKEY_CLASSES_ROOT, plugClass.c_str()); }},
    };
    std::string plain = Plant("plain.dll", "plain.dll");
    Plant("synth.dll", "synth.dll");
    for (const auto& row : rows) {
        ClearProgramKeys();
        ScanAndAnalyse(folder);
        std::vector<std::string> first = StoredEntriesAndClasses();
        ASSERT_EQ(2u, PluginList.count);
        row.change(EntryKeyOf(plain), "CLSID\\" + Text(EntryKeyOf(plain), "clsidPlug"));
        ScanAndAnalyse(folder);
        EXPECT_EQ(first, StoredEntriesAndClasses()) << "stored between the runs: " << row.between;
        EXPECT_TRUE(loadErrors.empty());
    }
}

TEST_F(AnalysisTest, RescanningAKnownPluginRefreshesItsFileFieldsAndPropertiesButKeepsItsOptions)
{
    WizardOptions.rescanExisting = 1;
    Known known = AnalyseKnown("plain.dll", "Plain Again.dll", 1, 0);
    const std::string& entry = known.entry;
    EXPECT_EQ("Plain Again", Text(entry, "FullName"));
    EXPECT_EQ(known.path, Text(entry, "FullPath"));
    EXPECT_EQ(fixtures::PLAIN_PARAMS, Value(entry, "numParams"));
    EXPECT_EQ(0, Value(entry, "wantEvents"));   // it never asks for MIDI
    EXPECT_EQ(0, Value(entry, "registerAsPlug"));
    EXPECT_EQ(1, Value(entry, "nrpnPassThrough"));
    EXPECT_EQ("C:\\Presets", Text(entry, "PresetPath"));
    ASSERT_EQ(1u, PluginList.count);
    EXPECT_EQ(0u, Listed()[0].isNew);
}

TEST_F(AnalysisTest, ARescannedKnownDllThatNoLongerLoadsKeepsOrLosesItsEntryByItsStoredMark)
{
    WizardOptions.rescanExisting = 1;
    Known kept = AnalyseKnown("noentry.dll", "kept.dll", 1, 0);
    EXPECT_EQ(kept.path, Text(kept.entry, "FullPath"));   // new file fields
    EXPECT_EQ("kept", Text(kept.entry, "FullName"));
    EXPECT_EQ(1, Value(kept.entry, "touch"));
    EXPECT_EQ(1u, PluginList.count);

    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, AnalyseKnown("noentry.dll", "gone.dll", 0, 0).entry));
    EXPECT_EQ(1u, PluginList.count);
}

TEST_F(AnalysisTest, ARescannedKnownPluginThatFaultsIsStoredBadWithItsOptions)
{
    WizardOptions.rescanExisting = 1;
    std::string entry = AnalyseKnown("fault_open.dll", "opens badly.dll", 1, 0).entry;
    EXPECT_EQ((std::vector<PluginStep>{{"opens badly", "Open"}}), loadErrors);
    EXPECT_EQ(1, Value(entry, "isBad"));
    EXPECT_EQ(1, Value(entry, "isVst"));
    EXPECT_EQ(0, Value(entry, "registerAsPlug"));
    EXPECT_EQ("opens badly", Text(entry, "FullName"));
    EXPECT_EQ(1u, PluginList.count);
}

TEST_F(AnalysisTest, TwoDllsWithTheSameShortNameShareOneEntry)
{
    std::string first = Plant("plain.dll", "plain.dll", "\\A");
    std::string second = Plant("plain.dll", "plain.dll", "\\B");
    ASSERT_EQ(EntryKeyOf(first), EntryKeyOf(second));
    AnalyseDll(first.c_str());
    AnalyseDll(second.c_str());
    ASSERT_EQ(2u, PluginList.count);
    EXPECT_EQ(first, Listed()[1].FullPath);   // only touched: the first DLL's record again
    EXPECT_EQ(first, Text(EntryKeyOf(first), "FullPath"));

    WizardOptions.rescanExisting = 1;
    AnalyseDll(second.c_str());
    EXPECT_EQ(second, Text(EntryKeyOf(first), "FullPath"));
    EXPECT_EQ(second, Listed()[2].FullPath);
}

TEST(EntryName, IsTheShortBaseNameOrAUsableStandInButNeverEmptyOrOnlyDots)
{
    std::string dir = FreshDir("entry_names");
    char name[10];
    std::string longName = dir + "\\My Long Plugin Name.dll";
    WriteBytes(longName, "x");
    char shortPath[MAX_PATH];
    ASSERT_GT(GetShortPathNameA(longName.c_str(), shortPath, sizeof shortPath), 0u);
    std::string shortBase = strrchr(shortPath, '\\') + 1;
    shortBase = shortBase.substr(0, shortBase.rfind('.'));
    ASSERT_TRUE(MakeEntryName(longName.c_str(), name));
    EXPECT_EQ(shortBase, name);
    EXPECT_LE(strlen(name), 8u);

    WriteBytes(dir + "\\Reverb.dll", "x");
    ASSERT_TRUE(MakeEntryName((dir + "\\Reverb.dll").c_str(), name));
    EXPECT_STREQ("Reverb", name);

    // No short form to be had: the long name, cut to eight characters.
    ASSERT_TRUE(MakeEntryName("C:\\nowhere at all\\A very long name.dll", name));
    EXPECT_STREQ("A very l", name);

    WriteBytes(dir + "\\.dll", "x");
    ASSERT_TRUE(MakeEntryName((dir + "\\.dll").c_str(), name));
    EXPECT_NE(strspn(name, "."), strlen(name));

    EXPECT_FALSE(MakeEntryName("C:\\nowhere at all\\..dll", name));
    EXPECT_FALSE(MakeEntryName("C:\\nowhere at all\\", name));
}

TEST(EntryName, ADllWithNoUsableNameIsPassedOverWithoutTouchingPlugIns)
{
    ClearProgramKeys();
    SetDword(HKEY_LOCAL_MACHINE, PLUGINS_KEY "\\Other", "touch", 1);
    AnalyseDll("C:\\nowhere at all\\..dll");
    EXPECT_EQ(1, SubkeyCount(HKEY_LOCAL_MACHINE, PLUGINS_KEY));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, PLUGINS_KEY "\\Other"));
    EXPECT_EQ(0u, PluginList.count);
    ClearProgramKeys();
}

TEST_F(AnalysisTest, APluginsFloatingPointStateDoesNotOutliveItsProbe)
{
    CaptureFloatingPointState();
    unsigned short own = FloatingPointControlWord();
    std::string unmask = Plant("fpu_unmask.dll", "unmask.dll");

    // The probe alone leaves what the plug-in set...
    PluginRecord bare{};
    strcpy(bare.FullPath, unmask.c_str());
    {
        ProbeFrame frame(bare.FullPath, "UNMASK", false, bare.FullName);
        LoadVstPlugin(frame, &bare);
        EXPECT_EQ(0x1332, FloatingPointControlWord() & 0x1F3F);
    }

    // ...the analysis puts the wizard's own back, whatever the plug-in left
    // (unmasked exceptions, or a full register stack that would turn the
    // next plug-in's first floating-point load into a NaN), and the next
    // plug-in finds the unit empty.
    for (const std::string& path : {unmask, Plant("fpu_full.dll", "full.dll")}) {
        SCOPED_TRACE(path);
        AnalyseDll(path.c_str());
        EXPECT_EQ(own, FloatingPointControlWord());
        std::string next = path + ".next.dll";
        ASSERT_TRUE(PlantFixture("fpu_check.dll", next));
        fixtures::StartCallLog(next);
        AnalyseDll(next.c_str());
        fixtures::StopCallLog();
        std::vector<std::string> calls = fixtures::CallLog(next);
        EXPECT_NE(calls.end(), std::find(calls.begin(), calls.end(), FIXTURE_FPU_EMPTY));
    }
    for (const PluginRecord& record : Listed())
        EXPECT_EQ(0u, record.isBad) << record.FullName;
}

// Sixty characters: four such folders make a path longer than the system
// loads, while their short names keep it well inside.
#define LONG_FOLDER L"A folder name long enough that four of them pass the limit!!"

// Names outside the code page, made with the wide calls: the scan walks
// through their short names, and the analysis records each plug-in under its
// long name as the code page writes it, with a path the ANSI calls open. A
// search folder given as the code page writes it is found again, unless
// several folders there give that name: it is then reported.
TEST_F(AnalysisTest, NamesOutsideTheCodePageAreReachedByTheirShortNames)
{
    struct Row {
        std::wstring plant;     // the plug-in, below the row's folder
        const wchar_t* beside;  // another folder made there, or null
        const char* searched;   // the search folder below the row's folder
        const char* fullName;   // the record's name; null when the search folder is reported
    };
    std::vector<Row> rows = {
        {L"Русский\\Эхо.dll", nullptr, "", "???"},
        {L"日本語\\音\\リバーブ.dll", nullptr, "", "????"},
        {L"Snow ☃ Verb.dll", nullptr, "", "Snow ? Verb"},
        {L"Łódź\\Żuraw.dll", nullptr, "", "Zuraw"},   // look-alike letters
        {LONG_FOLDER L"\\" LONG_FOLDER L"\\" LONG_FOLDER L"\\" LONG_FOLDER L"\\Deep.dll", nullptr, "", "Deep"},
        {L"Папка\\plain.dll", nullptr, "\\?????", "plain"},
        {L"Каталог\\plain.dll", L"Деревня", "\\???????", nullptr},
    };
    // A folder whose path still opens but whose search pattern would pass
    // the limit, wherever the test folder lies.
    for (auto edge : {std::make_pair(MAX_PATH - 6, "Edge"), std::make_pair(MAX_PATH - 1, "Brink")}) {
        size_t root = folder.size() + 1 + std::to_string(rows.size() + 1).size();
        std::wstring dll(edge.second, edge.second + strlen(edge.second));
        rows.push_back({std::wstring(edge.first - root - 1, L'x') + L"\\" + dll + L".dll", nullptr, "", edge.second});
    }
    int n = 0;
    for (const auto& row : rows) {
        std::string root = RowFolder(++n, row.plant);
        SCOPED_TRACE(root);
        if (row.beside) {
            ASSERT_TRUE(PlantFixture("noentry.dll", root, std::wstring(row.beside) + L"\\x.dll"));
        }
        ScanAndAnalyse(root + row.searched);

        if (ReportCount() != 1) {
            ADD_FAILURE() << ReportCount() << " DLLs reported";
            continue;
        }
        if (!row.fullName) {
            EXPECT_EQ(root + row.searched, ReportAt(0).path);
            EXPECT_EQ(DLL_FOLDER_LOST, ReportAt(0).result);
            EXPECT_EQ(1u, ReportAt(0).detail);
            EXPECT_EQ(0u, PluginList.count);
            continue;
        }
        EXPECT_EQ(DLL_RECORDED, ReportAt(0).result);
        if (PluginList.count != 1) {
            ADD_FAILURE() << "not recorded";
            continue;
        }
        const PluginRecord& r = *PluginList.begin();
        EXPECT_STREQ(row.fullName, r.FullName);
        EXPECT_EQ(nullptr, strchr(r.FullPath, '?'));
        EXPECT_TRUE(FileExists(r.FullPath));
        EXPECT_EQ(static_cast<DWORD>(fixtures::PLAIN_UNIQUE_ID), r.uniqueId);   // loaded by that path
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, EntryKeyOf(r.FullPath)));
    }
    EXPECT_TRUE(loadErrors.empty());
}

// Folders whose names are their own short names, nested until the path is
// too long to search: the folder where that happens is reported, not passed
// over.
TEST_F(AnalysisTest, AFolderNoShortNameBringsWithinReachIsReported)
{
    std::string root = folder + "\\1";
    std::string tooLong = root;
    std::wstring below;
    while (tooLong.size() + strlen("\\*.dll") < MAX_PATH) {
        tooLong += "\\DEEPDEEP";
        below += L"DEEPDEEP\\";
    }
    RowFolder(1, below + L"plain.dll");
    ScanAndAnalyse(root);

    ASSERT_EQ(1u, ReportCount());
    EXPECT_EQ(tooLong, ReportAt(0).path);
    EXPECT_EQ(DLL_FOLDER_TOO_LONG, ReportAt(0).result);
    char text[512];
    DescribeDll(ReportAt(0), text, sizeof text);
    std::string told = "A folder whose path is too long to search (" + std::to_string(tooLong.size()) + " characters)";
    EXPECT_EQ(told, std::string(text).substr(0, told.size()));
    EXPECT_EQ(0u, PluginList.count);
}

// Latin-1 letters are inside the code page: the paths stay the long ones,
// with no short form anywhere.
TEST_F(AnalysisTest, NamesInsideTheCodePageKeepTheirLongPaths)
{
    const struct {
        const wchar_t* plant;
        const char* path;       // below the row's folder, as the code page writes it
        const char* fullName;
    } rows[] = {
        {L"Ünïcödé\\Crème Brûlée.dll", "\\\xDCn\xEF" "c\xF6" "d\xE9\\Cr\xE8" "me Br\xFBl\xE9" "e.dll",
         "Cr\xE8" "me Br\xFBl\xE9" "e"},
        {L"Café\\Señor ÆØÅ.dll", "\\Caf\xE9\\Se\xF1or \xC6\xD8\xC5.dll", "Se\xF1or \xC6\xD8\xC5"},
    };
    int n = 0;
    for (const auto& row : rows) {
        std::string root = RowFolder(++n, row.plant);
        SCOPED_TRACE(root);
        ScanAndAnalyse(root);
        ASSERT_EQ(1u, PluginList.count);
        EXPECT_EQ(root + row.path, Listed()[0].FullPath);
        EXPECT_STREQ(row.fullName, Listed()[0].FullName);
        EXPECT_EQ(static_cast<DWORD>(fixtures::PLAIN_UNIQUE_ID), Listed()[0].uniqueId);
    }
}
