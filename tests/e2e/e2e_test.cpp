// The whole wizard, run as a program and driven from outside through every
// page, on a tree of real fixture plug-ins; the registry it leaves, what it
// showed, and its exit code are checked afterwards.
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>
#include "base/state.h"
#include "plugins/fixtures.h"
#include "resource.h"
#include "support/driver.h"
#include "support/files.h"
#include "support/registry.h"
#include "support/screenshot.h"

namespace {

const char SUCCESS_TEXT[] =
    "Your VST plug-ins were configured succesfully, and are now available to your DirectX applications.";
const char NO_LIBRARY_TEXT[] = "Couldn't find OLVST.DLL or file corrupt. LoadLibrary failed during registration.";

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearProgramKeys();
        dir = FreshDir(std::string("e2e_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        plugins = dir + "\\Plugins";
        app = dir + "\\App";
        CreateDirectoryA(plugins.c_str(), nullptr);
        InstallWizard(app);
    }
    void TearDown() override { ClearProgramKeys(); }

    void UseAdapter(const char* variant)
    {
        ASSERT_TRUE(CopyInto(ExeDir() + "\\doubles\\olvst_" + variant + ".dll", app + "\\OLVST.DLL"));
    }

    std::string Plant(const char* fixture, const std::string& relativePath)
    {
        std::string path = plugins + "\\" + relativePath;
        EXPECT_TRUE(PlantFixture(fixture, path)) << fixture;
        return path;
    }

    // Effects, instruments, an editor plug-in, two that fault, things that
    // are not plug-ins, nested folders, a long name with spaces and dots.
    void PlantTree()
    {
        Plant("plain.dll", "plain.dll");
        Plant("plain.dll", "Effects\\My.Great Plug-in v1.2.dll");
        Plant("chunks.dll", "Effects\\Deep\\chunks.dll");
        Plant("synth.dll", "Instruments\\synth.dll");
        Plant("midi_open.dll", "Instruments\\midi_open.dll");
        Plant("fault_main.dll", "Broken\\fault_main.dll");
        Plant("fault_open.dll", "Broken\\fault_open.dll");
        Plant("bad_magic.dll", "Other\\bad_magic.dll");
        Plant("noentry.dll", "Other\\noentry.dll");
        WriteBytes(plugins + "\\Other\\readme.dll", "This is not a library.\r\n");
        WriteBytes(plugins + "\\Other\\empty.dll", "");
        CreateDirectoryA((plugins + "\\Other\\Folder.dll").c_str(), nullptr);
    }

    RunSeen RunWizard(RunPlan plan = {})
    {
        plan.with(std::string(FIXTURE_LOG_VARIABLE) + "=1");
        RunSeen run = DriveWizard(app + "\\Tandrel.exe", plan);
        EXPECT_TRUE(run.welcomed) << "no welcome page";
        return run;
    }

    static bool Contains(const std::vector<std::string>& list, const std::string& item)
    {
        return std::find(list.begin(), list.end(), item) != list.end();
    }

    std::string dir, plugins, app;
};

// Names of the DLLs in one folder, in the order the file system lists them.
std::vector<std::string> DllsIn(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*.dll").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(data.cFileName);
    while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

} // namespace

TEST_F(WizardTest, AFirstRunRecordsEveryPluginFromTheCommonVstFolder)
{
    PlantTree();
    SetText(HKEY_LOCAL_MACHINE, "Software\\Vst", "VstPluginsPath", plugins);
    RunSeen run = RunWizard();

    EXPECT_EQ(0, run.exitCode);
    EXPECT_EQ(plugins, TextAt(HKEY_LOCAL_MACHINE, PATHS_KEY, plugins.c_str()));

    // The faulting plug-ins, reported in the order the scan found them.
    std::vector<std::string> broken = DllsIn(plugins + "\\Broken");
    ASSERT_EQ(2u, run.loadErrors.size());
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(broken[i].substr(0, broken[i].rfind('.')), run.loadErrors[i].name);
        EXPECT_EQ(broken[i] == "fault_main.dll" ? "Main Call" : "Open", run.loadErrors[i].step);
    }

