#include <gtest/gtest.h>
#include "about/about.h"
#include "base/state.h"
#include "resource.h"
#include "support/dialogs.h"
#include "support/help.h"
#include "support/screenshot.h"

TEST(AboutBox, ShowsTheProductFromTheVersionResourceAndClosesOnlyThroughOk)
{
    const HelpCall* help = UseHelpDouble();
    std::string product, notice;
    bool fits = false, openAfterEscape = false, openAfterF1 = false;
    DialogScript script;
    script.on(ABOUT, [&](HWND box) {
        product = ItemText(box, IDC_ABOUT_PRODUCT);
        notice = ItemText(box, IDC_ABOUT_COMMENTS);
        fits = TextFits(GetDlgItem(box, IDC_ABOUT_COMMENTS));
        SaveScreenshot(box, "about");
        OneByOne({
            [=] { PressKey(box, VK_ESCAPE); PostMessageA(box, WM_CLOSE, 0, 0); },
            [&, box] { openAfterEscape = IsWindowVisible(box); PressKey(box, VK_F1); },
            [&, box] { openAfterF1 = IsWindowVisible(box); PressKey(box, VK_RETURN); },
        });
    });
    EXPECT_EQ(0, ShowDialog(IDD_ABOUT, DlgAboutProc));

    EXPECT_EQ("Ostrel VST Adapter Wizard 4.3.1", product);
    EXPECT_NE(std::string::npos, notice.find("Ostrel Music Software"));
    EXPECT_TRUE(fits) << "the notice is cut off";
    EXPECT_TRUE(openAfterEscape);
    EXPECT_TRUE(openAfterF1);
    EXPECT_EQ(1, help->calls);
    EXPECT_STREQ("DlgAboutProc", FailureTrace.traceOperation);
    EXPECT_STREQ("Proc", FailureTrace.traceFailurePoint);
}

TEST(VersionStrings, ReadOnlyTheUsEnglishTableAndNeverPastTheBuffer)
{
    HMODULE self = GetModuleHandleA(nullptr);
    char text[64];
    EXPECT_TRUE(GetVersionString(self, "FileVersion", text, sizeof text));
    EXPECT_STREQ("4.3.1.280", text);

    char small[8] = "";
    memset(small, 'x', sizeof small);
    EXPECT_TRUE(GetVersionString(self, "ProductName", small, 5));
    EXPECT_STREQ("Ostr", small);
    EXPECT_EQ('x', small[5]);

    strcpy(text, "stale");
    EXPECT_TRUE(GetVersionString(self, "LegalTrademarks", text, sizeof text));
    EXPECT_STREQ("", text);

    strcpy(text, "stale");
    EXPECT_FALSE(GetVersionString(self, "NoSuchKey", text, sizeof text));
    EXPECT_STREQ("", text);

    // A string table filed under British English is not found.
    HMODULE other = LoadLibraryA(HelpDoublePath().c_str());
    ASSERT_NE(nullptr, other);
    strcpy(text, "stale");
    EXPECT_FALSE(GetVersionString(other, "ProductName", text, sizeof text));
    EXPECT_STREQ("", text);
}
