// What the run's report says of each DLL: one analysis step per file, over
// the fixture family and files that are no plug-in at all, checked against
// the reason each one should get and what "Other files..." shows of it.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>
#include "base/state.h"
#include "pages/pages.h"
#include "probe/hostile.h"
#include "report/report.h"
#include "resource.h"
#include "support/dialogs.h"
#include "support/files.h"
#include "support/registry.h"
#include "support/state.h"
#include "wizard/run.h"
#include "wizard/stages.h"

namespace {

enum Setup { PLANT, PLANT_64_BIT, TEXT_FILE, FOLDER, STORED_GOOD, STORED_BAD };

struct Case {
    Setup setup;
    const char* fixture;    // under bin\plugins
    const char* name;       // the file name it gets
    DllResult result;
    DWORD detail;
    const char* text;       // the report's own text, or null for none
    const char* shown;      // the result "Other files..." shows; null: it is not there (listed as it should be)
};

const Case CASES[] = {
    {PLANT, "plain.dll", "plain.dll", DLL_RECORDED, 0, nullptr, nullptr},
    {PLANT, "main_upper.dll", "upper.dll", DLL_RECORDED, 0, nullptr, nullptr},
    {STORED_GOOD, "plain.dll", "known.dll", DLL_RECORDED_KNOWN, 0, nullptr, nullptr},
    {STORED_BAD, "plain.dll", "oldbad.dll", DLL_SKIPPED_BAD, 0, nullptr,
     "Skipped: it crashed in an earlier run; tick \"Re-scan failed plug-ins\" to try it again"},
    // A raised code: under the emulator this suite may run in, hardware
    // faults arrive with codes other than Windows gives them.
    {PLANT, "raise_cpp.dll", "crashes.dll", DLL_RECORDED_BAD, 0xE06D7363, "Set Block Size",
     "Crashed at \"Set Block Size\" (exception 0xE06D7363); marked bad"},
    {PLANT, "raise_skipped.dll", "skipped.dll", DLL_NOT_RESPONDING, EXCEPTION_PLUGIN_SKIPPED, "Open",
     "Did not respond at \"Open\", skipped; marked bad"},
    {PLANT, "raise_exited.dll", "exits.dll", DLL_ASKED_TO_EXIT, EXCEPTION_PLUGIN_EXITED, "Open",
     "Asked to end the process at \"Open\"; marked bad"},
    {PLANT_64_BIT, "plain.dll", "wide.dll", DLL_64_BIT, IMAGE_FILE_MACHINE_AMD64, nullptr,
     "Cannot be loaded: built for 64-bit hosts; this adapter is 32-bit"},
    {PLANT, "needs_missing.dll", "needy.dll", DLL_MISSING_LIBRARY, 0, "missing_helper.dll",
     "Cannot be loaded: it needs missing_helper.dll, which is missing"},
    {TEXT_FILE, nullptr, "readme.dll", DLL_NOT_A_LIBRARY, 0, nullptr, "Cannot be loaded: not a library at all"},
    {FOLDER, nullptr, "folder.dll", DLL_FOLDER, 0, nullptr, "Cannot be loaded: a folder, not a DLL file"},
    {PLANT, "noentry.dll", "newentry.dll", DLL_NO_ENTRY, 1, nullptr,
     "Exports only \"VSTPluginMain\", a newer VST 2.4 entry point this adapter does not use"},
    {PLANT, "helpers\\missing_helper.dll", "helper.dll", DLL_NO_ENTRY, 0, nullptr,
     "Not a VST plug-in: no \"main\" or \"Main\" export"},
    {PLANT, "null_entry.dll", "nothing.dll", DLL_NO_EFFECT, 0, nullptr, "Its entry point returned nothing"},
    {PLANT, "no_dispatcher.dll", "nodisp.dll", DLL_NO_EFFECT, 1, nullptr,
     "Its entry point returned an effect without a dispatcher"},
    {PLANT, "bad_magic.dll", "magic.dll", DLL_BAD_MAGIC, 0x56737451, nullptr,
     "Not a VST plug-in: wrong magic number (0x56737451)"},
    {PLANT, "no_identify.dll", "anonym.dll", DLL_NOT_IDENTIFIED, 0, nullptr,
     "Did not identify itself as a VST plug-in (effIdentify answered 0x00000000)"},
};
const size_t CASE_COUNT = sizeof CASES / sizeof CASES[0];

// The PE machine field of a copied 32-bit DLL, set to x64's.
void MarkAs64Bit(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    LONG peAt = 0;
    DWORD done = 0;
    SetFilePointer(file, 0x3C, nullptr, FILE_BEGIN);
    ReadFile(file, &peAt, sizeof peAt, &done, nullptr);
    WORD machine = IMAGE_FILE_MACHINE_AMD64;
    SetFilePointer(file, peAt + 4, nullptr, FILE_BEGIN);
    WriteFile(file, &machine, sizeof machine, &done, nullptr);
    CloseHandle(file);
}

} // namespace

