// Plug-ins that try to end, hang or damage the wizard, each beside a good
// one, through whole runs of the program: what each run shows, that it ends
// as it should, and what the entries hold after the last run.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>
#include "base/state.h"
#include "plugins/fixtures.h"
#include "probe/marker.h"
#include "probe/watchdog.h"
#include "resource.h"
#include "support/driver.h"
#include "support/files.h"
#include "support/registry.h"
#include "support/screenshot.h"

namespace {

struct Planted {
    const char* fixture;   // built fixture file
    std::string file;      // where it goes, below the plug-in folder
};

struct RunExpected {
    std::vector<PluginStep> loadErrors;   // in any order
    long exitCode = 0;
    bool finished = true;
    // Each not-responding window names this plug-in and step, and gets the
    // next answer in turn: W wait, S skip, - none (it goes by itself).
    PluginStep stuck = {};
    const char* answers = "";
    std::vector<std::string> messages = {};
    // What each not-responding window advises; null: not looked at.
    const char* hangAdvice = nullptr;
};

const long NO_ENTRY = -1;

struct EntryExpected {
    std::string file;
    long isVst, isBad;   // isVst NO_ENTRY: the DLL has no entry
};

struct HostileCase {
    const char* name;
    std::vector<Planted> plugins;
    std::vector<RunExpected> runs;
    std::vector<EntryExpected> entries;   // after the last run
    std::function<void(const std::string& folder)> before = nullptr;
    // The last run's report tells that the first planted DLL was kept
    // loaded, and names this as why (one of several, with '|' between
    // them); "" when it tells nothing of it (it was released).
    const char* keptBecause = nullptr;
    // What the report says of that DLL before it tells why it was kept.
    const char* keptAs = "VST plug-in, recorded";
    // Only on a real processor: qemu's user-mode emulator ends the whole
    // process on a stack overflow instead of raising it in the thread.
    bool realProcessorOnly = false;
    // A result that the report of some run gives at least one DLL.
    const char* reportedOnce = nullptr;
};

void WriteMarker(const std::string& path, const char* entryName)
{
    ProbeMarker marker{};
    lstrcpynA(marker.FullPath, path.c_str(), sizeof marker.FullPath);
    lstrcpynA(marker.DosName, entryName, sizeof marker.DosName);
    lstrcpynA(marker.step, "Open", sizeof marker.step);
    SetRaw(HKEY_LOCAL_MACHINE, PRODUCT_KEY, PROBE_MARKER_VALUE, REG_BINARY, &marker, sizeof marker);
}

// The watchdog asks after 2 seconds instead of 15.
void LowerTheLimit(const std::string&)
{
    SetDword(HKEY_LOCAL_MACHINE, PRODUCT_KEY, PROBE_TIMEOUT_VALUE, 2);
}

void PrintTo(const HostileCase& row, std::ostream* out) { *out << row.name; }

std::string Joined(const std::vector<std::string>& lines)
{
    std::string joined;
    for (const std::string& line : lines)
        joined += line + "\n";
    return joined;
}

std::string BaseName(const std::string& file)
{
    std::string name = file.substr(file.rfind('\\') + 1);
    return name.substr(0, name.rfind('.'));
}

// One plug-in stopped at a step: it is reported there and marked bad.
HostileCase Stopped(const char* name, const char* fixture, const char* file, const char* step)
{
    return {name, {{fixture, file}}, {{{{BaseName(file), step}}}}, {{file, 1, 1}}};
}

// One plug-in that does not come back from a step, with the watchdog's limit
// lowered: each not-responding window gets the next answer; skipped, it is
// reported and marked bad.
HostileCase Stuck(const char* name, const char* fixture, const char* step, const char* answers)
{
    bool skipped = strchr(answers, 'S') != nullptr;
    RunExpected run{{}, 0, true, {BaseName(fixture), step}, answers};
    if (skipped)
        run.loadErrors = {run.stuck};
    return {name, {{fixture, fixture}}, {run}, {{fixture, 1, skipped}}, LowerTheLimit};
}

// One plug-in that does not come back from a step and cannot be stopped:
// skipped, the wizard says it must close, and closes.
HostileCase MustClose(const char* name, const char* fixture, const char* step)
{
    std::string plugin = BaseName(fixture);
    std::string text = "The plug-in \"" + plugin + "\" has stopped responding at the point \"" + step +
                       "\", and the Configuration Wizard cannot stop it. The Wizard must close now. When you run it "
                       "again, it will go on without this plug-in.";
    return {name, {{fixture, fixture}}, {{{}, 0, false, {plugin, step}, "S", {text}}}, {}, LowerTheLimit};
}

// One plug-in that waits for an answer in a window of its own: the
// not-responding window says so, and it is skipped as any wait is.
HostileCase WaitsInItsOwnWindow(const char* name, const char* fixture, const char* step)
{
    HostileCase row = Stuck(name, fixture, step, "S");
    row.runs[0].hangAdvice =
        "It is waiting for an answer in a window of its own: answer that window, and the Wizard goes on. Skip this "
        "plug-in closes that window and disables the plug-in, and the Wizard goes on with the next one.";
    return row;
}

const char RUN_AGAIN[] =
    "Not analysed in this run: memory is full of the plug-ins kept loaded; run the Wizard again to analyse it";

// Copies of a large plug-in that each stay loaded, more than a 32-bit
// address space holds (8 of 512 MB): the first run records what fits and
// tells to run it again for the rest, marking none bad; the second run
// records the rest.
HostileCase FillingTheAddressSpace(const char* name, const char* fixture, int copies)
{
    HostileCase row{name, {}, {{}, {}}, {}, nullptr, "a thread running"};
    for (int i = 1; i <= copies; ++i) {
        std::string file = "large" + std::to_string(i) + ".dll";
        row.plugins.push_back({fixture, file});
        row.entries.push_back({file, 1, 0});
    }
    row.reportedOnce = RUN_AGAIN;
    return row;
}

const HostileCase CASES[] = {
    {"UnmaskedFpuExceptionsDoNotReachTheNextPlugin",
     {{"fpu_unmask.dll", "First\\unmask.dll"}, {"fpu_nan.dll", "nan.dll"}},   // subfolders are analysed first
     {{}},
     {{"First\\unmask.dll", 1, 0}, {"nan.dll", 1, 0}}},
    {"TwoStackOverflowsAreBothReportedInOneRun",
     {{"overflow.dll", "over1.dll"}, {"overflow.dll", "over2.dll"}},
     {{{{"over1", "Open"}, {"over2", "Open"}}}},
     {{"over1.dll", 1, 1}, {"over2.dll", 1, 1}},
     nullptr, nullptr, nullptr, true},
    Stopped("AFaultInDllMainIsReportedAndMarkedBad", "fault_attach.dll", "attach.dll", "Load Library"),
    // Plug-ins that leave their code running: each stays loaded to the end.
    {"AThreadLeftRunningKeepsItsLibrary", {{"leave_thread.dll", "left.dll"}}, {{}}, {{"left.dll", 1, 0}},
     nullptr, "a thread running"},
    {"AWindowWithAMessagePostedToItKeepsItsLibrary", {{"leave_window.dll", "left.dll"}}, {{}},
     {{"left.dll", 1, 0}}, nullptr, "a window and a window class"},
    {"ATimerLeftBehindKeepsItsLibrary", {{"leave_timer.dll", "left.dll"}}, {{}}, {{"left.dll", 1, 0}}, nullptr,
     "a timer"},
    {"AHookLeftBehindKeepsItsLibrary", {{"leave_hook.dll", "left.dll"}}, {{}}, {{"left.dll", 1, 0}}, nullptr,
     "a message hook"},
    {"APoolWorkItemStillRunningKeepsItsLibrary", {{"leave_pool_work.dll", "left.dll"}}, {{}},
     // Whether the pool's thread has begun to run it yet is the pool's to decide.
     {{"left.dll", 1, 0}}, nullptr,
     "a queued callback still unfinished|a thread running and a queued callback still unfinished"},
    {"APoolWaitLeftRegisteredKeepsItsLibrary", {{"leave_wait.dll", "left.dll"}}, {{}}, {{"left.dll", 1, 0}},
     // The pool's own thread may hold the callback at that moment.
     nullptr, "a thread-pool callback|a thread running and a thread-pool callback"},
    {"AFibreLocalCallbackKeepsItsLibrary", {{"leave_fibre_local.dll", "left.dll"}}, {{}}, {{"left.dll", 1, 0}},
     nullptr, "a fibre-local storage callback"},
    {"AUnicodeDialogWithAMessagePostedToItKeepsItsLibrary", {{"leave_wide_dialog.dll", "left.dll"}}, {{}},
     {{"left.dll", 1, 0}}, nullptr, "a window"},
    {"WhatIsTakenBackIsNotKept", {{"leave_tidy.dll", "tidy.dll"}}, {{}}, {{"tidy.dll", 1, 0}}, nullptr, ""},
    {"AHandlerLeftBehindIsNotCalledInFreedCodeByTheNextCrash",
     {{"leave_handler.dll", "First\\left.dll"}, {"fault_open.dll", "crash.dll"}},
     {{{{"crash", "Open"}}}},
     {{"First\\left.dll", 1, 0}, {"crash.dll", 1, 1}}, nullptr, "an exception handler"},
    {"AHandlerAddedInDllMainIsNotCalledInFreedCodeByTheNextCrash",
     {{"handler_attach.dll", "First\\left.dll"}, {"fault_open.dll", "crash.dll"}},
     {{{{"crash", "Open"}}}},
     {{"First\\left.dll", 1, 0}, {"crash.dll", 1, 1}}, nullptr, "an exception handler"},
    // A kept plug-in's thread that ends the process later is stopped, and
    // that plug-in, not the one being analysed meanwhile, is marked bad.
    {"AKeptPluginsThreadEndingTheProcessIsStoppedAndMarkedBad",
     {{"exit_later.dll", "First\\later.dll"}, {"slow_open.dll", "slow.dll"}},
     {{}},
     {{"First\\later.dll", 1, 1}, {"slow.dll", 1, 0}}, nullptr, "a thread running",
     "VST plug-in, recorded; later one of its threads asked to end the process, and was stopped; marked bad"},
    {"AKeptPluginsThreadCrashingIsStoppedAndMarkedBad",
     {{"crash_later.dll", "First\\later.dll"}, {"slow_open.dll", "slow.dll"}},
     {{}},
     {{"First\\later.dll", 1, 1}, {"slow.dll", 1, 0}}, nullptr, "a thread running",
     "VST plug-in, recorded; later one of its threads crashed (exception 0xC0000005), and was stopped; marked bad"},
    {"AHelperLibraryBesideThePluginIsFound",
     {{"needs_helper.dll", "Helped\\needs_helper.dll"}, {"plugin_helper.dll", "Helped\\plugin_helper.dll"}},
     {{}},
     {{"Helped\\needs_helper.dll", 1, 0}, {"Helped\\plugin_helper.dll", NO_ENTRY, 0}}},
    Stopped("AFaultedPluginsHangingCleanUpDoesNotKeepTheProcess", "fault_main_hang.dll", "hang.dll", "Main Call"),
    // Plug-ins that end the process: the wizard stops them and goes on...
    Stopped("ExitInTheEntryPointIsReportedAndMarkedBad", "exit_main.dll", "exit_main.dll", "Main Call"),
    Stopped("AbortWhenOpenedIsReportedAndMarkedBad", "abort_open.dll", "abort_open.dll", "Open"),
    Stopped("ExitProcessWhenSwitchedOnIsReportedAndMarkedBad", "exitprocess_mains.dll", "exitprocess_mains.dll",
            "Switch On"),
    {"ExitProcessFromALibraryWithoutImportNamesIsStoppedToo",
     {{"exitprocess_mains.dll", "exitprocess_bare.dll"}},
     {{{{"exitprocess_bare", "Switch On"}}}},
     {{"exitprocess_bare.dll", 1, 1}},
     [](const std::string& folder) { ASSERT_TRUE(DropImportNameTables(folder + "\\exitprocess_bare.dll")); }},
    Stopped("AnExitLookedUpByNameIsStoppedToo", "kill_lookup_open.dll", "kill_lookup.dll", "Open"),
    // ...unless one ends it by a way of its own: the next run reports it.
    {"APluginThatEndsTheProcessIsReportedByTheNextRun",
     {{"kill_open.dll", "kill.dll"}},
     {{{}, 3, false}, {{{"kill", "Open"}}}, {}},
     {{"kill.dll", 1, 1}}},
    // Plug-ins that do not come back.
    Stuck("ASpinningPluginIsWaitedForAndThenSkipped", "spin_open.dll", "Open", "WS"),
    Stuck("ASlowPluginsQuestionGoesByItselfWhenItReturns", "slow_open.dll", "Open", "-"),
    // Waiting inside the system in a loop: the skip exception is raised as the sleep returns.
    Stuck("APluginSleepingInALoopIsSentOutWhenSkipped", "sleep_loop_open.dll", "Open", "S"),
    Stuck("APluginSleepingInDllMainIsSentOutWhenSkipped", "sleep_attach.dll", "Load Library", "S"),
    // Waiting in the kernel for ever: the thread cannot be taken out of the
    // system, and the wizard says it must close.
    MustClose("APluginWaitingForEverMakesTheWizardClose", "wait_open.dll", "Open"),
    // A marker that a run cannot take up is only removed.
    {"AMarkerOfTheWrongTypeIsOnlyRemoved", {}, {{}}, {},
     [](const std::string&) { SetRaw(HKEY_LOCAL_MACHINE, PRODUCT_KEY, PROBE_MARKER_VALUE, REG_SZ, "x", 2); }},
    {"AMarkerOfTheWrongSizeIsOnlyRemoved", {}, {{}}, {},
     [](const std::string&) { SetRaw(HKEY_LOCAL_MACHINE, PRODUCT_KEY, PROBE_MARKER_VALUE, REG_BINARY, "0123456789", 10); }},
    {"AMarkerNamingAMissingDllIsOnlyRemoved", {}, {{}}, {{"gone.dll", NO_ENTRY, 0}},
     [](const std::string& folder) { WriteMarker(folder + "\\gone.dll", "gone"); }},
    // Sleeping on a stack of its own: its frames are not on the thread's
    // stack, and the wizard says it must close rather than reach for them.
    MustClose("APluginSleepingOnAStackOfItsOwnMakesTheWizardClose", "own_stack_open.dll", "Open"),
    WaitsInItsOwnWindow("APluginWaitingInAMessageBoxOfItsOwnIsSkipped", "modal_main.dll", "Main Call"),
    WaitsInItsOwnWindow("APluginWaitingInTheFileDialogIsSkipped", "file_dialog_main.dll", "Main Call"),
    FillingTheAddressSpace("LargePluginsKeptLoadedLeaveTheRestForTheNextRun", "large_thread.dll", 8),
};

// The answers a run gives the not-responding windows, in turn.
int AnswerHang(const RunExpected& expected, size_t* answered, HWND window)
{
    if (expected.hangAdvice) {
        // It says so once the plug-in's window is up, which may come later.
        for (int i = 0; i < 200 && ItemText(window, IDC_HANG_ADVICE) != expected.hangAdvice; ++i)
            Sleep(50);
        EXPECT_EQ(expected.hangAdvice, ItemText(window, IDC_HANG_ADVICE));
    }
    char answer = expected.answers[*answered] ? expected.answers[(*answered)++] : '-';
    if (answer == 'W')
        SaveScreenshot(window, "not_responding");
    return answer == 'W' ? IDC_HANG_WAIT : answer == 'S' ? IDC_HANG_SKIP : NO_BUTTON;
}

std::vector<std::string> Sorted(const std::vector<PluginStep>& pages)
{
    std::vector<std::string> sorted;
    for (const PluginStep& page : pages)
        sorted.push_back(page.name + " at " + page.step);
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

class HostilePlugins : public ::testing::TestWithParam<HostileCase> {
protected:
    void SetUp() override { ClearProgramKeys(); }
    void TearDown() override { ClearProgramKeys(); }
};

} // namespace

// The good plug-in sits in a subfolder: the scan lists it before every DLL
// at the top of the plug-in folder, so it is analysed before a hostile one
// there can end the run.
TEST_P(HostilePlugins, LeaveTheRunAndTheGoodPluginWhole)
{
    const HostileCase& row = GetParam();
    if (row.realProcessorOnly && getenv("TANDREL_I386_EMULATED"))
        GTEST_SKIP() << "32-bit code runs in an emulator here";
    std::string dir = FreshDir(std::string("hostile_") + row.name);
    std::string plugins = dir + "\\Plugins", app = dir + "\\App";
    ASSERT_TRUE(InstallWizard(app));
    ASSERT_TRUE(CopyInto(ExeDir() + "\\doubles\\olvst_both.dll", app + "\\OLVST.DLL"));
    std::string good = plugins + "\\Good\\good.dll";
    ASSERT_TRUE(PlantFixture("plain.dll", good));
    for (const Planted& plant : row.plugins)
        ASSERT_TRUE(PlantFixture(plant.fixture, plugins + "\\" + plant.file)) << plant.fixture;
    SetText(HKEY_LOCAL_MACHINE, "Software\\Vst", "VstPluginsPath", plugins);
    if (row.before)
        row.before(plugins);

    std::vector<std::string> report;
    for (size_t i = 0; i < row.runs.size(); ++i) {
        SCOPED_TRACE("run " + std::to_string(i + 1));
        const RunExpected& expected = row.runs[i];
        size_t answered = 0;
        RunPlan plan;
        plan.exitTimeoutMs = 30000;
        plan.on(HANG, [&](WizardDriver&, HWND window) { return AnswerHang(expected, &answered, window); });
        if (row.keptBecause)
            plan.on(LIST, [&](WizardDriver& driver, HWND list) {
                if (HWND window = OpenReport(driver, list)) {
                    std::vector<std::string> rows = ReportRows(window);
                    report.insert(report.end(), rows.begin(), rows.end());
                    CloseReport(window);
                }
                return IDOK;
            });
        DWORD start = GetTickCount();
        RunSeen run = DriveWizard(app + "\\Tandrel.exe", plan);
        EXPECT_LT(GetTickCount() - start, 40000u);
        EXPECT_EQ(Sorted(expected.loadErrors), Sorted(run.loadErrors));
        EXPECT_EQ(std::vector<PluginStep>(strlen(expected.answers), expected.stuck), run.hangs);
        EXPECT_EQ(expected.messages, run.messages);
        EXPECT_EQ(expected.exitCode, run.exitCode);
        EXPECT_EQ(expected.finished, run.finished);
        if (expected.finished) {
            EXPECT_EQ(-1, DwordAt(HKEY_LOCAL_MACHINE, PRODUCT_KEY, PROBE_MARKER_VALUE));
        }
    }
    if (row.keptBecause && row.keptBecause[0]) {
        std::string path = plugins + "\\" + row.plugins[0].file;
        size_t slash = path.rfind('\\');
        std::string head = path.substr(slash + 1) + "\t" + path.substr(0, slash) + "\t" + row.keptAs +
                           "; kept loaded until the Wizard closes: it left ";
        std::string because = row.keptBecause;
        bool found = false;
        for (size_t start = 0, bar; !found; start = bar + 1) {
            bar = because.find('|', start);
            found = std::find(report.begin(), report.end(), head + because.substr(start, bar - start)) != report.end();
            if (bar == std::string::npos)
                break;
        }
        EXPECT_TRUE(found) << head << because << "\nin\n" << Joined(report);
    } else if (row.keptBecause) {
        EXPECT_TRUE(report.empty()) << report.front();
    }
    if (row.reportedOnce) {
        std::string tail = std::string("\t") + row.reportedOnce;
        EXPECT_TRUE(std::any_of(report.begin(), report.end(), [&](const std::string& line) {
            return line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
        })) << tail;
    }

    for (const EntryExpected& entry : row.entries) {
        std::string key = EntryKeyOf(plugins + "\\" + entry.file);
        if (entry.isVst == NO_ENTRY) {
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key)) << entry.file;
            continue;
        }
        EXPECT_EQ(BaseName(entry.file), TextAt(HKEY_LOCAL_MACHINE, key, "FullName")) << entry.file;
        EXPECT_EQ(entry.isVst, DwordAt(HKEY_LOCAL_MACHINE, key, "isVst")) << entry.file;
        EXPECT_EQ(entry.isBad, DwordAt(HKEY_LOCAL_MACHINE, key, "isBad")) << entry.file;
    }

    // The good plug-in's entry holds what its probe learnt, and it is not bad.
    std::string entry = EntryKeyOf(good);
    EXPECT_EQ(0, DwordAt(HKEY_LOCAL_MACHINE, entry, "isBad"));
    EXPECT_EQ(fixtures::PLAIN_UNIQUE_ID, DwordAt(HKEY_LOCAL_MACHINE, entry, "uniqueId"));
    EXPECT_EQ(fixtures::PLAIN_PARAMS, DwordAt(HKEY_LOCAL_MACHINE, entry, "numParams"));
    EXPECT_EQ(fixtures::PLAIN_PROGRAMS, DwordAt(HKEY_LOCAL_MACHINE, entry, "numPrograms"));
    EXPECT_EQ(good, TextAt(HKEY_LOCAL_MACHINE, entry, "FullPath"));
}

