// The probe inside the run's analysis step: a plug-in that faults at any
// step is reported on the load-error page and stays loaded, is stored as bad
// with what the probe had learnt, is skipped by later runs and is probed
// again on request; and the editor size a probed plug-in's entry keeps.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>
#include "base/state.h"
#include "plugins/fixtures.h"
#include "probe/vst2.h"
#include "support/dialogs.h"
#include "support/files.h"
#include "support/registry.h"
#include "support/state.h"
#include "wizard/run.h"

using namespace fixtures;

namespace {

// The analysis step for one DLL; the load-error pages it showed, each read
// and closed with OK.
std::vector<PluginStep> Analyse(const std::string& path)
{
    std::vector<PluginStep> pages;
    DialogScript script;
    script.answerLoadErrors(&pages);
    AnalyseDll(path.c_str());
    return pages;
}

void StartRun()
{
    ClearProgramKeys();
    StartFreshRun();
    DefaultRecord.registerAsPlug = 1;
}

// The fixture copied into a folder of its own, as a scan would find it.
std::string Installed(const std::string& fixture, const std::string& folder)
{
    std::string path = FreshDir(folder) + "\\" + fixture;
    PlantFixture(fixture, path);
    return path;
}

} // namespace

TEST(ProbeInRun, FaultAtEachStepIsReportedAndStoredAsBadWithWhatWasLearnt)
{
    struct Case {
        const char* fixture;
        const char* step;
        bool filled;        // the record got the plug-in's properties before the fault
        long long cxEditor;
    } cases[] = {
        {"fault_main.dll", "Main Call", false, 0},
        {"fault_identify.dll", "Check Identity", false, 0},
        {"fault_open.dll", "Open", false, 0},
        {"divzero.dll", "Open", false, 0},
        {"fault_samplerate.dll", "Set Sample Rate", false, 0},
        {"fault_blocksize.dll", "Set Block Size", false, 0},
        {"raise_cpp.dll", "Set Block Size", false, 0},
        {"fault_program.dll", "Set Program", false, 0},
        {"fault_mains_on.dll", "Switch On", false, 0},
        {"fault_mains_off.dll", "Switch Off", false, 0},
        {"fault_editopen.dll", "Open Editor", true, 0},
        {"fault_getrect.dll", "Get Editor RECT", true, 0},
        {"fault_editclose.dll", "Close Editor", true, SYNTH_RECT_RIGHT},
        {"fault_close.dll", "Close Effect", true, 240},
    };
    StartRun();
    unsigned listed = PluginList.count;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        std::string path = Installed(c.fixture, "run_faults");
        std::string base = std::string(c.fixture).substr(0, strlen(c.fixture) - 4);
        StartCallLog(path);

        std::vector<PluginStep> pages = Analyse(path);

        EXPECT_EQ((std::vector<PluginStep>{{base, c.step}}), pages);
        std::vector<std::string> calls = CallLog(path);
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(0u, calls.back().find("fault "));
        EXPECT_NE(nullptr, GetModuleHandleA(path.c_str()));
        std::string key = EntryKeyOf(path);
        EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, key, "isBad"));
        EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, key, "isVst"));
        EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, key, "touch"));
        EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, key, "registerAsPlug"));
        EXPECT_EQ(base, TextAt(HKEY_LOCAL_MACHINE, key, "FullName"));
        EXPECT_EQ(path, TextAt(HKEY_LOCAL_MACHINE, key, "FullPath"));
        EXPECT_EQ(c.filled ? PLAIN_UNIQUE_ID : 0, DwordAt(HKEY_LOCAL_MACHINE, key, "uniqueId"));
        EXPECT_EQ(c.filled ? PLAIN_PARAMS : 0, DwordAt(HKEY_LOCAL_MACHINE, key, "numParams"));
        EXPECT_EQ(c.cxEditor, DwordAt(HKEY_LOCAL_MACHINE, key, "cxEditor"));
        EXPECT_EQ(++listed, PluginList.count);
        EXPECT_EQ(1u, PluginList.at(listed - 1)->element.isBad);
    }
}

TEST(ProbeInRun, BadPluginIsSkippedUntilFailedPluginsAreProbedAgain)
{
    StartRun();
    std::string path = Installed("fault_open.dll", "run_rescan");
    std::string key = EntryKeyOf(path);
    StartCallLog(path);
    ASSERT_EQ(1u, Analyse(path).size());
    EXPECT_EQ("entry main", CallLog(path).front());

    // A later run leaves it alone and keeps its entry.
    StartCallLog(path);
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), "touch");
    unsigned listed = PluginList.count;
    EXPECT_TRUE(Analyse(path).empty());
    EXPECT_TRUE(CallLog(path).empty());
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, key, "touch"));
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, key, "isBad"));
    EXPECT_EQ(listed, PluginList.count);

    // Asked to, the run probes it again: it faults again and stays bad.
    WizardOptions.rescanFailed = 1;
    EXPECT_EQ((std::vector<PluginStep>{{"fault_open", "Open"}}), Analyse(path));
    std::vector<std::string> calls = CallLog(path);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ("fault access-violation", calls.back());
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, key, "isBad"));
    EXPECT_EQ(listed + 1, PluginList.count);
}

// The editor size the adapter opens a plug-in's editor at, as its entry
// holds it: the right and bottom of the rectangle the editor gives (top and
// left are not subtracted), nothing where it gives none, and for a plug-in
// without an editor the adapter's own: 240 wide, 20 a parameter high.
TEST(ProbeInRun, TheEntryHoldsTheSizeTheAdapterOpensTheEditorAt)
{
    struct Case {
        const char* fixture;
        long long cx, cy;
    } cases[] = {
        {"plain.dll", 240, 240},   // twelve parameters
        {"no_params.dll", 240, 0},
        {"synth.dll", SYNTH_RECT_RIGHT, SYNTH_RECT_BOTTOM},
        {"rect_null.dll", 0, 0},
        {"rect_untouched.dll", 0, 0},
        // The rectangle's 16-bit numbers, negative, as 32-bit ones.
        {"rect_negative.dll", 0xFFFF8000, 0xFFFFFFFF},
    };
    StartRun();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        std::string path = Installed(c.fixture, std::string("run_editor_") + c.fixture);
        StartCallLog(path);
        EXPECT_TRUE(Analyse(path).empty());
        std::string key = EntryKeyOf(path);
        EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, key, "isVst"));
        EXPECT_EQ(c.cx, DwordAt(HKEY_LOCAL_MACHINE, key, "cxEditor"));
        EXPECT_EQ(c.cy, DwordAt(HKEY_LOCAL_MACHINE, key, "cyEditor"));
        EXPECT_EQ(DispatchLine(effClose), CallLog(path).back());
        EXPECT_EQ(nullptr, GetModuleHandleA(path.c_str()));
    }
}