TEST(DllReport, EveryDllGetsTheReasonWhereItsAnalysisEnded)
{
    ClearProgramKeys();
    StartFreshRun();
    std::string folder = FreshDir("report_reasons");
    std::vector<PluginStep> pages;
    DialogScript script;
    script.answerLoadErrors(&pages);

    // The report keeps pointers to the paths, as it does to FoundDllList's.
    std::vector<std::string> paths;
    paths.reserve(CASE_COUNT);
    std::vector<std::string> shown;
    for (const Case& c : CASES) {
        std::string path = folder + "\\" + c.name;
        if (c.setup == TEXT_FILE)
            WriteBytes(path, "Read me first.\r\n");
        else if (c.setup == FOLDER)
            CreateDirectoryA(path.c_str(), nullptr);
        else
            ASSERT_TRUE(PlantFixture(c.fixture, path)) << c.fixture;
        if (c.setup == PLANT_64_BIT)
            MarkAs64Bit(path);
        if (c.setup == STORED_GOOD || c.setup == STORED_BAD) {
            SetDword(HKEY_LOCAL_MACHINE, EntryKeyOf(path), "isVst", 1);
            SetDword(HKEY_LOCAL_MACHINE, EntryKeyOf(path), "isBad", c.setup == STORED_BAD);
        }
        paths.push_back(path);
        AnalyseDll(paths.back().c_str());
        if (c.shown)
            shown.push_back(std::string(c.name) + "\t" + folder + "\t" + c.shown);
    }

    ASSERT_EQ(CASE_COUNT, ReportCount());
    for (size_t i = 0; i < CASE_COUNT; ++i) {
        const DllReport& entry = ReportAt(static_cast<unsigned>(i));
        SCOPED_TRACE(CASES[i].name);
        EXPECT_EQ(paths[i].c_str(), entry.path);
        EXPECT_EQ(CASES[i].result, entry.result);
        EXPECT_EQ(CASES[i].detail, entry.detail);
        EXPECT_STREQ(CASES[i].text, entry.text);
    }
    // Three faulted: the load-error page came for each, at the step reported.
    EXPECT_EQ((std::vector<PluginStep>{{"crashes", "Set Block Size"}, {"skipped", "Open"}, {"exits", "Open"}}),
              pages);
    // What the user reads: every DLL that is not listed as it should be, with
    // its result, in scan order.
    std::vector<std::string> rows;
    script.on(REPORT, [&](HWND report) {
        rows = ReportRows(report);
        Click(report, IDOK);
    });
    ShowDialog(IDD_REPORT, DlgReportProc);
    EXPECT_EQ(shown, rows);

    // A load the file says nothing more about: the system's own message.
    ReleaseLists();
    ReportDll("C:\\x.dll", DLL_LOAD_FAILED, ERROR_FILE_NOT_FOUND);
    char text[512];
    DescribeDll(ReportAt(0), text, sizeof text);
    EXPECT_EQ(0u, std::string(text).find("Cannot be loaded: "));
    EXPECT_GT(strlen(text), strlen("Cannot be loaded: ") + 5);
    ReleaseLists();
    ClearProgramKeys();
}
