#include <gtest/gtest.h>
#include <string>
#include "base/state.h"
#include "pages/pages.h"
#include "resource.h"
#include "support/dialogs.h"
#include "support/help.h"
#include "support/registry.h"
#include "support/screenshot.h"
#include "wizard/run.h"

namespace {

const char SUCCESS_TEXT[] =
    "Your VST plug-ins were configured succesfully, and are now available to your DirectX applications.";

std::string ListBoxLine(HWND list, int line)
{
    char text[1024] = "";
    if (SendMessageA(list, LB_GETTEXTLEN, line, 0) < static_cast<LRESULT>(sizeof text))
        SendMessageA(list, LB_GETTEXT, line, reinterpret_cast<LPARAM>(text));
    return text;
}

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
// begins with the same text. A DLL about to be loaded is the selected line
// and is on the status line, drawn there, before its code runs, whatever the
// pace of the page's repaints; a known plug-in that is only touched gets its
// line at once and the status line at the next repaint.
TEST(ProgressPage, ShowsEveryDllAsItsOwnLastLine)
{
    ClearProgramKeys();
    SetDword(HKEY_LOCAL_MACHINE, PLUGINS_KEY "\\known", "isVst", 1);
    HWND page = OpenDialog(IDD_PROGRESS, DlgNullProc);
    ASSERT_TRUE(IsWindowVisible(page));
    progressWindow = page;
    const struct {
        const char* path;
        bool loaded;
    } dlls[] = {
        {"C:\\missing\\fx.dll\\inner.dll", true},
        {"C:\\missing\\fx.dll", true},
        {"C:\\missing\\known.dll", false},
        {"C:\\missing\\other.dll", true},
    };
    HWND list = GetDlgItem(page, IDC_PROGRESS_LIST);
    HWND status = GetDlgItem(page, IDC_PROGRESS_STATUS);
    for (int i = 0; i < 4; ++i) {
        AnalyseDll(dlls[i].path);
        EXPECT_EQ(i + 1, SendMessageA(list, LB_GETCOUNT, 0, 0)) << dlls[i].path;
        EXPECT_EQ(dlls[i].path, ListBoxLine(list, i));
        if (!dlls[i].loaded)
            continue;
        EXPECT_EQ(i, SendMessageA(list, LB_GETCURSEL, 0, 0)) << dlls[i].path;
        EXPECT_EQ(dlls[i].path, ItemText(page, IDC_PROGRESS_STATUS));
        EXPECT_FALSE(GetUpdateRect(status, nullptr, FALSE)) << dlls[i].path << ": not drawn yet";
    }
    EXPECT_EQ(1, DwordAt(HKEY_LOCAL_MACHINE, PLUGINS_KEY "\\known", "touch"));
    SaveScreenshot(page, "progress");
    progressWindow = nullptr;
    DestroyWindow(page);
    ClearProgramKeys();
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