    // Seven plug-ins (the two bad ones among them); nothing for the rest.
    EXPECT_EQ(7, SubkeyCount(HKEY_LOCAL_MACHINE, PLUGINS_KEY));
    EXPECT_EQ(7u, run.rows.size());
    EXPECT_TRUE(std::is_sorted(run.rows.begin(), run.rows.end(),
                               [](const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; }));
    EXPECT_TRUE(Contains(run.rows, "My.Great Plug-in v1.2"));
    for (const std::string& mark : run.newMarks)
        EXPECT_EQ("Y", mark);
    for (const char* other : {"bad_magic.dll", "noentry.dll", "readme.dll", "empty.dll", "Folder.dll"})
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, EntryKeyOf(plugins + "\\Other\\" + other))) << other;

    std::string plain = EntryKeyOf(plugins + "\\plain.dll");
    EXPECT_EQ(fixtures::PLAIN_PARAMS, DwordAt(HKEY_LOCAL_MACHINE, plain, "numParams"));
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, plain, "registerAsPlug"));
    // The plug-in's unique id 'Pln1', then its short name "plain".
    EXPECT_EQ("{141AC902-506C-6E31-706C-61696E000000}", TextAt(HKEY_LOCAL_MACHINE, plain, "clsidPlug"));
    EXPECT_EQ("{141AC903-506C-6E31-706C-61696E000000}", TextAt(HKEY_LOCAL_MACHINE, plain, "clsidProps"));

    std::string synth = EntryKeyOf(plugins + "\\Instruments\\synth.dll");
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, synth, "registerAsSynth"));
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, synth, "forceStereo"));
    EXPECT_EQ(fixtures::SYNTH_RECT_RIGHT, DwordAt(HKEY_LOCAL_MACHINE, synth, "cxEditor"));
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, EntryKeyOf(plugins + "\\Instruments\\midi_open.dll"), "wantEvents"));
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, EntryKeyOf(plugins + "\\Effects\\Deep\\chunks.dll"), "progsChunks"));
    for (const std::string& name : broken)
        EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, EntryKeyOf(plugins + "\\Broken\\" + name), "isBad")) << name;

    // No adapter library here: the registration says so, and so does the
    // finished page, instead of claiming success.
    EXPECT_EQ(std::vector<std::string>{NO_LIBRARY_TEXT}, run.messages);
    EXPECT_TRUE(run.finished);
    EXPECT_NE(SUCCESS_TEXT, run.finishedText);
    EXPECT_FALSE(run.finishedText.empty());
}

TEST_F(WizardTest, ASecondRunLoadsNoKnownPluginAgainAndSkipsTheBadOnes)
{
    PlantTree();
    SetText(HKEY_LOCAL_MACHINE, "Software\\Vst", "VstPluginsPath", plugins);
    ASSERT_EQ(0, RunWizard().exitCode);
    std::vector<std::string> firstEntries = StoredTree(HKEY_LOCAL_MACHINE, PLUGINS_KEY);

    std::vector<std::string> dlls = {"plain.dll", "Effects\\My.Great Plug-in v1.2.dll", "Effects\\Deep\\chunks.dll",
                                     "Instruments\\synth.dll", "Instruments\\midi_open.dll", "Broken\\fault_main.dll",
                                     "Broken\\fault_open.dll", "Other\\bad_magic.dll"};
    for (const std::string& dll : dlls)
        DeleteFileA((plugins + "\\" + dll + FIXTURE_LOG_SUFFIX).c_str());

    RunSeen second = RunWizard();
    EXPECT_EQ(0, second.exitCode);
    EXPECT_TRUE(second.loadErrors.empty());
    EXPECT_EQ(5u, second.rows.size());   // the bad ones are not listed
    for (const std::string& mark : second.newMarks)
        EXPECT_EQ(" ", mark);
    for (size_t i = 0; i < 7; ++i)
        EXPECT_TRUE(fixtures::CallLog(plugins + "\\" + dlls[i]).empty()) << dlls[i] << " was loaded again";
    // Not a plug-in: its entry went, so it is probed again in every run.
    EXPECT_FALSE(fixtures::CallLog(plugins + "\\Other\\bad_magic.dll").empty());
    EXPECT_EQ(7, SubkeyCount(HKEY_LOCAL_MACHINE, PLUGINS_KEY));
    // Byte for byte as the first run left them.
    EXPECT_EQ(firstEntries, StoredTree(HKEY_LOCAL_MACHINE, PLUGINS_KEY));
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, EntryKeyOf(plugins + "\\Broken\\fault_main.dll"), "isBad"));
}

