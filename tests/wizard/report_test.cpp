// What the run's report says of each DLL: one analysis step per file, over
// the fixture family and files that are no plug-in at all, checked against
// the reason each one should get.
#include <gtest/gtest.h>
#include <cstring>
#include <functional>
#include <string>
#include <vector>
#include "probe/hostile.h"
#include "resource.h"
#include "support/dialogs.h"
#include "support/files.h"
#include "support/registry.h"
#include "support/state.h"
#include "wizard/report.h"
#include "wizard/run.h"
#include "wizard/state.h"

namespace {

enum Setup { PLANT, PLANT_64_BIT, TEXT_FILE, FOLDER, STORED_GOOD, STORED_BAD };

struct Case {
    Setup setup;
    const char* fixture;    // under bin\plugins
    const char* name;       // the file name it gets
    DllResult result;
    DWORD detail;
    const char* text;       // the report's own text, or null for none
};

const Case CASES[] = {
    {PLANT, "plain.dll", "plain.dll", DLL_RECORDED, 0, nullptr},
    {PLANT, "main_upper.dll", "upper.dll", DLL_RECORDED, 0, nullptr},
    {STORED_GOOD, "plain.dll", "known.dll", DLL_RECORDED_KNOWN, 0, nullptr},
    {STORED_BAD, "plain.dll", "oldbad.dll", DLL_SKIPPED_BAD, 0, nullptr},
    // A raised code: under the emulator this suite may run in, hardware
    // faults arrive with codes other than Windows gives them.
    {PLANT, "raise_cpp.dll", "crashes.dll", DLL_RECORDED_BAD, 0xE06D7363, "Set Block Size"},
    {PLANT, "raise_skipped.dll", "skipped.dll", DLL_NOT_RESPONDING, EXCEPTION_PLUGIN_SKIPPED, "Open"},
    {PLANT, "raise_exited.dll", "exits.dll", DLL_ASKED_TO_EXIT, EXCEPTION_PLUGIN_EXITED, "Open"},
    {PLANT_64_BIT, "plain.dll", "wide.dll", DLL_64_BIT, IMAGE_FILE_MACHINE_AMD64, nullptr},
    {PLANT, "needs_missing.dll", "needy.dll", DLL_MISSING_LIBRARY, 0, "missing_helper.dll"},
    {TEXT_FILE, nullptr, "readme.dll", DLL_NOT_A_LIBRARY, 0, nullptr},
    {FOLDER, nullptr, "folder.dll", DLL_FOLDER, 0, nullptr},
    {PLANT, "noentry.dll", "newentry.dll", DLL_NO_ENTRY, 1, nullptr},
    {PLANT, "helpers\\missing_helper.dll", "helper.dll", DLL_NO_ENTRY, 0, nullptr},
    {PLANT, "null_entry.dll", "nothing.dll", DLL_NO_EFFECT, 0, nullptr},
    {PLANT, "no_dispatcher.dll", "nodisp.dll", DLL_NO_EFFECT, 1, nullptr},
    {PLANT, "bad_magic.dll", "magic.dll", DLL_BAD_MAGIC, 0x56737451, nullptr},
    {PLANT, "no_identify.dll", "anonym.dll", DLL_NOT_IDENTIFIED, 0, nullptr},
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

std::string Described(const DllReport& entry)
{
    char text[512];
    DescribeDll(entry, text, sizeof text);
    return text;
}

} // namespace

TEST(DllReport, EveryDllGetsTheReasonWhereItsAnalysisEnded)
{
    ClearProgramKeys();
    ClearReport();
    StartFreshRun();
    std::string folder = FreshDir("report_reasons");
    DialogScript script;
    std::vector<std::string> steps;
    std::function<void(HWND)> answer = [&](HWND page) {
        steps.push_back(ItemText(page, IDC_LOAD_ERROR_STEP));
        Click(page, IDOK);
        script.on("VST Plug-in Load Error", answer);
    };
    script.on("VST Plug-in Load Error", answer);

    // The report keeps pointers to the paths, as it does to FoundDllList's.
    std::vector<std::string> paths;
    paths.reserve(CASE_COUNT);
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
    }

    ASSERT_EQ(CASE_COUNT, ReportCount());
    for (size_t i = 0; i < CASE_COUNT; ++i) {
        const DllReport& entry = ReportAt(static_cast<unsigned>(i));
        SCOPED_TRACE(CASES[i].name);
        EXPECT_EQ(paths[i].c_str(), entry.path);
        EXPECT_EQ(CASES[i].result, entry.result) << Described(entry);
        EXPECT_EQ(CASES[i].detail, entry.detail);
        EXPECT_STREQ(CASES[i].text, entry.text);
        EXPECT_EQ(CASES[i].result <= DLL_RECORDED_KNOWN, RecordedWell(entry));
    }
    // Three faulted: the load-error page came for each, at the step reported.
    EXPECT_EQ((std::vector<std::string>{"Set Block Size", "Open", "Open"}), steps);
    EXPECT_EQ("Cannot be loaded: built for 64-bit hosts; this adapter is 32-bit", Described(ReportAt(7)));
    EXPECT_EQ("Cannot be loaded: it needs missing_helper.dll, which is missing", Described(ReportAt(8)));
    EXPECT_EQ("Crashed at \"Set Block Size\" (exception 0xE06D7363); marked bad",
              Described(ReportAt(4)));
    EXPECT_EQ("Cannot be loaded: a folder, not a DLL file", Described(ReportAt(10)));

    // A load the file says nothing more about: the system's own message.
    ClearReport();
    ReportDll("C:\\x.dll", DLL_LOAD_FAILED, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(0u, Described(ReportAt(0)).find("Cannot be loaded: "));
    EXPECT_GT(Described(ReportAt(0)).size(), strlen("Cannot be loaded: ") + 5);
    ClearReport();
    ClearProgramKeys();
    EmptyPluginList();
}
