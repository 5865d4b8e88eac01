// Plug-ins that end the process or never return, each probed by the real
// program beside a good plug-in, with the watchdog's limit lowered: what the
// run shows, what it writes, and that it ends with exit code 0.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "e2e/driver.h"
#include "e2e/hostile.h"
#include "plugins/fixtures.h"
#include "probe/watchdog.h"
#include "resource.h"
#include "support/files.h"
#include "support/registry.h"
#include "support/screenshot.h"
#include "wizard/state.h"

namespace {

const char HANG[] = "VST Plug-in Not Responding";
const DWORD LIMIT_SECONDS = 2;

struct HostileRow {
    const char* fixture;      // its base name; planted beside the good plug-in, probed after it
    const char* answers;      // to each not-responding window in turn: W wait, S skip, - none (it goes by itself)
    const char* stuckStep;    // the step those windows name
    const char* errorStep;    // the step the load-error page names; null: no such page
    bool mustClose;           // the run ends with the message that the wizard must close
    const char* bareOf = nullptr;   // a copy of this fixture without its import name tables
};

const HostileRow ROWS[] = {
    {"exit_main", "", nullptr, "Main Call", false},
    {"abort_open", "", nullptr, "Open", false},
    {"exitprocess_mains", "", nullptr, "Switch On", false},
    {"exitprocess_bare", "", nullptr, "Switch On", false, "exitprocess_mains"},
    {"spin_open", "WS", "Open", "Open", false},
    {"slow_open", "-", "Open", nullptr, false},
    // Waiting inside the system in a loop: sent out as the sleep returns.
    {"sleep_loop_open", "S", "Open", "Open", false},
    {"sleep_attach", "S", "Load Library", "Load Library", false},
    // Waiting in the kernel for ever: the thread cannot be taken out of the system.
    {"wait_open", "S", "Open", nullptr, true},
};

void PrintTo(const HostileRow& row, std::ostream* out) { *out << row.fixture; }

struct Seen {
    std::vector<std::string> hangNames, hangSteps, loadErrors, messages;
    bool finished = false;
    long exitCode = -9;
};

Seen RunOver(const std::string& app, const HostileRow& row, bool screenshot)
{
    Seen seen;
    WizardDriver driver;
    EXPECT_TRUE(driver.start(app + "\\Tandrel.exe"));
    size_t answered = 0;
    std::string which;
    const std::vector<std::string> captions = {WELCOME, PATHS, HANG, LOAD_ERROR, LIST, MESSAGE, FINISHED};
    while (HWND window = driver.waitForAny(captions, &which)) {
        if (which == HANG) {
            seen.hangNames.push_back(ItemTextOf(window, IDC_HANG_NAME));
            seen.hangSteps.push_back(ItemTextOf(window, IDC_HANG_STEP));
            if (screenshot && answered == 0)
                SaveScreenshot(window, "not_responding");
            char answer = row.answers[answered] ? row.answers[answered++] : '-';
            if (answer != '-')
                Press(window, answer == 'W' ? IDC_HANG_WAIT : IDC_HANG_SKIP);
        } else if (which == LOAD_ERROR) {
            seen.loadErrors.push_back(ItemTextOf(window, IDC_LOAD_ERROR_NAME) + "|" +
                                      ItemTextOf(window, IDC_LOAD_ERROR_STEP));
            Press(window, IDOK);
        } else if (which == MESSAGE) {
            seen.messages.push_back(MessageBoxText(window));
            Press(window, IDOK);
        } else {
            seen.finished = seen.finished || which == FINISHED;
            Press(window, IDOK);
        }
    }
    seen.exitCode = driver.waitForExit(30000);
    return seen;
}

} // namespace

class HostilePlugins : public ::testing::TestWithParam<HostileRow> {
protected:
    void TearDown() override { ClearProgramKeys(); }
};

TEST_P(HostilePlugins, NeitherEndsNorHangsTheRun)
{
    const HostileRow& row = GetParam();
    {
        ClearProgramKeys();
        std::string dir = FreshDir(std::string("hostile_") + row.fixture);
        std::string plugins = dir + "\\Plugins", app = dir + "\\App";
        ASSERT_TRUE(InstallWizard(app));
        ASSERT_TRUE(CopyInto(ExeDir() + "\\doubles\\olvst_both.dll", app + "\\OLVST.DLL"));
        // Subfolders are scanned first: the good plug-in is analysed before the hostile one.
        std::string good = plugins + "\\Good\\good.dll";
        std::string hostile = plugins + "\\" + row.fixture + ".dll";
        ASSERT_TRUE(PlantFixture("plain.dll", good));
        ASSERT_TRUE(PlantFixture(std::string(row.bareOf ? row.bareOf : row.fixture) + ".dll", hostile));
        if (row.bareOf) {
            ASSERT_TRUE(DropImportNameTables(hostile));
        }
        SetText(HKEY_LOCAL_MACHINE, PATHS_KEY, plugins.c_str(), plugins);
        SetDword(HKEY_LOCAL_MACHINE, PRODUCT_KEY, PROBE_TIMEOUT_VALUE, LIMIT_SECONDS);

        DWORD start = GetTickCount();
        Seen seen = RunOver(app, row, row.answers[0] == 'W');

        EXPECT_EQ(0, seen.exitCode);
        EXPECT_LT(GetTickCount() - start, 40000u);
        ASSERT_EQ(strlen(row.answers), seen.hangNames.size());
        for (size_t i = 0; i < seen.hangNames.size(); ++i) {
            EXPECT_EQ(row.fixture, seen.hangNames[i]);
            EXPECT_EQ(row.stuckStep, seen.hangSteps[i]);
        }
        std::vector<std::string> errors;
        if (row.errorStep)
            errors.push_back(std::string(row.fixture) + "|" + row.errorStep);
        EXPECT_EQ(errors, seen.loadErrors);

        if (row.mustClose) {
            ASSERT_EQ(1u, seen.messages.size());
            EXPECT_NE(std::string::npos, seen.messages[0].find(row.fixture));
            EXPECT_NE(std::string::npos, seen.messages[0].find("must close"));
            EXPECT_FALSE(seen.finished);
        } else {
            EXPECT_TRUE(seen.messages.empty());
            EXPECT_TRUE(seen.finished);
            std::string entry = EntryKeyOf(hostile);
            EXPECT_EQ(row.errorStep ? 1 : 0, DwordAt(HKEY_LOCAL_MACHINE, entry, "isBad"));
            EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, entry, "isVst"));
            EXPECT_EQ(row.fixture, TextAt(HKEY_LOCAL_MACHINE, entry, "FullName"));
        }

        ExpectGoodPluginKept(good);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, HostilePlugins, ::testing::ValuesIn(ROWS),
                         [](const ::testing::TestParamInfo<HostileRow>& info) { return std::string(info.param.fixture); });