TEST_F(WizardTest, APluginDeletedBetweenRunsLosesItsEntry)
{
    std::string keep = Plant("plain.dll", "keep.dll");
    std::string doomed = Plant("synth.dll", "Sub\\doomed.dll");
    std::string doomedEntry = EntryKeyOf(doomed);
    SetText(HKEY_LOCAL_MACHINE, "Software\\Vst", "VstPluginsPath", plugins);
    ASSERT_EQ(0, RunWizard().exitCode);
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, doomedEntry));

    DeleteFileA(doomed.c_str());
    EXPECT_EQ(0, RunWizard().exitCode);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, doomedEntry));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, EntryKeyOf(keep)));
}

TEST_F(WizardTest, RescanRunsProbeTheRightPluginsAgainAndKeepTheUsersChoices)
{
    std::string plain = Plant("plain.dll", "plain.dll");
    std::string crashing = Plant("fault_open.dll", "crashing.dll");
    SetText(HKEY_LOCAL_MACHINE, "Software\\Vst", "VstPluginsPath", plugins);
    ASSERT_EQ(0, RunWizard().exitCode);

    // The user's choices, and stale facts the probe will refresh.
    std::string entry = EntryKeyOf(plain);
    SetDword(HKEY_LOCAL_MACHINE, entry, "registerAsPlug", 0);
    SetDword(HKEY_LOCAL_MACHINE, entry, "registerAsSynth", 1);
    SetDword(HKEY_LOCAL_MACHINE, entry, "forceStereo", 1);
    SetDword(HKEY_LOCAL_MACHINE, entry, "nrpnPassThrough", 1);
    SetText(HKEY_LOCAL_MACHINE, entry, "PresetPath", "C:\\My Presets");
    SetText(HKEY_LOCAL_MACHINE, entry, "FullPath", "C:\\Old\\plain.dll");
    SetDword(HKEY_LOCAL_MACHINE, entry, "numParams", 99);

    RunSeen failed = RunWizard(RunPlan().on(PATHS, [](WizardDriver&, HWND page) {
        SetCheck(page, IDC_PATHS_RESCAN_FAILED, true);
        return IDOK;
    }));
    ASSERT_EQ(1u, failed.loadErrors.size());   // only the bad one is probed again
    EXPECT_EQ("Open", failed.loadErrors[0].step);
    EXPECT_EQ(99, DwordAt(HKEY_LOCAL_MACHINE, entry, "numParams"));

    DeleteFileA((plain + FIXTURE_LOG_SUFFIX).c_str());
    RunSeen existing = RunWizard(RunPlan().on(PATHS, [](WizardDriver&, HWND page) {
        SetCheck(page, IDC_PATHS_RESCAN_EXISTING, true);
        return IDOK;
    }));
    EXPECT_TRUE(existing.loadErrors.empty());   // the bad one is skipped again
    EXPECT_FALSE(fixtures::CallLog(plain).empty());
    EXPECT_EQ(fixtures::PLAIN_PARAMS, DwordAt(HKEY_LOCAL_MACHINE, entry, "numParams"));
    EXPECT_EQ(plain, TextAt(HKEY_LOCAL_MACHINE, entry, "FullPath"));
    EXPECT_EQ(0, DwordAt(HKEY_LOCAL_MACHINE, entry, "registerAsPlug"));
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, entry, "registerAsSynth"));
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, entry, "forceStereo"));
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, entry, "nrpnPassThrough"));
    EXPECT_EQ("C:\\My Presets", TextAt(HKEY_LOCAL_MACHINE, entry, "PresetPath"));
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "rescanExisting"));
}

TEST_F(WizardTest, SubdivideAndNoPrefixShapeTheRegisteredClassNames)
{
    std::string plain = Plant("plain.dll", "plain.dll");
    SetText(HKEY_LOCAL_MACHINE, "Software\\Vst", "VstPluginsPath", plugins);
    std::string display;
    RunPlan plan;
    plan.on(PATHS, [](WizardDriver&, HWND page) {
        SetCheck(page, IDC_PATHS_SUBDIVIDE, true);
        SetCheck(page, IDC_PATHS_NO_PREFIX, true);
        return IDOK;
    });
    plan.on(LIST, [&](WizardDriver&, HWND) {
        std::string clsid = TextAt(HKEY_LOCAL_MACHINE, EntryKeyOf(plain), "clsidPlug");
        display = TextAt(HKEY_CLASSES_ROOT, "CLSID\\" + clsid, nullptr);
        return IDOK;
    });
    EXPECT_EQ(0, RunWizard(plan).exitCode);
    EXPECT_EQ("0 plain", display);
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "subDivide"));
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "noPrefix"));
    EXPECT_EQ(0, DwordAt(HKEY_LOCAL_MACHINE, EntryKeyOf(plain), "addVstPrefix"));
}