INSTANTIATE_TEST_SUITE_P(Rows, HostilePlugins, ::testing::ValuesIn(CASES),
                         [](const ::testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

// A second wizard started while one runs says so and ends; the first goes on.
TEST(Wizard, OnlyOneRunsAtATime)
{
    std::string dir = FreshDir("hostile_single");
    std::string program = dir + "\\Tandrel.exe";
    ASSERT_TRUE(CopyInto(ExeDir() + "\\Tandrel.exe", program));
    WizardDriver first;
    ASSERT_TRUE(first.start(program));
    HWND welcome = first.waitFor(WELCOME);
    ASSERT_TRUE(welcome);
    RunSeen second = DriveWizard(program);
    EXPECT_EQ(0, second.exitCode);
    EXPECT_EQ(std::vector<std::string>{MESSAGE}, second.windows);
    EXPECT_EQ(std::vector<std::string>{"The Ostrel VST Adapter Configuration Wizard is already running."},
              second.messages);
    Click(welcome, IDC_WELCOME_CANCEL);
    EXPECT_EQ(0, first.waitForExit());
}

namespace {

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

} // namespace

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

        RunPlan plan;
        plan.exitTimeoutMs = 20000;
        RunSeen run = DriveWizard(program, plan);
        EXPECT_EQ(row.welcomed, run.welcomed) << row.dialog;
        EXPECT_EQ(0, run.exitCode) << row.dialog;
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, row.unwrittenKey)) << row.dialog;
    }
    ClearProgramKeys();
}
