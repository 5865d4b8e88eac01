// The report of what became of every DLL the scan found: one row per DLL
// that is not on the list page, or is on it marked bad or kept loaded, in
// scan order. Copy puts every DLL found on the clipboard, a line each, for a
// support e-mail.
#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <string>
#include "about/help.h"
#include "base/state.h"
#include "base/text.h"
#include "base/trap.h"
#include "pages/pages.h"
#include "report/report.h"
#include "resource.h"

namespace {

const char NOTE_SOME[] = "These DLLs in the search folders are not on the plug-in list, or are on it but marked "
                         "bad. Copy puts every DLL found, with what became of it, on the clipboard.";
const char NOTE_SOME_KEPT[] = "These DLLs in the search folders are not on the plug-in list, are on it but marked "
                              "bad, or are on it and stay loaded until the Wizard closes. Copy puts every DLL found, "
                              "with what became of it, on the clipboard.";
const char NOTE_ALL_LISTED[] = "Every DLL found in the search folders is on the plug-in list.";
const char NOTE_NONE_FOUND[] = "No DLL was found in the search folders.";

// The file name first, where the end of a long path would be cut off, then
// its folder and the result. Shares of the list's width, which grows with
// the screen's resolution.
const struct {
    const char* header;
    int percent;
} COLUMNS[] = {
    {"File", 22},
    {"Folder", 28},
    {"Result", 50},
};
const int COLUMN_COUNT = sizeof COLUMNS / sizeof COLUMNS[0];

// Long enough for any reason with a system message in it.
const size_t RESULT_SIZE = 512;

void AddColumns(HWND list)
{
    RECT room;
    GetClientRect(list, &room);
    // Less the scroll bar a long report brings.
    int width = room.right - GetSystemMetrics(SM_CXVSCROLL);
    for (int i = 0; i < COLUMN_COUNT; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = MulDiv(width, COLUMNS[i].percent, 100);
        column.pszText = const_cast<char*>(COLUMNS[i].header);
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
}

void SetCell(HWND list, int row, int column, const char* text)
{
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text);
    SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

// One row: the file's name, its folder (a drive keeps its backslash) and
// what became of it.
void AddRow(HWND list, int position, const DllReport& entry)
{
    const char* slash = strrchr(entry.path, '\\');
    const char* name = slash ? slash + 1 : entry.path;
    size_t folderLength = slash ? slash - entry.path : 0;
    if (folderLength > 0 && slash[-1] == ':')
        ++folderLength;
    char folder[PATH_TEXT_SIZE];
    CopyText(folder, entry.path);
    folder[std::min(folderLength, sizeof folder - 1)] = 0;

    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = position;
    item.pszText = const_cast<char*>(name);
    int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0)
        return;
    SetCell(list, row, 1, folder);
    char result[RESULT_SIZE];
    DescribeDll(entry, result, sizeof result);
    SetCell(list, row, 2, result);
}

void FillReport(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_REPORT_LIST);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    AddColumns(list);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    int rows = 0;
    bool kept = false;
    for (unsigned i = 0; i < ReportCount(); ++i) {
        const DllReport& entry = ReportAt(i);
        if (!RecordedWell(entry))
            AddRow(list, rows++, entry);
        kept = kept || entry.leftBehind;
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    const char* note = kept ? NOTE_SOME_KEPT : rows ? NOTE_SOME : ReportCount() ? NOTE_ALL_LISTED : NOTE_NONE_FOUND;
    SetDlgItemTextA(dialog, IDC_REPORT_NOTE, note);
}

// Every DLL found, listed or not: "path<TAB>result", one line each.
void CopyReport(HWND dialog)
{
    std::string text;
    char result[RESULT_SIZE];
    for (unsigned i = 0; i < ReportCount(); ++i) {
        const DllReport& entry = ReportAt(i);
        DescribeDll(entry, result, sizeof result);
        text.append(entry.path).append("\t").append(result).append("\r\n");
    }
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (!memory)
        return;
    memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    // Another program (a clipboard viewer, or one reading what we copied last)
    // may hold the clipboard for a moment: try again for a short while.
    bool opened = false;
    for (int attempt = 0; attempt < 25 && !(opened = OpenClipboard(dialog)); ++attempt)
        Sleep(20);
    if (opened) {
        EmptyClipboard();
        if (SetClipboardData(CF_TEXT, memory))
            memory = nullptr;   // the clipboard owns it now
        CloseClipboard();
    }
    if (memory)
        GlobalFree(memory);
}

// Escape and close requests arrive as IDCANCEL and are ignored.
INT_PTR ReportMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    TraceProc("DlgReportProc");
    switch (message) {
    case WM_HELP:
        ShowHelp();
        return TRUE;
    case WM_INITDIALOG:
        FillReport(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(dialog, 0);
            break;
        case IDC_REPORT_COPY:
            CopyReport(dialog);
            break;
        }
        return FALSE;
    }
    return FALSE;
}

} // namespace

const DLGPROC DlgReportProc = GuardedDialogProc<ReportMessage>;
