#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <set>
#include "base/state.h"
#include "base/text.h"
#include "pages/pages.h"
#include "report/report.h"
#include "resource.h"
#include "support/dialogs.h"
#include "support/registry.h"
#include "support/screenshot.h"
#include "support/state.h"

namespace {

PluginRecord* RowRecord(HWND list, int row)
{
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return reinterpret_cast<PluginRecord*>(item.lParam);
}

std::string Marks(const PluginRecord& record)
{
    return std::string(record.registerAsPlug ? "Y" : " ") + (record.registerAsSynth ? "Y" : " ")
        + (record.isNew ? "Y" : " ");
}

} // namespace

TEST(ListPage, ShowsSortedRowsThatReferToTheirRecords)
{
    ClearProgramKeys();
    StartFreshRun();
    editSelectedPlugin = 1;
    const char* names[] = {"Reverb", "Delay", "Chorus", "Delay"};
    int flags[][3] = {{1, 0, 1}, {0, 1, 0}, {1, 1, 0}, {0, 0, 1}};
    std::set<PluginRecord*> records;
    for (int i = 0; i < 4; ++i) {
        PluginRecord& record = AddPlugin(names[i], "", "");
        record.registerAsPlug = flags[i][0];
        record.registerAsSynth = flags[i][1];
        record.isNew = flags[i][2];
        records.insert(&record);
    }

    DialogScript script;
    script.on(LIST, [&](HWND page) {
        HWND list = GetDlgItem(page, IDC_LIST_PLUGINS);
        auto checkRows = [&] {
            ASSERT_EQ(4, ListViewColumns(list));
            ASSERT_EQ(4, SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
            std::set<PluginRecord*> shown;
            std::string previous;
            for (int row = 0; row < 4; ++row) {
                PluginRecord* record = RowRecord(list, row);
                ASSERT_TRUE(records.count(record)) << "row " << row << " refers to no listed record";
                shown.insert(record);
                EXPECT_EQ(record->FullName, ListViewCell(list, row, 0));
                EXPECT_LE(lstrcmpiA(previous.c_str(), record->FullName), 0) << "rows out of order";
                previous = record->FullName;
                EXPECT_EQ(Marks(*record),
                          ListViewCell(list, row, 1) + ListViewCell(list, row, 2) + ListViewCell(list, row, 3));
            }
            EXPECT_EQ(records, shown);
        };
        checkRows();
        EXPECT_EQ(-1, SendMessageA(list, LVM_GETSELECTIONMARK, 0, 0));
        EXPECT_EQ(0, SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0));
        SaveScreenshot(page, "list_page");

        // A second rebuild replaces the columns and rows instead of adding to them.
        RefreshPlugList();
        checkRows();

        // Without a selection mark the options dialog ends before it shows.
        rememberedRow = 3;
        ClickNow(page, IDC_LIST_PROPERTIES);
        EXPECT_EQ(-1, rememberedRow);

        RECT row{LVIR_BOUNDS, 0, 0, 0};
        SendMessageA(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
        LPARAM at = MAKELPARAM((row.left + row.right) / 2, (row.top + row.bottom) / 2);
        PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        PostMessageA(list, WM_LBUTTONUP, 0, at);
        ExpectIgnoresEscapeAndClose(page);
        EXPECT_EQ(std::vector<std::string>{LIST}, VisibleCaptions()) << "a double-click opens nothing";
        Click(page, IDOK);
    });
    EXPECT_EQ(0, ShowDialog(IDD_LIST, DlgListProc));
    EXPECT_TRUE(script.finished());
}

// With nothing to report the dialog still opens, and says why it is empty.
TEST(ListPage, OtherFilesSaysSoWhenThereIsNothingToReport)
{
    ClearProgramKeys();
    StartFreshRun();
    std::vector<std::string> notes;
    for (bool oneListed : {false, true}) {
        if (oneListed)
            ReportDll("C:\\Plugins\\plain.dll", DLL_RECORDED);
        DialogScript script;
        script.on(LIST, [](HWND page) { Click(page, IDC_LIST_REPORT); })
            .on(REPORT, [&](HWND report) {
                notes.push_back(ItemText(report, IDC_REPORT_NOTE));
                EXPECT_EQ(0, SendMessageA(GetDlgItem(report, IDC_REPORT_LIST), LVM_GETITEMCOUNT, 0, 0));
                ExpectIgnoresEscapeAndClose(report);
                Click(report, IDOK);
            })
            .on(LIST, [](HWND page) { Click(page, IDOK); });
        ShowDialog(IDD_LIST, DlgListProc);
        EXPECT_TRUE(script.finished());
    }
    EXPECT_EQ((std::vector<std::string>{"No DLL was found in the search folders.",
                                        "Every DLL found in the search folders is on the plug-in list."}),
              notes);
    ClearReport();
}

// The rows come in the very order the list control's own ascending sort
// gives them, whatever the letter case, marks and duplicates, and the list
// keeps sorting afterwards.
TEST(ListPage, RowsInTheListControlsOwnOrder)
{
    StartFreshRun();
    const char* names[] = {"delay", "Delay", "DELAY", "\xC9" "chos", "echo", "Echo-2", "echo2", "_Tape", "10 Band",
                           "9 Band", "Delay", "Delay", "a", "B", "", "Zz", "zZ"};
    for (const char* name : names) {
        PluginRecord record{};
        CopyText(record.FullName, name);
        PluginList.append(record);
    }
    HWND reference = CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT | LVS_SORTASCENDING, 0, 0, 200, 200,
                                     nullptr, nullptr, nullptr, nullptr);
    for (PluginRecord& record : PluginList) {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.pszText = record.FullName;
        item.lParam = reinterpret_cast<LPARAM>(&record);
        SendMessageA(reference, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }

    HWND page = OpenDialog(IDD_LIST, DlgListProc);
    HWND list = GetDlgItem(page, IDC_LIST_PLUGINS);
    ASSERT_EQ(static_cast<LRESULT>(PluginList.count), SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < static_cast<int>(PluginList.count); ++row)
        EXPECT_EQ(RowRecord(reference, row), RowRecord(list, row)) << "row " << row << ": "
                                                                   << ListViewCell(list, row, 0);
    EXPECT_TRUE(GetWindowLongPtrA(list, GWL_STYLE) & LVS_SORTASCENDING);
    DestroyWindow(page);
    DestroyWindow(reference);
}