TEST_F(WizardTest, ResetAllThenNextTreatsEveryPluginAsNew)
{
    Plant("plain.dll", "plain.dll");
    Plant("synth.dll", "synth.dll");
    SetText(HKEY_LOCAL_MACHINE, "Software\\Vst", "VstPluginsPath", plugins);
    ASSERT_EQ(0, RunWizard().exitCode);
    SetDword(HKEY_LOCAL_MACHINE, PLUGINS_KEY "\\Stale", "touch", 1);

    int entriesAfterReset = -1;
    std::vector<std::string> unregistration;
    RunSeen run = RunWizard(RunPlan().on(PATHS, [&](WizardDriver& driver, HWND page) {
        Click(page, IDC_PATHS_RESET);
        if (HWND confirm = driver.waitFor(RESET))
            Click(confirm, IDOK);
        if (HWND box = driver.waitFor(MESSAGE)) {   // no adapter library to unregister
            unregistration.push_back(ReadMessageBox(box).text);
            Click(box, IDOK);
        }
        EXPECT_FALSE(driver.waitFor(PATHS, 2000));   // the page stays: no new window
        entriesAfterReset = SubkeyCount(HKEY_LOCAL_MACHINE, PLUGINS_KEY);
        return IDOK;
    }));
    EXPECT_EQ(std::vector<std::string>{"Couldn't find OLVST.DLL or file corrupt. LoadLibrary failed during "
                                       "unregistration."},
              unregistration);
    EXPECT_EQ(0, run.exitCode);
    EXPECT_EQ(0, entriesAfterReset);
    ASSERT_EQ(2u, run.rows.size());
    EXPECT_EQ("Y", run.newMarks[0]);
    EXPECT_EQ("Y", run.newMarks[1]);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, PLUGINS_KEY "\\Stale"));
    EXPECT_EQ(plugins, TextAt(HKEY_LOCAL_MACHINE, PATHS_KEY, plugins.c_str()));
}

TEST_F(WizardTest, TheAdapterLibrarysAnswerDecidesWhatTheFinishedPageSays)
{
    Plant("plain.dll", "plain.dll");
    SetText(HKEY_LOCAL_MACHINE, "Software\\Vst", "VstPluginsPath", plugins);
    SetDword(HKEY_CLASSES_ROOT, "CLSID\\{141AC902-DEAD-BEEF-0000-000000000000}", "x", 1);
    UseAdapter("both");

    RunSeen refused = RunWizard(RunPlan().with("OLVST_ANSWER=S_FALSE"));
    EXPECT_EQ(std::vector<std::string>{"An error occured while registering VST plug-ins."}, refused.messages);
    EXPECT_NE(SUCCESS_TEXT, refused.finishedText);
    // The clean-up ran before the library was asked.
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\{141AC902-DEAD-BEEF-0000-000000000000}"));

    RunSeen accepted = RunWizard(RunPlan().with("OLVST_ANSWER=S_OK"));
    EXPECT_TRUE(accepted.messages.empty());
    EXPECT_EQ(SUCCESS_TEXT, accepted.finishedText);
    EXPECT_EQ(0, accepted.exitCode);
}

TEST_F(WizardTest, AnExceptionOutsideTheProbeEndsOnTheExceptionPageAndNothingAfterIt)
{
    Plant("plain.dll", "plain.dll");
    SetText(HKEY_LOCAL_MACHINE, "Software\\Vst", "VstPluginsPath", plugins);
    UseAdapter("both");
    RunSeen run = RunWizard(RunPlan().with("OLVST_ANSWER=fault"));
    EXPECT_EQ(0, run.exitCode);
    EXPECT_EQ("calling reg routine", run.exceptionPoint);
    EXPECT_TRUE(run.exceptionOperation == "Eliminate subkey" || run.exceptionOperation == "DxCache")
        << run.exceptionOperation;
    EXPECT_FALSE(run.finished);
}

