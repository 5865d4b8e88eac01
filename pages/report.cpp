// The report of what became of every DLL the scan found: one row per DLL
// that is not on the list page, or is on it marked bad, in scan order. Copy
// puts every DLL found on the clipboard, a line each, for a support e-mail.
#include <windows.h>
#include <commctrl.h>
#include <string>
#include "about/help.h"
#include "pages/pages.h"
#include "resource.h"
#include "wizard/report.h"
#include "wizard/state.h"
#include "wizard/trap.h"

namespace {

const char NOTE_SOME[] = "These DLLs in the search folders are not on the plug-in list, or are on it but marked "
                         "bad. Copy puts every DLL found, with what became of it, on the clipboard.";
const char NOTE_ALL_LISTED[] = "Every DLL found in the search folders is on the plug-in list.";
const char NOTE_NONE_FOUND[] = "No DLL was found in the search folders.";

const struct {
    const char* header;
    int width;
} COLUMNS[] = {
    {"File", 250},
    {"Result", 400},
};

// Long enough for any reason with a system message in it.
const size_t RESULT_SIZE = 512;

void AddColumns(HWND list)
{
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = COLUMNS[i].width;
        column.pszText = const_cast<char*>(COLUMNS[i].header);
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
}

void FillReport(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_REPORT_LIST);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    AddColumns(list);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    int rows = 0;
    for (unsigned i = 0; i < ReportCount(); ++i) {
        const DllReport& entry = ReportAt(i);
        if (RecordedWell(entry))
            continue;
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = rows;
        item.pszText = const_cast<char*>(entry.path);
        int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        if (row < 0)
            continue;
        char result[RESULT_SIZE];
        DescribeDll(entry, result, sizeof result);
        item.iSubItem = 1;
        item.pszText = result;
        SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        ++rows;
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    SetDlgItemTextA(dialog, IDC_REPORT_NOTE,
                    rows ? NOTE_SOME : ReportCount() ? NOTE_ALL_LISTED : NOTE_NONE_FOUND);
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
