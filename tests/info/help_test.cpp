#include <gtest/gtest.h>
#include "about/help.h"
#include <commctrl.h>
#include "support/dialogs.h"
#include "support/files.h"
#include "support/help.h"
#include "support/screenshot.h"

// The binding state lives for the whole process, and each test case runs in
// a process of its own: every case here starts unbound.

namespace {

std::vector<std::string> answers;   // "double" or "fail", one per load, in order

HMODULE WINAPI ScriptedLoad(LPCSTR name)
{
    size_t index = helpLoads.size();
    helpLoads.push_back(name);
    if (index < answers.size() && answers[index] == "double")
        return LoadLibraryA(HelpDoublePath().c_str());
    if (index < answers.size() && answers[index] == "self")
        return GetModuleHandleA(nullptr);   // a module without export 14
    return nullptr;
}

std::string RegisteredHelpControl()
{
    char path[260] = "";
    LONG size = sizeof path;
    RegQueryValueA(HKEY_CLASSES_ROOT, "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32", path, &size);
    return path;
}

} // namespace

TEST(HelpLauncher, BindsTheRegisteredControlOnceAndOpensTheFileBesideTheProgram)
{
    ASSERT_FALSE(RegisteredHelpControl().empty()) << "Wine registers the HTML Help control";
    answers = {"double"};
    loadHelpLibrary = ScriptedLoad;

    EXPECT_EQ(HELP_DOUBLE_WINDOW, ShowHelp());
    const HelpCall* call = HelpDoubleCalls();
    EXPECT_EQ(GetDesktopWindow(), call->caller);
    EXPECT_STRCASEEQ((ExeDir() + "\\olvst.chm").c_str(), call->file);
    EXPECT_EQ(0u, call->command);   // HH_DISPLAY_TOPIC, the default topic
    EXPECT_EQ(0u, call->data);

    EXPECT_EQ(HELP_DOUBLE_WINDOW, CallHtmlHelp(nullptr, "other.chm", 15, 7));
    EXPECT_EQ(2, call->calls);
    EXPECT_STREQ("other.chm", call->file);
    EXPECT_EQ(15u, call->command);
    EXPECT_EQ(7u, call->data);
    EXPECT_EQ(std::vector<std::string>{RegisteredHelpControl()}, helpLoads);
}

TEST(HelpLauncher, FallsBackToTheControlByName)
{
    answers = {"fail", "double"};
    loadHelpLibrary = ScriptedLoad;
    EXPECT_EQ(HELP_DOUBLE_WINDOW, ShowHelp());
    ASSERT_EQ(2u, helpLoads.size());
    EXPECT_EQ("hhctrl.ocx", helpLoads[1]);
}

TEST(HelpLauncher, AFailedLoadIsNeverTriedAgain)
{
    answers = {"fail", "fail", "double", "double"};
    loadHelpLibrary = ScriptedLoad;
    EXPECT_EQ(nullptr, ShowHelp());
    EXPECT_EQ(nullptr, ShowHelp());
    EXPECT_EQ(nullptr, CallHtmlHelp(nullptr, "x.chm", 0, 0));
    EXPECT_EQ(2u, helpLoads.size());
}

TEST(HelpLauncher, ALibraryWithoutTheEntryStaysLoadedAndAnswersNothing)
{
    answers = {"self", "double"};
    loadHelpLibrary = ScriptedLoad;
    EXPECT_EQ(nullptr, ShowHelp());
    EXPECT_EQ(nullptr, ShowHelp());
    EXPECT_EQ(1u, helpLoads.size());
}

namespace {

BOOL CALLBACK FindTree(HWND child, LPARAM found)
{
    char cls[64];
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, WC_TREEVIEWA) == 0)
        *reinterpret_cast<HWND*>(found) = child;
    return TRUE;
}

} // namespace

// The real HTML Help control of Wine, and the help file the build made.
TEST(HelpLauncher, OpensTheBuiltHelpFileInTheSystemViewer)
{
    ASSERT_TRUE(FileExists(ExeDir() + "\\olvst.chm"));
    HWND viewer = ShowHelp();
    ASSERT_NE(nullptr, viewer);
    PumpMessages(1000);
    char cls[64] = "";
    GetClassNameA(viewer, cls, sizeof cls);
    EXPECT_STREQ("HH Parent", cls);
    EXPECT_EQ("Ostrel VST Adapter Help", WindowText(viewer));

    HWND tree = nullptr;
    EnumChildWindows(viewer, FindTree, reinterpret_cast<LPARAM>(&tree));
    ASSERT_NE(nullptr, tree);
    EXPECT_EQ(19u, TreeView_GetCount(tree)) << "the contents of the help file";
    SaveScreenshot(viewer, "help_viewer");
    DestroyWindow(viewer);
}

// The help file's path is built in a 256-byte buffer. Run from folders around
// that limit, the launcher opens the file beside the program while it fits and
// does nothing, rather than open a cut path or overflow, when it does not.
TEST(HelpLauncher, DISABLED_ChildOpensHelpBesideItselfOrNotAtAll)
{
    answers = {"double"};
    loadHelpLibrary = ScriptedLoad;
    char self[1024];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    std::string expected = std::string(self, length);
    expected = expected.substr(0, expected.rfind('\\')) + "\\olvst.chm";

    HWND result = ShowHelp();
    if (expected.size() <= 255) {
        EXPECT_EQ(HELP_DOUBLE_WINDOW, result);
        EXPECT_STRCASEEQ(expected.c_str(), HelpDoubleCalls()->file);
    } else {
        EXPECT_EQ(nullptr, result);
        EXPECT_TRUE(helpLoads.empty());
    }
}

TEST(HelpLauncher, NoOverflowWhateverTheProgramsPathLength)
{
    std::string base = FreshDir("help_path");
    SetEnvironmentVariableA("HELP_DOUBLE", HelpDoublePath().c_str());
    // The help file's path then has 255 characters (fits), 256 (does not), and
    // the program's own path 256 (does not fit either).
    struct { size_t folder; const char* name; } cases[] = {{245, "h.exe"}, {246, "h.exe"}, {246, "hhhhh.exe"}};
    for (auto& c : cases) {
        std::string folder = base + "\\" + std::string(c.folder - base.size() - 1, 'd');
        ASSERT_EQ(c.folder, folder.size());
        CreateDirectoryA(folder.c_str(), nullptr);
        std::string program = folder + "\\" + c.name;
        ASSERT_TRUE(CopyInto(ExeDir() + "\\info_tests.exe", program));
        SCOPED_TRACE(program.size());
        EXPECT_EQ(0, RunProcess("\"" + program + "\" --gtest_also_run_disabled_tests "
                                "--gtest_filter=HelpLauncher.DISABLED_ChildOpensHelpBesideItselfOrNotAtAll"));
    }
}
