#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include "base/registry.h"
#include "base/state.h"
#include "pages/pages.h"
#include "resource.h"
#include "support/dialogs.h"
#include "support/driver.h"
#include "support/files.h"
#include "support/registry.h"
#include "support/screenshot.h"
#include "support/state.h"
#include "wizard/run.h"

namespace {

std::vector<std::string> SearchPaths()
{
    std::vector<std::string> paths;
    for (char* path : SearchPathList)
        paths.push_back(path);
    return paths;
}

void OpenPathsKey()
{
    CreateKey(HKEY_LOCAL_MACHINE, PATHS_KEY, &pathsKey);
}

std::string SelectedItem(HWND tree)
{
    char text[MAX_PATH] = "";
    TVITEMA item{};
    item.mask = TVIF_TEXT;
    item.hItem = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return text;
}

std::string MakeFolder(const std::string& dir, const char* name)
{
    std::string folder = dir + "\\" + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

} // namespace

TEST(PathsPage, EditsFoldersAndStoresOptionsOnNext)
{
    ClearProgramKeys();
    StartFreshRun();
    OpenPathsKey();
    std::string dir = FreshDir("pages_paths");
    std::string loaded = MakeFolder(dir, "Loaded"), one = MakeFolder(dir, "One"), two = MakeFolder(dir, "Two Words");
    SetText(HKEY_LOCAL_MACHINE, PATHS_KEY, loaded.c_str(), loaded);
    SearchPathList.append(NewPathText(loaded.c_str()));
    WizardOptions = {1, 0, 1, 0};
    // The second answer repeats the first in other letters; one Cancel.
    std::string again = one;
    CharUpperA(&again[0]);
    AnswerBrowserWith({one, two, again, ""});

    DialogScript script;
    script.on(PATHS, [&](HWND page) {
        EXPECT_EQ(std::vector<std::string>{loaded}, ListBoxLines(page, IDC_PATHS_LIST));
        EXPECT_FALSE(IsChecked(page, IDC_PATHS_RESCAN_FAILED));
        EXPECT_TRUE(IsChecked(page, IDC_PATHS_SUBDIVIDE));
        EXPECT_FALSE(IsChecked(page, IDC_PATHS_NO_PREFIX));
        EXPECT_TRUE(IsChecked(page, IDC_PATHS_RESCAN_EXISTING));

        for (int i = 0; i < 4; ++i)
            ClickNow(page, IDC_PATHS_ADD);
        EXPECT_EQ((std::vector<std::string>{loaded, one, two}), ListBoxLines(page, IDC_PATHS_LIST));
        EXPECT_EQ(ListBoxLines(page, IDC_PATHS_LIST), SearchPaths());
        EXPECT_EQ(1, SendDlgItemMessageA(page, IDC_PATHS_LIST, LB_GETCURSEL, 0, 0)) << "the folder listed already";
        EXPECT_EQ(one, TextAt(HKEY_LOCAL_MACHINE, PATHS_KEY, one.c_str()));
        EXPECT_EQ(two, TextAt(HKEY_LOCAL_MACHINE, PATHS_KEY, two.c_str()));
        SaveScreenshot(page, "paths_page");

        SendDlgItemMessageA(page, IDC_PATHS_LIST, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        ClickNow(page, IDC_PATHS_REMOVE);
        EXPECT_EQ(3u, SearchPathList.count) << "Remove without a selected line";
        SendDlgItemMessageA(page, IDC_PATHS_LIST, LB_SETCURSEL, 1, 0);
        ClickNow(page, IDC_PATHS_REMOVE);
        EXPECT_EQ((std::vector<std::string>{loaded, two}), ListBoxLines(page, IDC_PATHS_LIST));
        EXPECT_EQ(ListBoxLines(page, IDC_PATHS_LIST), SearchPaths());
        EXPECT_EQ("<missing>", TextAt(HKEY_LOCAL_MACHINE, PATHS_KEY, one.c_str()));
        EXPECT_EQ(loaded, TextAt(HKEY_LOCAL_MACHINE, PATHS_KEY, loaded.c_str()));

        SetCheck(page, IDC_PATHS_RESCAN_FAILED, true);
        SetCheck(page, IDC_PATHS_SUBDIVIDE, false);
        SetCheck(page, IDC_PATHS_NO_PREFIX, true);
        SetCheck(page, IDC_PATHS_RESCAN_EXISTING, false);
        ExpectIgnoresEscapeAndClose(page);
        EXPECT_EQ("DlgPathsProc", std::string(FailureTrace.traceOperation));
        EXPECT_EQ("Proc", std::string(FailureTrace.traceFailurePoint));
        Click(page, IDOK);
    });
    EXPECT_EQ(0, ShowDialog(IDD_PATHS, DlgPathsProc));
    EXPECT_TRUE(script.finished());

    EXPECT_EQ(1u, WizardOptions.rescanFailed);
    EXPECT_EQ(0u, WizardOptions.subDivide);
    EXPECT_EQ(1u, WizardOptions.noPrefix);
    EXPECT_EQ(0u, WizardOptions.rescanExisting);
    EXPECT_EQ(0, DwordAt(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "subDivide"));
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "noPrefix"));
    EXPECT_EQ(0, DwordAt(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "rescanExisting"));
    EXPECT_EQ(-1, DwordAt(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "rescanFailed"));
}

