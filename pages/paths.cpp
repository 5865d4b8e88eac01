// The search-path page: the plug-in folders, the run options, the defaults
// for new plug-ins and the reset of the whole configuration.
//
// The list box mirrors SearchPathList line for line (it is not sorted), so a
// line's position is its entry's position. Each folder is stored in "Paths"
// as a value whose name and data are both the folder.
#include "about/picture.h"
#include "base/registry.h"
#include "base/state.h"
#include "base/text.h"
#include "base/trap.h"
#include "pages/pages.h"
#include "plugdb/adapter.h"
#include "resource.h"

PIDLIST_ABSOLUTE (WINAPI* BrowseForFolder)(LPBROWSEINFOA info) = SHBrowseForFolderA;

namespace {

const struct {
    int id;
    DWORD WizardOptionFlags::*flag;
} OPTION_BOXES[] = {
    {IDC_PATHS_RESCAN_FAILED, &WizardOptionFlags::rescanFailed},
    {IDC_PATHS_SUBDIVIDE, &WizardOptionFlags::subDivide},
    {IDC_PATHS_NO_PREFIX, &WizardOptionFlags::noPrefix},
    {IDC_PATHS_RESCAN_EXISTING, &WizardOptionFlags::rescanExisting},
};

LRESULT ListMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam = 0)
{
    return SendDlgItemMessageA(dialog, IDC_PATHS_LIST, message, wParam, lParam);
}

void ShowPaths(HWND dialog)
{
    for (char* folder : SearchPathList)
        ListMessage(dialog, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder));
    for (const auto& box : OPTION_BOXES)
        CheckDlgButton(dialog, box.id, WizardOptions.*box.flag ? BST_CHECKED : BST_UNCHECKED);
}

// The line of a folder already listed, or -1. Windows compares paths, and
// "Paths" value names, without regard to case.
int ListedLine(const char* folder)
{
    int line = 0;
    for (char* listed : SearchPathList) {
        if (lstrcmpiA(listed, folder) == 0)
            return line;
        ++line;
    }
    return -1;
}

bool ChooseFolder(char (&folder)[PATH_TEXT_SIZE])
{
    BROWSEINFOA info{};
    info.lpszTitle = "Choose a folder...";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    PIDLIST_ABSOLUTE chosen = BrowseForFolder(&info);
    if (!chosen)
        return false;
    bool found = SHGetPathFromIDListA(chosen, folder) && folder[0];
    CoTaskMemFree(chosen);
    return found;
}

// A folder listed twice would be scanned twice, and removing one of its
// lines would drop the only "Paths" value while the other line still shows
// it: a folder already listed is selected instead of added again.
void AddFolder(HWND dialog)
{
    char folder[PATH_TEXT_SIZE];
    if (!ChooseFolder(folder))
        return;
    int listed = ListedLine(folder);
    if (listed >= 0) {
        ListMessage(dialog, LB_SETCURSEL, listed);
        return;
    }
    char* text = NewPathText(folder);
    SearchPathList.append(text);
    WriteTextValue(pathsKey, text, text);
    LRESULT line = ListMessage(dialog, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    ListMessage(dialog, LB_SETCURSEL, line);
}

void RemoveFolder(HWND dialog)
{
    LRESULT line = ListMessage(dialog, LB_GETCURSEL, 0);
    if (line == LB_ERR)
        return;
    ListEntry<char*>* entry = SearchPathList.at(static_cast<unsigned>(line));
    if (!entry)
        return;
    char* text = entry->element;
    SearchPathList.remove(entry);
    RegDeleteValueA(pathsKey, text);
    FreePathText(text);
    ListMessage(dialog, LB_DELETESTRING, line);
}

void EditDefaults()
{
    editSelectedPlugin = 0;
    ShowModalDialog(IDD_ITEM, DlgItemProc);
}

// Only an explicit "Yes" resets: a confirmation that could not be shown
// (result -1) is no consent.
void ResetAll()
{
    if (ShowModalDialog(IDD_RESET, DlgResetProc) == 1)
        ResetConfiguration();
}

// The options hold for this run even when they cannot be stored.
void Next(HWND dialog)
{
    for (const auto& box : OPTION_BOXES)
        WizardOptions.*box.flag = IsDlgButtonChecked(dialog, box.id) == BST_CHECKED;
    RegKey product;
    if (CreateKey(HKEY_LOCAL_MACHINE, PRODUCT_KEY, product.receive()) == ERROR_SUCCESS) {
        WriteDwordValue(product, "subDivide", WizardOptions.subDivide);
        WriteDwordValue(product, "noPrefix", WizardOptions.noPrefix);
        WriteDwordValue(product, "rescanExisting", WizardOptions.rescanExisting);
    }
    EndDialog(dialog, 0);
}

// F1 does nothing here; Escape and close requests arrive as IDCANCEL and
// are ignored like every other command the page does not know.
INT_PTR PathsMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    TraceProc("DlgPathsProc");
    switch (message) {
    case WM_INITDIALOG:
        FitPictures(dialog);
        ShowPaths(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_PATHS_ADD:
            AddFolder(dialog);
            break;
        case IDC_PATHS_REMOVE:
            RemoveFolder(dialog);
            break;
        case IDC_PATHS_DEFAULTS:
            EditDefaults();
            break;
        case IDC_PATHS_RESET:
            ResetAll();
            break;
        case IDOK:
            Next(dialog);
            break;
        case IDC_PATHS_CANCEL:
            ExitProcess(0);
        }
        return FALSE;
    }
    return FALSE;
}

} // namespace

const DLGPROC DlgPathsProc = GuardedDialogProc<PathsMessage>;
