// Plug-ins that try to end, hang or damage the wizard, each beside a good
// one, through whole runs of the program: what each run shows, that it ends
// with exit code 0, and what the entries hold after the last run.
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>
#include "e2e/driver.h"
#include "e2e/hostile.h"
#include "plugins/fixtures.h"
#include "probe/marker.h"
#include "resource.h"
#include "support/files.h"
#include "support/registry.h"
#include "wizard/state.h"

namespace {

struct Planted {
    const char* fixture;   // built fixture file
    const char* file;      // where it goes, below the plug-in folder
};

struct RunExpected {
    std::vector<LoadError> loadErrors;   // in any order
    long exitCode = 0;
    bool finished = true;
};

const long NO_ENTRY = -1;

struct EntryExpected {
    const char* file;
    long isVst, isBad;   // isVst NO_ENTRY: the DLL has no entry
};

struct HostileCase {
    const char* name;
    std::vector<Planted> plugins;
    std::vector<RunExpected> runs;
    std::vector<EntryExpected> entries;   // after the last run
    std::function<void(const std::string& folder)> before;
    // The last run's report tells that the first planted DLL was kept
    // loaded, and names this as why; "" when it tells nothing of it (it was
    // released).
    const char* keptBecause = nullptr;
};

// "name at step" for each page, sorted.
std::vector<std::string> Pages(const std::vector<LoadError>& errors)
{
    std::vector<std::string> pages;
    for (const LoadError& error : errors)
        pages.push_back(error.name + " at " + error.step);
    std::sort(pages.begin(), pages.end());
    return pages;
}

void WriteMarker(const std::string& path, const char* entryName)
{
    ProbeMarker marker{};
    lstrcpynA(marker.FullPath, path.c_str(), sizeof marker.FullPath);
    lstrcpynA(marker.DosName, entryName, sizeof marker.DosName);
    lstrcpynA(marker.step, "Open", sizeof marker.step);
    SetRaw(HKEY_LOCAL_MACHINE, PRODUCT_KEY, PROBE_MARKER_VALUE, REG_BINARY, &marker, sizeof marker);
}

void PrintTo(const HostileCase& row, std::ostream* out) { *out << row.name; }

const HostileCase CASES[] = {
    {"UnmaskedFpuExceptionsDoNotReachTheNextPlugin",
     {{"fpu_unmask.dll", "First\\unmask.dll"}, {"fpu_nan.dll", "nan.dll"}},   // subfolders are analysed first
     {{}},
     {{"First\\unmask.dll", 1, 0}, {"nan.dll", 1, 0}}, nullptr},
    {"TwoStackOverflowsAreBothReportedInOneRun",
     {{"overflow.dll", "over1.dll"}, {"overflow.dll", "over2.dll"}},
     {{{{"over1", "Open"}, {"over2", "Open"}}}},
     {{"over1.dll", 1, 1}, {"over2.dll", 1, 1}}, nullptr},
    {"AFaultInDllMainIsReportedAndMarkedBad",
     {{"fault_attach.dll", "attach.dll"}},
     {{{{"attach", "Load Library"}}}},
     {{"attach.dll", 1, 1}}, nullptr},
    // Plug-ins that leave their code running: each stays loaded to the end.
    {"AThreadLeftRunningKeepsItsLibrary", {{"leave_thread.dll", "left.dll"}}, {{}}, {{"left.dll", 1, 0}},
     nullptr, "a thread running"},
    {"AWindowWithAMessagePostedToItKeepsItsLibrary", {{"leave_window.dll", "left.dll"}}, {{}},
     {{"left.dll", 1, 0}}, nullptr, "a window and a window class"},
    {"ATimerLeftBehindKeepsItsLibrary", {{"leave_timer.dll", "left.dll"}}, {{}}, {{"left.dll", 1, 0}}, nullptr,
     "a timer"},
    {"AHookLeftBehindKeepsItsLibrary", {{"leave_hook.dll", "left.dll"}}, {{}}, {{"left.dll", 1, 0}}, nullptr,
     "a message hook"},
    {"WhatIsTakenBackIsNotKept", {{"leave_tidy.dll", "tidy.dll"}}, {{}}, {{"tidy.dll", 1, 0}}, nullptr, ""},
    {"AHandlerLeftBehindIsNotCalledInFreedCodeByTheNextCrash",
     {{"leave_handler.dll", "First\\left.dll"}, {"fault_open.dll", "crash.dll"}},
     {{{{"crash", "Open"}}}},
     {{"First\\left.dll", 1, 0}, {"crash.dll", 1, 1}}, nullptr, "an exception handler"},
    {"AHelperLibraryBesideThePluginIsFound",
     {{"needs_helper.dll", "Helped\\needs_helper.dll"}, {"plugin_helper.dll", "Helped\\plugin_helper.dll"}},
     {{}},
     {{"Helped\\needs_helper.dll", 1, 0}, {"Helped\\plugin_helper.dll", NO_ENTRY, 0}}, nullptr},
    {"AFaultedPluginsHangingCleanUpDoesNotKeepTheProcess",
     {{"fault_main_hang.dll", "hang.dll"}},
     {{{{"hang", "Main Call"}}}},
     {{"hang.dll", 1, 1}}, nullptr},
    {"APluginThatEndsTheProcessIsReportedByTheNextRun",
     {{"kill_open.dll", "kill.dll"}},
     {{{}, 3, false}, {{{"kill", "Open"}}}, {}},
     {{"kill.dll", 1, 1}}, nullptr},
    {"AMarkerOfTheWrongTypeIsOnlyRemoved", {}, {{}}, {},
     [](const std::string&) { SetRaw(HKEY_LOCAL_MACHINE, PRODUCT_KEY, PROBE_MARKER_VALUE, REG_SZ, "x", 2); }},
    {"AMarkerOfTheWrongSizeIsOnlyRemoved", {}, {{}}, {},
     [](const std::string&) { SetRaw(HKEY_LOCAL_MACHINE, PRODUCT_KEY, PROBE_MARKER_VALUE, REG_BINARY, "0123456789", 10); }},
    {"AMarkerNamingAMissingDllIsOnlyRemoved", {}, {{}}, {{"gone.dll", NO_ENTRY, 0}},
     [](const std::string& folder) { WriteMarker(folder + "\\gone.dll", "gone"); }},
};

class HostileTest : public ::testing::TestWithParam<HostileCase> {
protected:
    void SetUp() override { ClearProgramKeys(); }
    void TearDown() override { ClearProgramKeys(); }
};

TEST_P(HostileTest, IsReportedAndMarkedBadAndTheGoodPluginIsKept)
{
    const HostileCase& row = GetParam();
    std::string dir = FreshDir(std::string("hostile_") + row.name);
    std::string plugins = dir + "\\Plugins", app = dir + "\\App";
    ASSERT_TRUE(InstallWizard(app));
    std::string good = plugins + "\\good.dll";
    ASSERT_TRUE(PlantFixture("plain.dll", good));
    for (const Planted& plant : row.plugins)
        ASSERT_TRUE(PlantFixture(plant.fixture, plugins + "\\" + plant.file)) << plant.fixture;
    SetText(HKEY_LOCAL_MACHINE, "Software\\Vst", "VstPluginsPath", plugins);
    if (row.before)
        row.before(plugins);

    std::vector<std::string> report;
    for (size_t i = 0; i < row.runs.size(); ++i) {
        const RunExpected& expected = row.runs[i];
        Hooks hooks;
        if (row.keptBecause)
            hooks.list = [&](WizardDriver& driver, HWND list) {
                if (HWND window = OpenReport(driver, list)) {
                    report = ReportRows(driver, window);
                    CloseReport(window);
                }
            };
        RunSeen run = DriveWizard(app + "\\Tandrel.exe", hooks, 20000);
        EXPECT_EQ(Pages(expected.loadErrors), Pages(run.loadErrors)) << "run " << i + 1;
        EXPECT_EQ(expected.exitCode, run.exitCode) << "run " << i + 1;
        EXPECT_EQ(expected.finished, run.finished) << "run " << i + 1;
        if (expected.finished) {
            EXPECT_EQ(-1, DwordAt(HKEY_LOCAL_MACHINE, PRODUCT_KEY, PROBE_MARKER_VALUE)) << "run " << i + 1;
        }
    }
    if (row.keptBecause && row.keptBecause[0]) {
        std::string path = plugins + "\\" + row.plugins[0].file;
        size_t slash = path.rfind('\\');
        std::string kept = path.substr(slash + 1) + "\t" + path.substr(0, slash) +
                           "\tVST plug-in, recorded; kept loaded until the Wizard closes: it left " + row.keptBecause;
        EXPECT_NE(report.end(), std::find(report.begin(), report.end(), kept)) << kept;
    } else if (row.keptBecause) {
        EXPECT_TRUE(report.empty()) << report.front();
    }

    for (const EntryExpected& entry : row.entries) {
        std::string key = EntryKeyOf(plugins + "\\" + entry.file);
        if (entry.isVst == NO_ENTRY) {
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key)) << entry.file;
            continue;
        }
        EXPECT_EQ(entry.isVst, DwordAt(HKEY_LOCAL_MACHINE, key, "isVst")) << entry.file;
        EXPECT_EQ(entry.isBad, DwordAt(HKEY_LOCAL_MACHINE, key, "isBad")) << entry.file;
    }
    ExpectGoodPluginKept(good);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, HostileTest, ::testing::ValuesIn(CASES),
                         [](const ::testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

// A second wizard started while one runs says so and ends; the first goes on.
TEST(Wizard, OnlyOneRunsAtATime)
{
    std::string dir = FreshDir("hostile_single");
    std::string program = dir + "\\Tandrel.exe";
    ASSERT_TRUE(CopyInto(ExeDir() + "\\Tandrel.exe", program));
    WizardDriver first, second;
    ASSERT_TRUE(first.start(program));
    HWND welcome = first.waitFor(WELCOME);
    ASSERT_TRUE(welcome);
    ASSERT_TRUE(second.start(program));
    HWND box = second.waitFor(MESSAGE);
    ASSERT_TRUE(box);
    EXPECT_EQ("The Ostrel VST Adapter Configuration Wizard is already running.", MessageBoxText(box));
    Press(box, IDOK);
    EXPECT_EQ(0, second.waitForExit());
    Press(welcome, IDC_WELCOME_CANCEL);
    EXPECT_EQ(0, first.waitForExit());
}

// A dialog template whose one control is of a class nobody registered: no
// dialog can be made from it.
std::vector<WORD> UnmakeableTemplate()
{
    std::vector<WORD> words = {LOWORD(WS_POPUP), HIWORD(WS_POPUP), 0, 0, 1, 0, 0, 100, 100, 0, 0, 0};
    words.insert(words.end(), {LOWORD(WS_CHILD), HIWORD(WS_CHILD), 0, 0, 0, 0, 10, 10, 1});
    for (const char* c = "NoSuchClass"; *c; ++c)
        words.push_back(*c);
    words.insert(words.end(), {0, 0, 0});
    return words;
}

// A page that cannot be made ends the run at once, before anything more is
// written: here its template is spoilt in a copy of the program.
TEST(Wizard, APageThatCannotBeShownEndsTheRun)
{
    std::vector<WORD> spoilt = UnmakeableTemplate();
    struct Row {
        int dialog;
        bool welcomed;
        const char* unwrittenKey;
    } rows[] = {{IDD_WELCOME, false, PRODUCT_KEY}, {IDD_PROGRESS, true, PLUGINS_KEY}};
    for (const Row& row : rows) {
        ClearProgramKeys();
        std::string dir = FreshDir("hostile_no_page_" + std::to_string(row.dialog));
        std::string program = dir + "\\Tandrel.exe";
        ASSERT_TRUE(CopyInto(ExeDir() + "\\Tandrel.exe", program));
        ASSERT_TRUE(CopyInto(fixtures::Built("plain.dll"), dir + "\\plain.dll"));
        HANDLE update = BeginUpdateResourceA(program.c_str(), FALSE);
        ASSERT_TRUE(update);
        ASSERT_TRUE(UpdateResourceA(update, RT_DIALOG, MAKEINTRESOURCEA(row.dialog),
                                    MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), spoilt.data(),
                                    spoilt.size() * sizeof(WORD)));
        ASSERT_TRUE(EndUpdateResourceA(update, FALSE));
        SetText(HKEY_LOCAL_MACHINE, "Software\\Vst", "VstPluginsPath", dir);

        RunSeen run = DriveWizard(program, {}, 20000);
        EXPECT_EQ(row.welcomed, run.welcomed) << row.dialog;
        EXPECT_EQ(0, run.exitCode) << row.dialog;
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, row.unwrittenKey)) << row.dialog;
    }
    ClearProgramKeys();
}

} // namespace