TEST_F(WizardTest, CancelEndsTheProgramAtOnceWithExitCodeZero)
{
    Plant("plain.dll", "plain.dll");
    SetText(HKEY_LOCAL_MACHINE, "Software\\Vst", "VstPluginsPath", plugins);
    RunSeen welcome = RunWizard(RunPlan().on(WELCOME, [](WizardDriver&, HWND) { return IDC_WELCOME_CANCEL; }));
    EXPECT_EQ(0, welcome.exitCode);
    EXPECT_EQ(std::vector<std::string>{WELCOME}, welcome.windows);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, PRODUCT_KEY));

    RunSeen paths = RunWizard(RunPlan().on(PATHS, [](WizardDriver&, HWND page) {
        SetCheck(page, IDC_PATHS_SUBDIVIDE, true);
        return IDC_PATHS_CANCEL;
    }));
    EXPECT_EQ(0, paths.exitCode);
    EXPECT_EQ((std::vector<std::string>{WELCOME, PATHS}), paths.windows);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, PATHS_KEY));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, PLUGINS_KEY));
    EXPECT_EQ(-1, DwordAt(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "subDivide"));
}

TEST_F(WizardTest, WithoutAnyFolderTheWizardAsksForOneUntilItHasOne)
{
    Plant("plain.dll", "plain.dll");
    int rounds = 0;
    RunSeen run = RunWizard(RunPlan().on(PATHS, [&](WizardDriver&, HWND page) {
        EXPECT_TRUE(ListBoxLines(page, IDC_PATHS_LIST).empty()) << "round " << rounds;
        return ++rounds < 4 ? IDOK : IDC_PATHS_CANCEL;
    }));
    EXPECT_EQ(0, run.exitCode);
    EXPECT_EQ((std::vector<std::string>{WELCOME, PATHS, MESSAGE, PATHS, MESSAGE, PATHS, MESSAGE, PATHS}),
              run.windows);
    EXPECT_EQ(std::vector<std::string>(3, "Couldn't find any VST plug-in paths. Ostrel VST Adapter needs at least "
                                          "one plug-in path in order to continue."),
              run.messages);
}

namespace {

// The clipboard's text once it holds any, or "" after five seconds.
std::string WaitForClipboardText()
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < 5000; Sleep(50)) {
        if (!OpenClipboard(nullptr))
            continue;
        std::string text;
        if (HANDLE data = GetClipboardData(CF_TEXT)) {
            text = static_cast<const char*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
        if (!text.empty())
            return text;
    }
    return "";
}

} // namespace

TEST_F(WizardTest, OtherFilesTellsWhatBecameOfEveryDllThatIsNotListed)
{
    Plant("plain.dll", "plain.dll");
    Plant("raise_cpp.dll", "crash.dll");
    Plant("noentry.dll", "newer.dll");
    WriteBytes(plugins + "\\readme.dll", "Not a library.\r\n");
    SetText(HKEY_LOCAL_MACHINE, "Software\\Vst", "VstPluginsPath", plugins);
    const std::pair<const char*, const char*> results[] = {
        {"plain.dll", "VST plug-in, recorded"},
        {"crash.dll", "Crashed at \"Set Block Size\" (exception 0xE06D7363); marked bad"},
        {"newer.dll", "Exports only \"VSTPluginMain\", a newer VST 2.4 entry point this adapter does not use"},
        {"readme.dll", "Cannot be loaded: not a library at all"},
    };
    std::vector<std::string> expectedRows, clipboardLines;
    for (const std::string& name : DllsIn(plugins))
        for (const auto& r : results)
            if (name == r.first) {
                clipboardLines.push_back(plugins + "\\" + name + "\t" + r.second + "\r\n");
                if (name != "plain.dll")
                    expectedRows.push_back(name + "\t" + plugins + "\t" + r.second);
            }

    std::vector<std::string> rows;
    std::string clipboard;
    RunSeen run = RunWizard(RunPlan().on(LIST, [&](WizardDriver& driver, HWND list) {
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
        if (HWND report = OpenReport(driver, list)) {
            rows = ReportRows(report);
            SaveScreenshot(report, "other-files");
            Click(report, IDC_REPORT_COPY);
            clipboard = WaitForClipboardText();
            CloseReport(report);
        }
        return IDOK;
    }));
    EXPECT_EQ(0, run.exitCode);
    EXPECT_EQ(1u, run.loadErrors.size());
    EXPECT_EQ(expectedRows, rows);
    std::string expectedClipboard;
    for (const std::string& line : clipboardLines)
        expectedClipboard += line;
    EXPECT_EQ(expectedClipboard, clipboard);
    EXPECT_TRUE(run.finished);
}
