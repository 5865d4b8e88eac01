// The plug-in options dialog. It edits, in place, either the record of the
// plug-in selected on the list page or DefaultRecord (editSelectedPlugin
// chooses), and OK stores the whole record at once through WriteVstData.
// There is no Cancel: once open with a record, the dialog closes only
// through OK.
#include <windows.h>
#include <commctrl.h>
#include <cstdlib>
#include <cstring>
#include "about/help.h"
#include "base/registry.h"
#include "base/state.h"
#include "base/text.h"
#include "base/trap.h"
#include "pages/pages.h"
#include "plugdb/record.h"
#include "resource.h"

namespace {

const char NOT_SAVED_TEXT[] =
    "Couldn't save the options of this plug-in: its registry entry is missing or cannot be opened. "
    "To rebuild it, run this Wizard again with \"Re-scan existing plug-ins\" ticked.";

const int NAME_LIMIT = 127;        // characters of FullName the dialog keeps
const int SIZE_LIMIT = 5;          // characters of an editor size it reads

const struct {
    int id;
    DWORD PluginRecord::*field;
} OPTION_BOXES[] = {
    {IDC_ITEM_ENABLE, &PluginRecord::registerAsPlug},
    {IDC_ITEM_SYNTH, &PluginRecord::registerAsSynth},
    {IDC_ITEM_STEREO, &PluginRecord::forceStereo},
    {IDC_ITEM_NRPN, &PluginRecord::nrpnPassThrough},
};

PluginRecord* EditedRecord(HWND dialog)
{
    return reinterpret_cast<PluginRecord*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

// The record a list row refers to, or null.
PluginRecord* RowRecord(int row)
{
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(pluginListView, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return nullptr;
    return reinterpret_cast<PluginRecord*>(item.lParam);
}

void ShowRecord(HWND dialog, const PluginRecord& record)
{
    SendDlgItemMessageA(dialog, IDC_ITEM_NAME, EM_LIMITTEXT, NAME_LIMIT, 0);
    SendDlgItemMessageA(dialog, IDC_ITEM_PRESET_PATH, EM_LIMITTEXT, sizeof record.PresetPath - 1, 0);
    SendDlgItemMessageA(dialog, IDC_ITEM_WIDTH, EM_LIMITTEXT, SIZE_LIMIT, 0);
    SendDlgItemMessageA(dialog, IDC_ITEM_HEIGHT, EM_LIMITTEXT, SIZE_LIMIT, 0);

    SetDlgItemTextA(dialog, IDC_ITEM_NAME, record.FullName);
    SetDlgItemTextA(dialog, IDC_ITEM_PRESET_PATH, record.PresetPath);
    for (const auto& box : OPTION_BOXES)
        CheckDlgButton(dialog, box.id, record.*box.field ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemInt(dialog, IDC_ITEM_WIDTH, record.cxEditor, TRUE);
    SetDlgItemInt(dialog, IDC_ITEM_HEIGHT, record.cyEditor, TRUE);
}

// Plug-in mode edits the record of the row holding the list's selection
// mark; without one the dialog ends before it is shown.
void OpenRecord(HWND dialog)
{
    PluginRecord* record = &DefaultRecord;
    if (editSelectedPlugin) {
        rememberedRow = static_cast<int>(SendMessageA(pluginListView, LVM_GETSELECTIONMARK, 0, 0));
        record = rememberedRow >= 0 ? RowRecord(rememberedRow) : nullptr;
        if (!record) {
            EndDialog(dialog, 0);
            return;
        }
    } else {
        EnableWindow(GetDlgItem(dialog, IDC_ITEM_DETAILS), FALSE);
    }
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(record));
    ShowRecord(dialog, *record);
}

// The first five characters as a signed decimal number, as atoi reads them:
// leading blanks and a sign allowed, empty gives 0.
LONG ReadEditorSize(HWND dialog, int id)
{
    char text[SIZE_LIMIT + 1];
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return atoi(text);
}

void ReadRecord(HWND dialog, PluginRecord& record)
{
    for (const auto& box : OPTION_BOXES)
        record.*box.field = IsDlgButtonChecked(dialog, box.id) == BST_CHECKED;
    record.cxEditor = ReadEditorSize(dialog, IDC_ITEM_WIDTH);
    record.cyEditor = ReadEditorSize(dialog, IDC_ITEM_HEIGHT);
    GetDlgItemTextA(dialog, IDC_ITEM_NAME, record.FullName, NAME_LIMIT + 1);
    GetDlgItemTextA(dialog, IDC_ITEM_PRESET_PATH, record.PresetPath, sizeof record.PresetPath);
}

// Opens "Plug-Ins\<DosName>" without creating it, and only when it is this
// plug-in's own entry. A stored "DosName" can be anything: empty (which
// would open "Plug-Ins" itself), a path with a backslash, or another
// plug-in's name. The run wrote every listed record into its entry, so the
// entry's "FullPath" names this plug-in's DLL.
bool OpenOwnEntry(const PluginRecord& record, RegKey& entry)
{
    size_t length = strnlen(record.DosName, sizeof record.DosName);
    if (length == 0 || length == sizeof record.DosName || strchr(record.DosName, '\\'))
        return false;
    char path[256];
    CopyText(path, PLUGINS_KEY "\\");
    AppendText(path, record.DosName);
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, entry.receive()) != ERROR_SUCCESS)
        return false;
    char storedPath[sizeof record.FullPath];
    return ReadTextValue(entry, "FullPath", storedPath, sizeof storedPath)
        && lstrcmpiA(storedPath, record.FullPath) == 0;
}

// The list shows the change at once. An entry that cannot be opened keeps
// nothing of it, and the adapter registers from the entries, so the user is
// told rather than left believing it was saved.
void SavePlugin(PluginRecord& record)
{
    RefreshPlugList();
    RegKey entry;
    if (OpenOwnEntry(record, entry))
        WriteVstData(entry, &record);
    else
        MessageBoxA(nullptr, NOT_SAVED_TEXT, ERROR_CAPTION, MB_OK);
}

void SaveDefaults()
{
    RegKey defaults;
    if (CreateKey(HKEY_LOCAL_MACHINE, DEFAULTS_KEY, defaults.receive()) == ERROR_SUCCESS)
        WriteVstData(defaults, &DefaultRecord);
}

void Store(HWND dialog)
{
    PluginRecord* record = EditedRecord(dialog);
    if (!record)
        return;
    ReadRecord(dialog, *record);
    if (record == &DefaultRecord)
        SaveDefaults();
    else
        SavePlugin(*record);
    EndDialog(dialog, 0);
}

void ShowDetails(HWND dialog)
{
    if (PluginRecord* record = EditedRecord(dialog))
        ShowModalDialog(IDD_PROPS, DlgPropsProc, reinterpret_cast<LPARAM>(record));
}

// Escape and close requests arrive as IDCANCEL and are ignored; the "..."
// button beside the hidden presets folder is never enabled.
INT_PTR ItemMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    TraceProc("DlgItemProc");
    switch (message) {
    case WM_HELP:
        ShowHelp();
        return TRUE;
    case WM_INITDIALOG:
        OpenRecord(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            Store(dialog);
            break;
        case IDC_ITEM_DETAILS:
            ShowDetails(dialog);
            break;
        }
        return FALSE;
    }
    return FALSE;
}

} // namespace

const DLGPROC DlgItemProc = GuardedDialogProc<ItemMessage>;