// The shell's own browser, answered as a user would: a folder selected, OK.
// Wine's browser selects folders on C: (not on the build's Z: drive).
TEST(PathsPage, RealFolderBrowserReturnsTheChosenFolder)
{
    ClearProgramKeys();
    StartFreshRun();
    OpenPathsKey();
    std::string dir = "C:\\Tandrel pages";
    RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string chosen = MakeFolder(dir, "Chosen Folder");

    DialogScript script;
    script.on(PATHS, [](HWND page) { Click(page, IDC_PATHS_ADD); })
        .on("Browse for Folder", [&](HWND browser) {
            // The browser may still be filling its tree: select until it holds.
            HWND tree = FindWindowExA(browser, nullptr, "SysTreeView32", nullptr);
            for (int attempt = 0; attempt < 20 && SelectedItem(tree) != "Chosen Folder"; ++attempt) {
                SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(chosen.c_str()));
                PumpMessages(50);
            }
            SaveScreenshot(browser, "paths_folder_browser");
            Click(browser, IDOK);
        })
        .on(PATHS, [](HWND page) { Click(page, IDOK); });
    ShowDialog(IDD_PATHS, DlgPathsProc);
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(std::vector<std::string>{chosen}, SearchPaths());
    EXPECT_EQ(chosen, TextAt(HKEY_LOCAL_MACHINE, PATHS_KEY, chosen.c_str()));
    RemoveTree(dir);
}

// Run by the next test in a process of its own: Cancel ends the process.
TEST(PathsPage, DISABLED_CancelChild)
{
    StartFreshRun();
    OpenPathsKey();
    AnswerBrowserWith({FreshDir("pages_cancel")});
    DialogScript script;
    script.on(PATHS, [](HWND page) {
        ClickNow(page, IDC_PATHS_ADD);
        SetCheck(page, IDC_PATHS_SUBDIVIDE, true);
        Click(page, IDC_PATHS_CANCEL);
    });
    ShowDialog(IDD_PATHS, DlgPathsProc);
    ADD_FAILURE() << "the page returned after Cancel";
}

TEST(PathsPage, CancelEndsTheProcessKeepingWhatWasWritten)
{
    ClearProgramKeys();
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    EXPECT_EQ(0, RunProcess(std::string("\"") + exe
                            + "\" --gtest_also_run_disabled_tests --gtest_filter=PathsPage.DISABLED_CancelChild"));
    std::string added = FreshDir("pages_cancel");
    EXPECT_EQ(added, TextAt(HKEY_LOCAL_MACHINE, PATHS_KEY, added.c_str())) << "Add writes at once";
    EXPECT_EQ(-1, DwordAt(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "subDivide")) << "options are stored on Next only";
}

