// The plug-in list page: one row per plug-in recorded in this run, sorted by
// name. Each row's item data points at the record inside its PluginList
// entry, since the sort says nothing about the entry's place in the list.
#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <vector>
#include "about/help.h"
#include "about/picture.h"
#include "base/state.h"
#include "base/trap.h"
#include "pages/pages.h"
#include "plugdb/record.h"
#include "resource.h"

namespace {

// Widths in pixels at the dialogs' font at 96 dpi; they grow with the font,
// as the page does.
const struct {
    const char* header;
    int width;
} COLUMNS[] = {
    {"VST plug-in", 150},
    {"Enabled", 85},
    {"Install as SYNX", 85},
    {"New!", 85},
};
const int COLUMN_COUNT = sizeof COLUMNS / sizeof COLUMNS[0];

// What the list answered when each column was inserted.
int columnIndexes[COLUMN_COUNT];

LRESULT ListViewMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageA(pluginListView, message, wParam, lParam);
}

void RebuildColumns()
{
    // Last inserted first, so every remembered index still holds.
    for (int i = COLUMN_COUNT - 1; i >= 0; --i)
        ListViewMessage(LVM_DELETECOLUMN, columnIndexes[i], 0);
    HWND page = GetParent(pluginListView);
    for (int i = 0; i < COLUMN_COUNT; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = ScaledToFont(page, COLUMNS[i].width);
        column.pszText = const_cast<char*>(COLUMNS[i].header);
        column.iSubItem = i;
        columnIndexes[i] = static_cast<int>(ListViewMessage(LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column)));
    }
}

void SetMark(int row, int column, DWORD flag)
{
    LVITEMA cell{};
    cell.iSubItem = column;
    cell.pszText = const_cast<char*>(flag ? "Y" : " ");
    ListViewMessage(LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&cell));
}

void AddRow(PluginRecord& record, int position)
{
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = position;
    item.pszText = record.FullName;
    item.lParam = reinterpret_cast<LPARAM>(&record);
    int row = static_cast<int>(ListViewMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0)
        return;
    SetMark(row, 1, record.registerAsPlug);
    SetMark(row, 2, record.registerAsSynth);
    SetMark(row, 3, record.isNew);
}

// The records in the order the list's ascending sort puts their rows: by
// name as lstrcmp compares them, a row going before the rows of the same
// name put in before it. The list itself would sort all its rows again at
// every insertion.
std::vector<PluginRecord*> SortedRecords()
{
    std::vector<PluginRecord*> records;
    records.reserve(PluginList.count);
    for (PluginRecord& record : PluginList)
        records.push_back(&record);
    std::reverse(records.begin(), records.end());
    std::stable_sort(records.begin(), records.end(), [](const PluginRecord* a, const PluginRecord* b) {
        return lstrcmpA(a->FullName, b->FullName) < 0;
    });
    return records;
}

// The row at rememberedRow gets the selection mark, is selected, focused and
// scrolled into view. Row -1 would address every row, so it selects none.
void RestoreSelection()
{
    ListViewMessage(LVM_SETSELECTIONMARK, 0, rememberedRow);
    if (rememberedRow >= 0) {
        LVITEMA state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        ListViewMessage(LVM_SETITEMSTATE, rememberedRow, reinterpret_cast<LPARAM>(&state));
    }
    SetFocus(pluginListView);
    if (rememberedRow >= 0) {
        ListViewMessage(LVM_ENSUREVISIBLE, rememberedRow, FALSE);
        ListViewMessage(LVM_REDRAWITEMS, 0, rememberedRow);
    }
}

void OpenOptions()
{
    ShowModalDialog(IDD_ITEM, DlgItemProc);
}

void OpenReport()
{
    ShowModalDialog(IDD_REPORT, DlgReportProc);
}

// The list's notifications are not handled: a double-click does nothing.
// Escape and close requests arrive as IDCANCEL and are ignored.
INT_PTR ListMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    TraceProc("DlgListProc");
    pluginListView = GetDlgItem(dialog, IDC_LIST_PLUGINS);
    switch (message) {
    case WM_HELP:
        ShowHelp();
        return TRUE;
    case WM_INITDIALOG:
        FitPictures(dialog);
        RefreshPlugList();
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(dialog, 0);
            break;
        case IDC_LIST_PROPERTIES:
            OpenOptions();
            break;
        case IDC_LIST_REPORT:
            OpenReport();
            break;
        }
        return FALSE;
    }
    return FALSE;
}

} // namespace

void RefreshPlugList()
{
    TraceOperation("RefreshPlugList");
    TraceFailurePoint("refresh");
    ListViewMessage(LVM_DELETEALLITEMS, 0, 0);
    RebuildColumns();
    // Drawn once when all rows are in, not once per row; the rows go in at
    // their sorted places with the list's own sort held back meanwhile.
    ListViewMessage(WM_SETREDRAW, FALSE, 0);
    ListViewMessage(LVM_SETITEMCOUNT, PluginList.count, 0);
    LONG_PTR style = GetWindowLongPtrA(pluginListView, GWL_STYLE);
    SetWindowLongPtrA(pluginListView, GWL_STYLE, style & ~(LVS_SORTASCENDING | LVS_SORTDESCENDING));
    int position = 0;
    for (PluginRecord* record : SortedRecords())
        AddRow(*record, position++);
    SetWindowLongPtrA(pluginListView, GWL_STYLE, style);
    ListViewMessage(WM_SETREDRAW, TRUE, 0);
    RestoreSelection();
}

const DLGPROC DlgListProc = GuardedDialogProc<ListMessage>;
