#include <gtest/gtest.h>
#include "pages/pages.h"
#include "resource.h"
#include "support/dialogs.h"
#include "support/help.h"
#include "support/registry.h"
#include "support/screenshot.h"
#include "wizard/run.h"
#include "wizard/state.h"

namespace {

const char SUCCESS_TEXT[] =
    "Your VST plug-ins were configured succesfully, and are now available to your DirectX applications.";

} // namespace

TEST(WelcomePage, HelpAndAboutLeaveThePageAndNextEndsIt)
{
    const HelpCall* help = UseHelpDouble();
    HWND welcome = nullptr;
    bool disabledUnderAbout = false;
    int helpCallsOnPage = 0;
    DialogScript script;
    script.on(WELCOME, [&](HWND page) {
              welcome = page;
              SaveScreenshot(page, "welcome");
              OneByOne({
                  [=] { PressKey(page, VK_F1); },
                  [&, page] { helpCallsOnPage = help->calls; Click(page, IDC_WELCOME_ABOUT); },
              });
          })
        .on(ABOUT, [&](HWND box) {
            disabledUnderAbout = !IsWindowEnabled(welcome);
            Click(box, IDOK);
        })
        .on(WELCOME, [&](HWND page) { Click(page, IDOK); });

    EXPECT_EQ(0, ShowDialog(IDD_WELCOME, DlgWelcomeProc));
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(1, helpCallsOnPage);
    EXPECT_TRUE(disabledUnderAbout) << "a second About box could be opened";
    // The welcome page writes the same trace texts as the other information pages.
    EXPECT_STREQ("DlgNullProc", FailureTrace.traceOperation);
    EXPECT_STREQ("Proc", FailureTrace.traceFailurePoint);
}

// The run adds each DLL as the list's last line and selects that line by its
// position: a folder named like a DLL must not select another line that
// begins with the same text. The status line takes the path of the DLL under
// analysis whenever the page is redrawn, which is at most a moment apart.
TEST(ProgressPage, ShowsEveryDllAsItsOwnLastLine)
{
    ClearProgramKeys();
    HWND page = OpenDialog(IDD_PROGRESS, DlgNullProc);
    ASSERT_TRUE(IsWindowVisible(page));
    progressWindow = page;
    const char* paths[] = {"C:\\missing\\fx.dll\\inner.dll", "C:\\missing\\fx.dll", "C:\\missing\\other.dll"};
    HWND list = GetDlgItem(page, IDC_PROGRESS_LIST);
    for (int i = 0; i < 3; ++i) {
        Sleep(600);
        AnalyseDll(paths[i]);
        EXPECT_EQ(i + 1, SendMessageA(list, LB_GETCOUNT, 0, 0));
        EXPECT_EQ(i, SendMessageA(list, LB_GETCURSEL, 0, 0));
        EXPECT_EQ(paths[i], ItemText(page, IDC_PROGRESS_STATUS));
    }
    SaveScreenshot(page, "progress");
    progressWindow = nullptr;
    DestroyWindow(page);
}

// F1 opens help on none of the progress page, the notice and the finished
// page, and none of them closes on Escape or a close request.
TEST(InformationPages, IgnoreHelpEscapeAndClose)
{
    const HelpCall* help = UseHelpDouble();
    for (int id : {IDD_PROGRESS, IDD_REGISTERING}) {
        HWND page = OpenDialog(id, DlgNullProc);
        PressKey(page, VK_F1);
        PostMessageA(page, WM_CLOSE, 0, 0);
        PumpMessages(300);
        EXPECT_TRUE(IsWindowVisible(page)) << id;
        if (id == IDD_REGISTERING)
            SaveScreenshot(page, "registering");
        DestroyWindow(page);
    }

    bool openAfterKeys = false;
    DialogScript script;
    script.on(FINISHED, [&](HWND page) {
        OneByOne({
            [=] { PressKey(page, VK_F1); PressKey(page, VK_ESCAPE); PostMessageA(page, WM_CLOSE, 0, 0); },
            [&, page] { openAfterKeys = IsWindowVisible(page); Click(page, IDOK); },
        });
    });
    EXPECT_EQ(0, ShowDialog(IDD_FINISHED, DlgNullProc));
    EXPECT_TRUE(openAfterKeys);
    EXPECT_EQ(0, help->calls);
}

TEST(FinishedPage, ClaimsSuccessOnlyWhenNoFailureIsGiven)
{
    const char failure[] = "Your VST plug-ins could not be registered with your system. The message shown before "
                           "this page says what went wrong; put that right, then run this Wizard again.";
    for (const char* given : {static_cast<const char*>(nullptr), failure}) {
        std::string shown;
        bool fits = false;
        DialogScript script;
        script.on(FINISHED, [&](HWND page) {
            shown = ItemText(page, IDC_FINISHED_TEXT);
            fits = TextFits(GetDlgItem(page, IDC_FINISHED_TEXT));
            SaveScreenshot(page, given ? "finished_failed" : "finished");
            Click(page, IDOK);
        });
        EXPECT_EQ(0, ShowDialog(IDD_FINISHED, DlgNullProc, reinterpret_cast<LPARAM>(given)));
        EXPECT_EQ(given ? given : SUCCESS_TEXT, shown);
        EXPECT_TRUE(fits) << shown;
    }
}