TEST(PathsPage, ResetRunsOnlyAfterYesAndKeepsTheSettings)
{
    ClearProgramKeys();
    StartFreshRun();
    OpenPathsKey();
    AddPlugin("Reverb", "REVERB", "C:\\vst\\Reverb.dll");
    AddPlugin("Delay", "DELAY", "C:\\vst\\Delay.dll");
    SetText(HKEY_LOCAL_MACHINE, PATHS_KEY, "C:\\vst", "C:\\vst");
    SearchPathList.append(NewPathText("C:\\vst"));
    SetDword(HKEY_LOCAL_MACHINE, DEFAULTS_KEY, "registerAsPlug", 0);
    SetDword(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "noPrefix", 1);

    DialogScript script;
    script.on(PATHS, [](HWND page) { Click(page, IDC_PATHS_RESET); })
        .on(RESET, [](HWND box) {
            ExpectIgnoresEscapeAndClose(box);
            SaveScreenshot(box, "paths_reset_confirmation");
            Click(box, IDC_RESET_NO);
        })
        .on(PATHS, [](HWND page) {
            EXPECT_EQ(2, SubkeyCount(HKEY_LOCAL_MACHINE, PLUGINS_KEY)) << "No changes nothing";
            EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\{141AC902-0000-0000-5245-564552420000}"));
            Click(page, IDC_PATHS_RESET);
        })
        .on(RESET, [](HWND box) { Click(box, IDOK); })
        .answerMessageBox()     // no adapter library beside the tests
        .on(PATHS, [](HWND page) {
            EXPECT_EQ(0, SubkeyCount(HKEY_LOCAL_MACHINE, PLUGINS_KEY));
            EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\{141AC902-0000-0000-5245-564552420000}"));
            EXPECT_EQ(std::vector<std::string>{"C:\\vst"}, ListBoxLines(page, IDC_PATHS_LIST));
            EXPECT_EQ(1u, SearchPathList.count);
            EXPECT_EQ("C:\\vst", TextAt(HKEY_LOCAL_MACHINE, PATHS_KEY, "C:\\vst"));
            EXPECT_EQ(0, DwordAt(HKEY_LOCAL_MACHINE, DEFAULTS_KEY, "registerAsPlug"));
            EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "noPrefix"));
            Click(page, IDOK);
        });
    ShowDialog(IDD_PATHS, DlgPathsProc);
    EXPECT_TRUE(script.finished());
}

// The whole run, to see it insist on a folder: Next on an empty list brings
// the message and the page again.
TEST(PathsPage, RunShowsThePageAgainUntilAFolderIsListed)
{
    ClearProgramKeys();
    std::string folder = FreshDir("pages_run");
    AnswerBrowserWith({folder});
    DialogScript script;
    script.on(PATHS, [](HWND page) { Click(page, IDOK); })
        .answerMessageBox()
        .on(PATHS, [](HWND page) {
            ClickNow(page, IDC_PATHS_ADD);
            Click(page, IDOK);
        });
    std::vector<std::string> answered;
    AnswerEveryPage(script, &answered);
    EXPECT_EQ(0, WizardMain(GetModuleHandleA(nullptr)));

    EXPECT_TRUE(script.finished());
    // No adapter library beside the tests: its message comes before the end.
    EXPECT_EQ((std::vector<std::string>{WELCOME, LIST, MESSAGE, FINISHED}), answered);
    ASSERT_FALSE(script.messageBoxes().empty());
    const MessageBoxSeen& box = script.messageBoxes()[0];
    EXPECT_EQ("Couldn't find any VST plug-in paths. Ostrel VST Adapter needs at least one plug-in path in "
              "order to continue.", box.text);
    EXPECT_EQ(MESSAGE, box.caption);
    EXPECT_TRUE(box.onlyOk);
    EXPECT_FALSE(box.hasOwner);
    EXPECT_EQ(folder, TextAt(HKEY_LOCAL_MACHINE, PATHS_KEY, folder.c_str()));
}
